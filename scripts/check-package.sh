#!/usr/bin/env bash
# check-package.sh [BUILD_DIR]: builds the Debian package from a configured build folder, unpacks
# it into a temporary root, and runs the installed programs from there on the examples. Also
# validates the desktop entry and the AppStream metadata. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
examples=$PWD/examples

fail() { echo "check-package: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "check-package: building the package"
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/tarnwick_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no package"
dpkg-deb -c "$deb" > "$work/contents"
dpkg-deb -f "$deb" Depends > "$work/depends"

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tarnwick usr/bin/tarnwick-versions usr/bin/tarnwick-hl usr/share/tarnwick/tarnwick.html \
         usr/share/tarnwick/tarnwick.edf usr/share/tarnwick/tarnwick.cdf usr/share/tarnwick/examples/inventory.sql \
         usr/share/applications/com.corvanti.Tarnwick.desktop usr/share/metainfo/com.corvanti.Tarnwick.metainfo.xml \
         usr/share/mime/packages/com.corvanti.Tarnwick.xml usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
         usr/share/icons/hicolor/16x16/apps/tarnwick.png usr/share/icons/hicolor/256x256/apps/tarnwick.png; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
grep -q 'libqt6widgets6' "$work/depends" || fail "the package's dependencies name no Qt widgets library: $(cat "$work/depends")"
grep -q 'libc6' "$work/depends" || fail "the package's dependencies name no C library: $(cat "$work/depends")"

echo "check-package: running the installed programs"
# A fresh user: the installed program keeps its option files in the user's folder, seeded from
# the samples; TARNWICK_CONFIG_DIR is not set, so the installed rule is what is tested.
home=$work/home
mkdir -p "$home"
run() { env -u TARNWICK_CONFIG_DIR -u XDG_CONFIG_HOME HOME="$home" "$@"; }
run "$root/usr/bin/tarnwick" --version | grep -qx "tarnwick [0-9.]*" || fail "tarnwick --version"
run "$root/usr/bin/tarnwick" --help | grep -q "Usage: tarnwick" || fail "tarnwick --help"
listed=$(run "$root/usr/bin/tarnwick-versions" list) || fail "the installed tarnwick-versions could not list the versions"
expected=$(run "$build/bin/tarnwick-versions" list --config-dir "$examples")
[ "$listed" = "$expected" ] || fail "the installed list differs from the examples' list: $listed"
cmp -s "$home/.config/Corvanti/Tarnwick/tarnwick.edf" "$examples/tarnwick.edf" || fail "the sample version table was not copied to the user's folder"
mkdir -p "$work/scripts"
cp "$examples/inventory.sql" "$work/scripts/"
run "$root/usr/bin/tarnwick-versions" run "$work/scripts/inventory.sql" >/dev/null || fail "the installed version run failed"
[ "$(ls "$work/scripts" | wc -l)" -gt 1 ] || fail "the installed version run wrote no version file"
run "$root/usr/bin/tarnwick-hl" tokens "$examples/inventory.sql" | grep -q . || fail "the installed tarnwick-hl printed no tokens for the example"

echo "check-package: validating the desktop entry and the metadata"
desktop-file-validate "$root/usr/share/applications/com.corvanti.Tarnwick.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.corvanti.Tarnwick.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$root/usr/share/metainfo/com.corvanti.Tarnwick.metainfo.xml"

echo "check-package: $(basename "$deb") ($(wc -l < "$work/contents") entries; depends: $(cat "$work/depends"))"
