#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build and the tests need, when any is missing.
# Usage: install-deps.sh [--fuzz] [--coverage] [--windows] [--screenshot]
#   --fuzz        adds clang and its fuzzer runtime
#   --coverage    adds the coverage report tool
#   --windows     adds the MinGW-w64 cross compiler, Wine and Xvfb for the Windows build and its tests
#   --screenshot  adds the tools that drive and photograph the window under Xvfb
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libgtest-dev fonts-dejavu-core)
# The Debian package: CPack's dependency computation and build flags, and the checkers of the
# package, the desktop entry and the AppStream data.
packages+=(dpkg-dev file lintian desktop-file-utils appstream)
for option in "$@"; do
    case "$option" in
        --fuzz) packages+=(clang libclang-rt-14-dev) ;;
        --coverage) packages+=(gcovr) ;;
        --windows)
            packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix ninja-build
                       qt6-base-dev-tools wine wine64 xvfb zip unzip xz-utils) ;;
        --screenshot) packages+=(xvfb xdotool imagemagick) ;;
        *) echo "usage: $0 [--fuzz] [--coverage] [--windows] [--screenshot]" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
