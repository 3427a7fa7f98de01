#!/usr/bin/env bash
# Checks a built Debian package: lintian finds no errors in it; its control fields, that it holds exactly the files an
# installation needs, that the desktop entry and the AppStream data pass their validators, that
# every part names the same version, and that its flashdl, run from an unpacked copy, flashes the
# demo image into the emulated controller.
# Usage: scripts/check-package.sh PACKAGE.deb
set -euo pipefail
deb=${1:?usage: $0 PACKAGE.deb}
app_id=org.altrevo.FlashDownloader
fail() {
    echo "check-package: $*" >&2
    exit 1
}

lintian --fail-on error "$deb" || fail "lintian finds errors"

field() { dpkg-deb --field "$deb" "$1"; }
version=$(field Version)
[[ "$(basename "$deb")" == "$(field Package)_${version}_$(field Architecture).deb" ]] ||
    fail "the file name is not <package>_<version>_<arch>.deb: $(basename "$deb")"
[[ -n "$(field Maintainer)" && "$(field Section)" == electronics ]] || fail "maintainer or section missing"
field Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries: $(field Depends)"

expected=(
    usr/bin/afd-emulator
    usr/bin/altrevo-flash-downloader
    usr/bin/flashdl
    "usr/share/applications/$app_id.desktop"
    usr/share/doc/altrevo-flash-downloader/changelog.gz
    usr/share/doc/altrevo-flash-downloader/copyright
)
for size in 16 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
expected+=(usr/share/man/man1/{afd-emulator,altrevo-flash-downloader,flashdl}.1.gz)
expected+=("usr/share/metainfo/$app_id.metainfo.xml")
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort)
diff -u <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual") ||
    fail "the package's files differ from the expected list (- expected, + packaged)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
desktop-file-validate "$work/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$work/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the AppStream data does not validate"

# One version everywhere: the package, the programs, the AppStream release and the manual pages.
[[ "$("$work/usr/bin/flashdl" --version)" == "flashdl $version" ]] || fail "flashdl --version is not $version"
grep -q "<release version=\"$version\"" "$work/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the AppStream data has no release $version"
for page in "$work"/usr/share/man/man1/*.1.gz; do
    zcat "$page" | grep -q "^\.TH .*\"Altrevo Flash Downloader $version\"" ||
        fail "$(basename "$page") does not name version $version"
done

out=$("$work/usr/bin/flashdl" --simulate 2>&1) || fail "the packaged flashdl --simulate failed: $out"
grep -q '^Flash download successfully finished!$' <<<"$out" &&
    grep -q '^Emulated flash matches the image' <<<"$out" || fail "the demo image was not flashed: $out"
echo "Package checked: $(basename "$deb")"
