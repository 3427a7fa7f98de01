#!/usr/bin/env bash
# Builds with coverage counters, runs the whole test suite and prints line and branch coverage of
# each folder of product code. Not part of test.sh: the counters slow every test down.
# Usage: coverage.sh [BUILD_DIR]   (default build-coverage/; an HTML report goes into it too)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-coverage}
"$root/scripts/install-deps.sh" --coverage
export QT_QPA_PLATFORM=offscreen

# The emulated controller runs in a thread of its own: counters updated from two threads at once
# must not lose counts (gcov would report negative branch counts).
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS="--coverage"
find "$dir" -name '*.gcda' -delete
# Notes of objects a target no longer builds (its sources moved to another target) would be
# merged with the current ones.
python3 - "$dir" <<'PY'
import os, pathlib, sys
for target in pathlib.Path(sys.argv[1]).glob("**/CMakeFiles/*.dir"):
    rules = target / "build.make"
    if rules.exists():
        text = rules.read_text()
        for notes in target.rglob("*.gcno"):
            if str(notes.relative_to(target.parent.parent).with_suffix(".o")) not in text:
                notes.unlink()
PY
# The figures are worth having even when a test fails; the failure is reported all the same.
status=0
ctest --test-dir "$dir" --output-on-failure || status=$?

folders=(download serial app controls cli sim)
filters=()
for folder in "${folders[@]}"; do
    filters+=(--filter "$root/$folder/")
done
# Branches the compiler adds for exceptions and for code it proved unreachable are not the
# program's own decisions.
gcovr --root "$root" --object-directory "$dir" "${filters[@]}" \
    --exclude-unreachable-branches --exclude-throw-branches \
    --json-summary "$dir/coverage-summary.json" --html-details "$dir/coverage.html" >/dev/null
python3 - "$dir/coverage-summary.json" "${folders[@]}" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
print(f"{'folder':<10}{'lines':>16}{'branches':>18}")
for folder in sys.argv[2:]:
    mine = [f for f in files if f["filename"].startswith(folder + "/")]
    sums = {k: sum(f[k] for f in mine) for k in
            ("line_covered", "line_total", "branch_covered", "branch_total")}
    def share(covered, total):
        return f"{100.0 * covered / total:5.1f} % of {total:4d}" if total else "    -"
    print(f"{folder + '/':<10}{share(sums['line_covered'], sums['line_total']):>16}"
          f"{share(sums['branch_covered'], sums['branch_total']):>18}")
PY
echo "Per-line detail: $dir/coverage.html"
exit $status
