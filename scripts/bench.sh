#!/usr/bin/env bash
# Builds the performance benchmark in a Release build folder of its own and runs it: complete
# downloads through the real serial layer against the emulated controller, with every figure
# printed beside the line's physical limit (or its target) and the ratio.
#
# Usage: scripts/bench.sh [--smoke] [--markdown] [--case paced,latency,unpaced,flashdl,gui,parallel,crc]
#   --smoke     small images, a few seconds in all: CI runs it to keep the benchmark working
#   --markdown  the table as Markdown, as in docs/PERFORMANCE.md
#   --case      only these cases
# The build folder is build-bench, or $AFD_BENCH_BUILD_DIR. The script fails only when something
# is broken (the build, a download, a program that does not run), never on a missed target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${AFD_BENCH_BUILD_DIR:-$root/build-bench}

# The tests are not needed here, nor GoogleTest.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DAFD_BUILD_TESTS=OFF -DAFD_WERROR=ON \
    >/dev/null
targets=(afd_bench afd_bench_emulator flashdl)
if grep -q '^AFD_BUILD_GUI:BOOL=ON' "$build/CMakeCache.txt"; then
    targets+=(afd_bench_gui)
fi
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)" >/dev/null

# The window's figures are taken on the offscreen platform: no display is needed.
export QT_QPA_PLATFORM=offscreen
exec "$build/bench/afd_bench" "$@"
