#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the manual page as the
# desktop's own validators and man read them.
set -euo pipefail
src=$1 build=$2
for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
desktop-file-validate "$src/org.kestrune.glimmerfall.desktop"
appstreamcli validate --no-net "$build/packaging/org.kestrune.glimmerfall.metainfo.xml"
# The page renders without a warning and lists every option of --help.
page=$(MANWIDTH=100 man --warnings -l "$build/packaging/gfall.6.gz" 2>"$build/packaging/man.err")
if [ -s "$build/packaging/man.err" ]; then cat "$build/packaging/man.err"; exit 1; fi
missing=0
for opt in $("$build/gfall" --help | grep -Eo '^  (-h,)?--[a-z-]+' | sed 's/^ *-h,//; s/^ *//'); do
  grep -q -- "$opt" <<<"$page" || { echo "FAIL: the manual page lacks $opt"; missing=1; }
done
# gftool's page renders too and names every command of its --help.
tool_page=$(MANWIDTH=100 man --warnings -l "$build/packaging/gftool.1.gz" 2>"$build/packaging/man.err")
if [ -s "$build/packaging/man.err" ]; then cat "$build/packaging/man.err"; exit 1; fi
for cmd in $("$build/tools/gftool/gftool" --help 2>&1 | sed -n 's/^  gftool \([a-z-]*\).*/\1/p'); do
  grep -q -- "$cmd" <<<"$tool_page" || { echo "FAIL: gftool's manual page lacks $cmd"; missing=1; }
done
[ "$missing" -eq 0 ]
echo ok
