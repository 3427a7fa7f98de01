#!/usr/bin/env bash
# Builds Qt 6.4.2 for x86_64 Windows with MinGW-w64 from source into a prefix: qtbase from Debian's
# source package qt6-base, qtserialport from the project's third-party folder. Only what the
# project uses (Core, Gui, Widgets, PrintSupport, Test, SerialPort; the windows and offscreen
# platforms); shared DLLs, so that users can replace them. Every step leaves a mark in the work
# folder, and ninja resumes its own work, so an interrupted run goes on where it stopped.
#
# Usage: scripts/windows/build-qt-from-source.sh PREFIX    (normally through build-qt.sh --from-source)
# The work folder is PREFIX.build (sources, build trees; a few GB); remove it afterwards if wanted.
set -euo pipefail
script_dir=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/qt-location.sh
source "$script_dir/qt-location.sh"
prefix=${1:?usage: $0 PREFIX}
work="$prefix.build"
jobs=${AFD_QT_BUILD_JOBS:-$(nproc)}
started=$SECONDS

if [[ -f "$prefix/.afd-qt-ready" && "$(cat "$prefix/.afd-qt-ready")" != "from-source" ]]; then
    echo "build-qt-from-source.sh: $prefix already holds Qt ($(cat "$prefix/.afd-qt-ready"));" \
        "remove it or choose another --prefix." >&2
    exit 1
fi
mkdir -p "$work" "$prefix/lib/cmake/Qt6"
step() { echo "== $* ($(((SECONDS - started) / 60)) min)"; }
done_mark() { [[ -f "$work/.done-$1" ]]; }
mark_done() { touch "$work/.done-$1"; }

"$AFD_REPO_ROOT/scripts/install-deps.sh" --windows

if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi

# Debian serves the source of what it packages once a deb-src entry mirrors the deb entry.
if ! done_mark sources; then
    step "Fetching Debian's qt6-base source"
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
            sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
                "${sudo[@]}" tee /etc/apt/sources.list.d/afd-deb-src.sources >/dev/null
        else
            grep -hE '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
                "${sudo[@]}" tee /etc/apt/sources.list.d/afd-deb-src.list >/dev/null
        fi
        "${sudo[@]}" apt-get update -qq
    fi
    rm -rf "$work/src" && mkdir -p "$work/src"
    (cd "$work/src" && apt-get source --download-only qt6-base)
    (cd "$work/src" && dpkg-source --no-check -x qt6-base_*.dsc qtbase)
    archive="$(afd_third_party_dir)/$AFD_QTSERIALPORT_SOURCE"
    sum=$(sha256sum "$archive" | cut -d' ' -f1)
    if [[ "$sum" != "$AFD_QTSERIALPORT_SHA256" ]]; then
        echo "build-qt-from-source.sh: $archive has sha256 $sum, expected $AFD_QTSERIALPORT_SHA256." >&2
        exit 1
    fi
    tar -xJf "$archive" -C "$work/src"
    mark_done sources
fi

# Qt records the toolchain relative to itself when the file lies inside the prefix.
cp "$script_dir/mingw-toolchain.cmake" "$prefix/lib/cmake/Qt6/mingw-toolchain.cmake"

if ! done_mark qtbase-configure; then
    step "Configuring qtbase"
    # Debian's source lacks wintab.h, which tablet support needs.
    cmake -G Ninja -S "$work/src/qtbase" -B "$work/qtbase-build" \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/mingw-toolchain.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DINPUT_opengl=no \
        -DFEATURE_opengl=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_printsupport=ON -DFEATURE_testlib=ON
    mark_done qtbase-configure
fi
if ! done_mark qtbase-install; then
    step "Building qtbase (about 30 min with 2 jobs)"
    nice -n 10 ninja -C "$work/qtbase-build" -j"$jobs"
    ninja -C "$work/qtbase-build" install >/dev/null
    mark_done qtbase-install
fi
if ! done_mark qtserialport-install; then
    step "Building qtserialport"
    "$prefix/bin/qt-cmake" -G Ninja -S "$work/src/qtserialport-6.4.2" -B "$work/qtserialport-build" \
        -DCMAKE_BUILD_TYPE=Release
    nice -n 10 ninja -C "$work/qtserialport-build" -j"$jobs"
    ninja -C "$work/qtserialport-build" install >/dev/null
    mark_done qtserialport-install
fi

echo "from-source" >"$prefix/.afd-qt-ready"
s=$((SECONDS - started))
printf 'Qt for Windows built from source into %s in %dm%02ds.\n' "$prefix" $((s / 60)) $((s % 60))
