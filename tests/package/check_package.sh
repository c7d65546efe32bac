#!/usr/bin/env bash
# Builds the Debian package of a configured and built build folder, unpacks
# it into a scratch root and checks that it stands on its own: the installed
# renderer, with the compiled-in data folders switched off, finds the
# package's own share/zoetra and renders a sample to a GIF.
#   tests/package/check_package.sh BUILD_DIR
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1/CPackConfig.cmake" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built build folder)" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "check_package: $*" >&2
    exit 1
}

echo "== packaging $build"
if ! (cd "$build" && cpack -G DEB -B "$scratch/package") >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
fi
debs=("$scratch"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
echo "   $(basename "$deb"): $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zoetra ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = 1.0.0 ] || fail "version is '$(field Version)'"
[ "$(field Section)" = graphics ] || fail "section is '$(field Section)'"
[ "$(field Maintainer)" = "Zoetra developers" ] || fail "maintainer is '$(field Maintainer)'"
field Depends | grep -q libc6 || fail "no library dependencies: '$(field Depends)'"
field Description | grep -q GPL-3.0-or-later || fail "the description does not name the licence"
echo "   depends: $(field Depends)"

root=$scratch/root
dpkg -x "$deb" "$root"
share=$root/usr/share
for expected in usr/bin/zoetra-render usr/share/zoetra/Resources/skins.rez \
    usr/share/zoetra/Resources/icons.rez \
    usr/share/applications/zoetra.desktop usr/share/icons/hicolor/128x128/apps/zoetra.png \
    usr/share/doc/zoetra/copyright; do
    [ -s "$root/$expected" ] || fail "the package lacks $expected"
done
effects=("$share"/zoetra/Effects/*.zoml)
[ -f "${effects[0]}" ] || fail "the package holds no Effects/*.zoml"
echo "   $(find "$root" -type f | wc -l) files, ${#effects[@]} effects"
grep -qx 'Exec=zoetra %F' "$share/applications/zoetra.desktop" ||
    fail "the desktop file does not start zoetra"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$share/applications/zoetra.desktop" || fail "the desktop file is invalid"
fi

echo "== rendering with the unpacked renderer"
output=$scratch/work/animation.gif
mkdir -p "$scratch/work"
(cd "$scratch/work" && env -u ZOETRA_DATA_DIR ZOETRA_NO_SOURCE_DATA=1 \
    "$root/usr/bin/zoetra-render" -q -n 4 -o "$output" "$source_dir/samples/photo.gif") ||
    fail "the unpacked renderer failed"
[ "$(head -c 6 "$output")" = GIF89a ] || fail "the renderer wrote no GIF89a file"
echo "   $(stat -c %s "$output") bytes written"
echo "package check passed"
