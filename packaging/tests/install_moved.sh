#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the whole install
# elsewhere and plays a game from there with no environment; then takes the
# pack away and checks the game says where it looked.
set -euo pipefail
build=$1
here=$(dirname "$0")
. "$here/play_check.sh"
tmp=$(mktemp -d)
# The install rewrites the build's install_manifest.txt, which `make uninstall`
# reads: the player's own one is put back afterwards.
manifest="$build/install_manifest.txt"
[ -f "$manifest" ] && cp "$manifest" "$tmp/manifest.saved"
restore() {
  if [ -f "$tmp/manifest.saved" ]; then cp "$tmp/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$tmp"
}
trap restore EXIT

DESTDIR= cmake --install "$build" --prefix "$tmp/first" >/dev/null
for f in bin/gfall bin/gftool share/gfall/GFALL.DAT share/gfall/help/index.htm \
         share/applications/org.kestrune.glimmerfall.desktop \
         share/metainfo/org.kestrune.glimmerfall.metainfo.xml share/man/man6/gfall.6.gz \
         share/man/man1/gftool.1.gz games/gfall \
         share/icons/hicolor/16x16/apps/org.kestrune.glimmerfall.png \
         share/icons/hicolor/512x512/apps/org.kestrune.glimmerfall.png; do
  [ -f "$tmp/first/$f" ] || { echo "FAIL: the install has no $f"; exit 1; }
done
[ ! -e "$tmp/first/bin/gfall-server" ] || { echo "FAIL: the server is installed with the game"; exit 1; }

mv "$tmp/first" "$tmp/moved"
play_without_environment "$tmp/moved/bin/gfall" "$tmp"

# Without the pack: status 1 and a message naming the folders searched, the
# moved install's data folder first. (XDG_DATA_DIRS points nowhere so that a
# copy installed on this machine is not found instead.)
rm "$tmp/moved/share/gfall/GFALL.DAT"
set +e
err=$(cd "$tmp/empty" && env -i XDG_DATA_DIRS="$tmp/none" "$tmp/moved/bin/gfall" --headless --demo 2>&1 >/dev/null)
rc=$?
set -e
[ "$rc" -eq 1 ] || { echo "FAIL: status $rc without a pack"; exit 1; }
case "$err" in
  *"cannot find GFALL.DAT (looked in $tmp/moved/share/gfall, $tmp/empty, $tmp/moved/bin, $tmp/none/gfall"*) ;;
  *) echo "FAIL: unexpected message: $err"; exit 1 ;;
esac
echo "ok"
