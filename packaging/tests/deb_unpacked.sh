#!/usr/bin/env bash
# Builds the Debian package, unpacks it with dpkg-deb -x into a temporary
# root and plays a game from there with no environment.
set -euo pipefail
build=$1
here=$(dirname "$0")
. "$here/play_check.sh"
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null || {
  echo "skipped: dpkg-deb or dpkg-shlibdeps missing"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

(cd "$build" && cpack -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/pkg/gfall_*.deb)
# The dependencies come from the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libpng fonts-dejavu-core; do
  grep -q "$lib" <<<"$depends" || { echo "FAIL: Depends lacks $lib: $depends"; exit 1; }
done
dpkg-deb -x "$deb" "$tmp/root"
[ ! -e "$tmp/root/usr/bin/gfall-server" ] || { echo "FAIL: the server is in the package"; exit 1; }
play_without_environment "$tmp/root/usr/bin/gfall" "$tmp"
echo "ok: $(basename "$deb")"
