#!/usr/bin/env bash
# Builds the Debian package altrevo-flash-downloader_<version>_<arch>.deb into the top folder of
# this checkout: a Release build with Debian's hardening flags, installed under /usr by CPack.
#
# Usage: scripts/package.sh [--from-build DIR]
#   --from-build DIR  package an existing build folder as it is (scripts/test.sh does, to check
#                     the package without a build of its own)
# Without it the build folder is build-package, or $AFD_PACKAGE_BUILD_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ "${1:-}" == "--from-build" && -n "${2:-}" ]]; then
    build=$(cd "$2" && pwd)
elif [[ $# -eq 0 ]]; then
    "$root/scripts/install-deps.sh"
    build=${AFD_PACKAGE_BUILD_DIR:-$root/build-package}
    # The flags a Debian package build uses, with all hardening; CMake reads no CPPFLAGS.
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DAFD_BUILD_TESTS=OFF >/dev/null
else
    echo "usage: $0 [--from-build DIR]" >&2
    exit 2
fi
cmake --build "$build" -j"$(nproc)" >&2  # stdout: only the package's path, at the end

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(find "$build" -maxdepth 1 -name '*.deb')
cp "$deb" "$root/"
echo "$root/$(basename "$deb")"
