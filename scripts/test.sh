#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the whole suite
# again under AddressSanitizer + UndefinedBehaviorSanitizer, then a short run of each fuzzer
# and of the benchmark.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --fuzz
export QT_QPA_PLATFORM=offscreen

echo "== Build and test =="
"$root/scripts/build.sh" "$root/build" -DAFD_WERROR=ON
# One test process at a time: pseudo-terminal numbers are reused between processes, and a port
# lock still held by a process that is ending would make another test find its port busy.
ctest --test-dir "$root/build" --output-on-failure

echo "== Debian package =="
deb=$("$root/scripts/package.sh" --from-build "$root/build")
"$root/scripts/check-package.sh" "$deb"

echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer =="
"$root/scripts/build.sh" "$root/build-asan" -DAFD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DAFD_WERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure

if [[ -x "$root/scripts/fuzz-smoke.sh" ]]; then
    echo "== Fuzz smoke =="
    "$root/scripts/fuzz-smoke.sh" 30
fi
if [[ -x "$root/scripts/windows/test.sh" ]]; then
    if [[ "${AFD_WINDOWS_STAGE:-0}" == 1 ]]; then
        echo "== Windows release under Wine =="
        "$root/scripts/windows/test.sh" --ci
    else
        # Held back while its system-menu test is not yet reliable under Wine, and because its
        # packages and cross-build add minutes to a run that must stay short.
        echo "== Windows stage skipped: not yet run by default (the system-menu test under Wine" \
            "is not reliable yet); AFD_WINDOWS_STAGE=1 runs it (scripts/windows/test.sh)."
    fi
fi
if [[ -x "$root/scripts/bench.sh" ]]; then
    echo "== Benchmark smoke =="
    "$root/scripts/bench.sh" --smoke
fi
