#!/usr/bin/env bash
# Builds the download engine's fuzz targets with clang and runs each for a short while on a copy
# of its committed seeds; exits non-zero if any target finds a fault.
#
# Usage: scripts/fuzz-smoke.sh [SECONDS]    (default 30 per target)
# The build folder is build-fuzz, or $AFD_FUZZ_BUILD_DIR. Inputs that break a property are kept
# in <build folder>/fuzz-findings/<target>/; the committed corpus is never written to.
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 [SECONDS]  (a whole number of seconds per target, default 30)" >&2
    exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AFD_FUZZ_BUILD_DIR:-$root/build-fuzz}"
targets=(fuzz_sequencer fuzz_reply_assembler)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DAFD_FUZZ=ON -DAFD_BUILD_GUI=OFF \
    -DAFD_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAFD_WERROR=ON >/dev/null
cmake --build "$build" --target "${targets[@]}" fuzz_harness_test -j2

# Every committed seed and every former finding once, and the harness's own checks.
ctest --test-dir "$build/fuzz" --output-on-failure

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

status=0
for target in "${targets[@]}"; do
    corpus="$work/$target"
    findings="$build/fuzz-findings/$target"
    rm -rf "$findings"  # only this run's findings
    mkdir -p "$corpus" "$findings"
    cp "$root/fuzz/corpus/$target/"* "$corpus/"
    echo "== $target: ${seconds} s"
    # One process: the machine's cores are shared.
    if "$build/fuzz/$target" "$corpus" \
        -dict="$root/fuzz/$target.dict" \
        -max_total_time="$seconds" \
        -timeout=10 \
        -artifact_prefix="$findings/" \
        -print_final_stats=1 >"$work/$target.log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$work/$target.log" || true
    else
        status=1
        echo "!! $target found a fault:" >&2
        grep -E 'property broken|ERROR: (AddressSanitizer|libFuzzer)|runtime error' \
            "$work/$target.log" >&2 || tail -n 30 "$work/$target.log" >&2
        grep -E 'Test unit written to' "$work/$target.log" >&2 || true
    fi
done
exit "$status"
