#!/usr/bin/env bash
# Provides Qt 6.4.2 (qtbase + qtserialport, shared DLLs) for x86_64 Windows, built with MinGW-w64,
# in a cache folder outside the repository; the Windows build and tests compile against it.
#
# Usage: scripts/windows/build-qt.sh [--from-source] [--prefix DIR]
#   (default)      checks the sha256 of the project's prebuilt archive
#                  <repository>/../shared/third_party/qt-6.4.2-mingw-w64.tar.xz and unpacks it
#   --from-source  builds the same thing: qtbase from Debian's source package qt6-base, qtserialport
#                  from <third_party>/qtserialport-6.4.2.tar.xz (hours on two cores; run it in the
#                  background, e.g. with nohup; interrupted, it goes on where it stopped)
#   --prefix DIR   where Qt goes; default $AFD_WINDOWS_QT_DIR, else
#                  ${XDG_CACHE_HOME:-~/.cache}/altrevo-flash-downloader/qt-6.4.2-mingw-w64
# The folder of the third-party files is $AFD_THIRD_PARTY_DIR, else the one above. Running it
# again when Qt is in place does nothing. It prints how long it took.
set -euo pipefail
script_dir=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/qt-location.sh
source "$script_dir/qt-location.sh"

from_source=0
prefix=$(afd_windows_qt_dir)
while [[ $# -gt 0 ]]; do
    case "$1" in
        --from-source) from_source=1 ;;
        --prefix) prefix=$(realpath -m "${2:?--prefix needs a folder}"); shift ;;
        -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "build-qt.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

started=$SECONDS
report_time() {
    local s=$((SECONDS - started))
    printf 'Qt for Windows ready in %s (%dm%02ds).\n' "$prefix" $((s / 60)) $((s % 60))
}

# The stamp names what the folder was made from; a folder without it is incomplete.
stamp="$prefix/.afd-qt-ready"
want_stamp=$([[ $from_source -eq 1 ]] && echo "from-source" || echo "archive $AFD_QT_ARCHIVE_SHA256")
if [[ -f "$stamp" ]] && { [[ $from_source -eq 0 ]] || [[ "$(cat "$stamp")" == "$want_stamp" ]]; }; then
    echo "Qt for Windows is already in $prefix ($(cat "$stamp"))."
    exit 0
fi

check_sha256() {  # file, expected sum
    local sum
    sum=$(sha256sum "$1" | cut -d' ' -f1)
    if [[ "$sum" != "$2" ]]; then
        echo "build-qt.sh: $1 has sha256 $sum, expected $2; the file is damaged or another version." >&2
        exit 1
    fi
}

if [[ $from_source -eq 0 ]]; then
    archive=$(afd_third_party_dir)/$AFD_QT_ARCHIVE
    if [[ ! -f "$archive" ]]; then
        echo "build-qt.sh: $archive is missing; set AFD_THIRD_PARTY_DIR or use --from-source." >&2
        exit 1
    fi
    check_sha256 "$archive" "$AFD_QT_ARCHIVE_SHA256"
    # Unpacked beside the target and moved into place at the end, so an interrupted run leaves
    # nothing that looks finished.
    partial="$prefix.partial"
    rm -rf "$partial"
    mkdir -p "$partial"
    tar -xJf "$archive" -C "$partial" --strip-components=1
    echo "archive $AFD_QT_ARCHIVE_SHA256" >"$partial/.afd-qt-ready"
    rm -rf "$prefix"
    mv "$partial" "$prefix"
    report_time
    exit 0
fi

exec "$script_dir/build-qt-from-source.sh" "$prefix"
