#!/usr/bin/env bash
# Builds the Windows release (scripts/windows/build.sh) and tests it under Wine, headless:
#   1. the engine's unit and in-memory tests and the Windows-only tests, built for Windows;
#   2. flashdl.exe from the unzipped release against the emulated controller on a Linux
#      pseudo-terminal that the Wine prefix sees as COM5, and again as COM12 (above 9, the
#      device namespace form); the emulator's flash must equal the image; a missing port fails;
#   3. the window under Xvfb with its system menu open, saved as docs/windows-main-window.png.
#
# Usage: scripts/windows/test.sh [--no-screenshot]
# Build folders: build-windows (or $AFD_WINDOWS_BUILD_DIR) and, for the Linux emulator, build
# (or $AFD_BUILD_DIR; configured only if it is not yet, then only the emulator is built). The
# Wine prefix is <windows build>/wineprefix, made on the first run.
set -euo pipefail
script_dir=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/qt-location.sh
source "$script_dir/qt-location.sh"
root=$AFD_REPO_ROOT
build=${AFD_WINDOWS_BUILD_DIR:-$root/build-windows}
linux_build=${AFD_BUILD_DIR:-$root/build}
screenshot=1
for option in "$@"; do
    case "$option" in
        --no-screenshot) screenshot=0 ;;
        *) echo "usage: $0 [--no-screenshot]" >&2; exit 2 ;;
    esac
done
started=$SECONDS
[[ $screenshot -eq 0 ]] || "$root/scripts/install-deps.sh" --screenshot

"$script_dir/build.sh" "$build" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$root/dist/AltrevoFlashDownloader-$version-win64.zip
# The emulated controller runs on Linux.
[[ -f "$linux_build/CMakeCache.txt" ]] || cmake -S "$root" -B "$linux_build" >/dev/null
nice -n 10 cmake --build "$linux_build" --target afd-emulator -j"$(nproc)" >/dev/null

work=$(mktemp -d)
emulator_pid=
xvfb_pid=
cleanup() {
    [[ -n "$emulator_pid" ]] && kill "$emulator_pid" 2>/dev/null
    wineserver -k >/dev/null 2>&1 || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# One X display for the whole stage, there before Wine's first program: Wine's desktop process
# starts with that program and stays, and one that started without a display leaves every later
# window of the session without one (the window test then finds no native window).
Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
[[ -s "$work/display" ]] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# Started here, the wineserver (it goes into the background by itself) outlives each program and
# keeps its chatter out of the way; one started by a test would hold ctest's output pipe open.
wineserver -p 60 >"$work/wineserver.log" 2>&1 </dev/null
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "== Making the Wine prefix (once)"
fi
# Wine's own services start with the first program and stay; started here, they don't hold a
# test's output open either.
wineboot >/dev/null 2>&1
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

echo "== Tests built for Windows, under Wine"
qt=$(afd_windows_qt_dir)
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="Z:$qt/bin;Z:$mingw_gcc;Z:/usr/x86_64-w64-mingw32/lib"
ctest --test-dir "$build" --output-on-failure || fail "tests under Wine"
unset WINEPATH  # from here on the unzipped release must bring all it needs

unzip -q "$zip" -d "$work"
release=$work/AltrevoFlashDownloader-$version-win64
# Bounded, so that a download that never ends fails the check instead of hanging it.
flashdl() { timeout 120 wine "$release/flashdl.exe" "$@"; }

# Starts the emulator (extra options as given) and links COM<n> in the prefix to its port.
start_emulator() {
    local com=$1
    shift
    rm -f "$work/flash.bin"
    "$linux_build/sim/afd-emulator" --flash-out "$work/flash.bin" "$@" >"$work/emulator.log" 2>&1 &
    emulator_pid=$!
    for _ in $(seq 50); do
        grep -q 'listening on' "$work/emulator.log" && break
        sleep 0.1
    done
    local pts
    pts=$(sed -n 's|.*listening on \(/dev/pts/[0-9]*\).*|\1|p' "$work/emulator.log")
    ln -sfn "$pts" "$WINEPREFIX/dosdevices/com$com"
    echo "COM$com -> $pts"
}
stop_emulator() {
    kill "$emulator_pid" 2>/dev/null
    wait "$emulator_pid" 2>/dev/null || true
    emulator_pid=
}

# flash_through COM-number image-bytes [emulator options]
flash_through() {
    local com=$1 size=$2
    shift 2
    echo "== flashdl.exe --port COM$com, a $size-byte image"
    head -c "$size" /dev/urandom >"$work/image.bin"
    start_emulator "$com" "$@"
    local status=0
    flashdl --port "COM$com" "$(winepath -w "$work/image.bin")" >"$work/flashdl.log" 2>&1 ||
        status=$?
    for _ in $(seq 30); do  # the emulator writes its flash on noticing the quit command
        grep -q 'reached its quit command' "$work/emulator.log" && break
        sleep 0.1
    done
    stop_emulator
    cat "$work/flashdl.log"
    if [[ $status -ne 0 ]] || ! grep -q 'Flash download successfully finished!' "$work/flashdl.log"; then
        fail "flashdl.exe on COM$com ended with $status"
    elif ! cmp -n "$size" "$work/image.bin" "$work/flash.bin"; then
        fail "the emulated flash differs from the image after COM$com"
    else
        echo "Emulated flash equals the image."
    fi
    rm -f "$WINEPREFIX/dosdevices/com$com"
}
flash_through 5 20000              # at the pace of the 115200-baud line
flash_through 12 70000 --fast

echo "== flashdl.exe --port COM77 (no such port)"
status=0
flashdl --port COM77 "$(winepath -w "$work/image.bin")" >"$work/missing.log" 2>&1 || status=$?
cat "$work/missing.log"
grep -q 'Cannot open the serial port COM77: no such port' "$work/missing.log" && [[ $status -eq 2 ]] ||
    fail "a missing port was not reported (exit $status)"

if [[ $screenshot -eq 1 ]]; then
    echo "== The window under Xvfb, its system menu open"
    # A Wine desktop of the window's size frames the window the way Windows does.
    wine explorer /desktop=afd,760x420 "$release/altrevo-flash-downloader.exe" >/dev/null 2>&1 &
    window_pid=$!
    for _ in $(seq 100); do
        xdotool search --name "Wine desktop" >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 4
    xdotool key alt+space || true
    sleep 1.5
    if import -window root -crop 760x420+0+0 +repage "$root/docs/windows-main-window.png"; then
        echo "Wrote docs/windows-main-window.png"
    else
        fail "no screenshot of the window under Xvfb"
    fi
    xdotool key Escape || true
    wine taskkill /IM altrevo-flash-downloader.exe /F >/dev/null 2>&1 || true
    wait "$window_pid" || true
fi

echo "== Windows stage: $((SECONDS - started)) s"
if [[ $failures -ne 0 ]]; then
    echo "$failures Windows check(s) failed." >&2
    exit 1
fi
echo "All Windows checks passed."
