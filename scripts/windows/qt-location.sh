# Where the scripts for Windows find the cross-built Qt and the third-party files; sourced.

AFD_QT_ARCHIVE=qt-6.4.2-mingw-w64.tar.xz
AFD_QT_ARCHIVE_SHA256=5441ada07d0d37123983a6d04811db3cf3cf8a07485bdcf466675854c94b1bbf
AFD_QTSERIALPORT_SOURCE=qtserialport-6.4.2.tar.xz
AFD_QTSERIALPORT_SHA256=55057973ea7a3de4eefcde242d7c293d534246ab2659904645bba2d92a639cea
AFD_REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

afd_windows_qt_dir() {
    echo "${AFD_WINDOWS_QT_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/altrevo-flash-downloader/qt-6.4.2-mingw-w64}"
}

# The project's shared folder sits beside the repository.
afd_third_party_dir() {
    echo "${AFD_THIRD_PARTY_DIR:-$AFD_REPO_ROOT/../shared/third_party}"
}

# True when Qt for Windows is complete in its folder.
afd_windows_qt_ready() {
    [[ -f "$(afd_windows_qt_dir)/.afd-qt-ready" ]]
}
