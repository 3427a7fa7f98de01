#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then all of it again
# under AddressSanitizer + UndefinedBehaviorSanitizer, a short run of each fuzzer, the Windows
# release under Wine (when Qt for Windows is at hand) and a short run of the benchmark, whose
# window soak fails on a download that goes wrong or a descriptor left open.
# Each stage's wall-clock and CPU (user + system) time is printed at the end.
#
# AFD_WINDOWS_STAGE=0 leaves out the Windows stage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/windows/qt-location.sh
source "$root/scripts/windows/qt-location.sh"

# Times of the finished stages; CPU time is that of the processes this script waited for.
clock_ticks=$(getconf CLK_TCK)
timings=()
stage_name=
child_cpu_ticks() {
    local fields
    read -r -a fields </proc/$$/stat
    echo $((fields[15] + fields[16]))
}
cpu_line() {  # name, wall seconds, CPU ticks
    printf '%-68s %5d s wall %5d.%d s CPU' "$1" "$2" $(($3 / clock_ticks)) \
        $(($3 * 10 / clock_ticks % 10))
}
stage() {  # ends the running stage and, given a name, starts the next
    if [[ -n "$stage_name" ]]; then
        local cpu=$(($(child_cpu_ticks) - stage_cpu))
        timings+=("$(cpu_line "$stage_name" $((SECONDS - stage_wall)) "$cpu")")
    fi
    stage_name=${1:-}
    stage_wall=$SECONDS
    stage_cpu=$(child_cpu_ticks)
    [[ -z "$stage_name" ]] || echo "== $stage_name =="
}

# The Windows stage runs when Qt for Windows is in its cache or its archive can be unpacked.
windows_skipped=
if [[ "${AFD_WINDOWS_STAGE:-1}" == 0 ]]; then
    windows_skipped="AFD_WINDOWS_STAGE=0 leaves it out"
elif ! afd_windows_qt_ready && [[ ! -f "$(afd_third_party_dir)/$AFD_QT_ARCHIVE" ]]; then
    windows_skipped="no Qt for Windows in $(afd_windows_qt_dir) nor $AFD_QT_ARCHIVE in"
    windows_skipped+=" $(afd_third_party_dir); scripts/windows/build-qt.sh makes it"
fi

stage "Packages"
# One installation for every stage.
if [[ -z "$windows_skipped" ]]; then
    "$root/scripts/install-deps.sh" --fuzz --windows
else
    "$root/scripts/install-deps.sh" --fuzz
fi
export QT_QPA_PLATFORM=offscreen

stage "Build and test"
"$root/scripts/build.sh" "$root/build" -DAFD_WERROR=ON
# One test process at a time: pseudo-terminal numbers are reused between processes, and a port
# lock still held by a process that is ending would make another test find its port busy.
ctest --test-dir "$root/build" --output-on-failure

stage "Debian package"
deb=$("$root/scripts/package.sh" --from-build "$root/build")
"$root/scripts/check-package.sh" "$deb"

stage "Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-asan" -DAFD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DAFD_WERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure

stage "Fuzz smoke"
"$root/scripts/fuzz-smoke.sh" 20

if [[ -z "$windows_skipped" ]]; then
    stage "Windows release under Wine"
    "$root/scripts/windows/test.sh" --no-screenshot
else
    stage
    echo "== Windows stage skipped: $windows_skipped."
fi

stage "Benchmark smoke"
# The main build has the benchmark already; its own Release build would only cost minutes here.
"$root/build/bench/afd_bench" --smoke

stage
echo "== Times =="
printf '%s\n' "${timings[@]}"
cpu_line "All" "$SECONDS" "$(child_cpu_ticks)"
echo
