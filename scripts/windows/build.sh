#!/usr/bin/env bash
# Cross-builds the desktop program and flashdl for x86_64 Windows with MinGW-w64 against the
# cached Qt for Windows (scripts/windows/build-qt.sh) and packs
# dist/AltrevoFlashDownloader-<version>-win64.zip: both programs, the Qt DLLs and plugins they
# load, the MinGW runtime DLLs, a README.txt and the licence texts of what is bundled. Unzipped
# anywhere, the programs start with nothing else installed.
#
# Usage: scripts/windows/build.sh [BUILD_DIR] [cmake options...]   (default build-windows/)
# The tests for Windows are built too; scripts/windows/test.sh runs them under Wine.
set -euo pipefail
script_dir=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/qt-location.sh
source "$script_dir/qt-location.sh"
root=$AFD_REPO_ROOT
build=${1:-$root/build-windows}
shift || true

"$root/scripts/install-deps.sh" --windows
"$script_dir/build-qt.sh" >/dev/null
qt=$(afd_windows_qt_dir)

# Wine runs the cross-built tests for ctest. Qt's offscreen platform finds fonts only in
# QT_QPA_FONTDIR, Wine's own Fonts folder is empty, and Wine hands a program the QT_* variables
# only as WINEQT_*: the tests get the Linux side's fonts that way.
"$qt/bin/qt-cmake" -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "-DCMAKE_CROSSCOMPILING_EMULATOR=env;WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu;wine" \
    "$@" >/dev/null
nice -n 10 cmake --build "$build" -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=AltrevoFlashDownloader-$version-win64
stage=$root/dist/$name
rm -rf "$stage" "$root/dist/$name.zip"
mkdir -p "$stage/LICENSES"
cp "$build/app/altrevo-flash-downloader.exe" "$build/cli/flashdl.exe" "$stage/"
# Qt finds its plugins in folders beside the program.
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin" "$stage/$plugin"
done

# Every DLL the programs and plugins import that Qt or the MinGW runtime provides, and those
# DLLs' own imports in turn; the rest are Windows's own.
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
dll_dirs=("$qt/bin" "$mingw_gcc" /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
pending=("$stage"/*.exe "$stage"/*/*.dll)
while [[ ${#pending[@]} -gt 0 ]]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r dll; do
        [[ -e "$stage/$dll" ]] && continue
        for dir in "${dll_dirs[@]}"; do
            if [[ -f "$dir/$dll" ]]; then
                cp "$dir/$dll" "$stage/$dll"
                pending+=("$stage/$dll")
                break
            fi
        done
    done < <(imports "$file")
done

# Debug symbols are of no use to users and make up most of the MinGW runtime's size.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

# The licences: Qt's (LGPLv3, which builds on the GPLv3) with Debian's record of qtbase and its
# bundled third-party code, and the MinGW-w64 runtime's (GCC runtime library exception,
# winpthreads).
# Debian's copies of both texts are the ones Qt ships, and need no Qt source at hand.
cp /usr/share/common-licenses/LGPL-3 "$stage/LICENSES/Qt-LGPL-3.0.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/LICENSES/GPL-3.0.txt"
cp /usr/share/doc/libqt6core6/copyright "$stage/LICENSES/Qt-qtbase-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/LICENSES/GCC-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/LICENSES/MinGW-w64-runtime-copyright.txt"
sed "s/@VERSION@/$version/g" "$script_dir/README.txt.in" | sed 's/$/\r/' >"$stage/README.txt"

(cd "$root/dist" && zip -qr9 "$name.zip" "$name")
echo "Wrote dist/$name.zip ($(du -k "$root/dist/$name.zip" | cut -f1) KiB):"
(cd "$stage" && find . -type f | sort | sed 's|^\./|  |')
