#!/bin/sh
# Key-to-pixel latency of the window under Xvfb: gfall runs straight into play
# at 1024x768 (32-bit) in a window at the screen's top left, and key_latency
# presses the left flipper's key (XTEST, as xdotool does) and times the first
# change of the flipper's pixels on the X server, 40 times.
#
#   bench/window/latency.sh [--exe build/release/gfall] [--data build/release] [--presses 40]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=$root/build/release/gfall
data=$root/build/release
presses=40
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$2; shift 2 ;;
    --data) data=$2; shift 2 ;;
    --presses) presses=$2; shift 2 ;;
    *) echo "latency.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
command -v Xvfb >/dev/null || { echo "latency.sh: Xvfb is not installed" >&2; exit 2; }
command -v xdotool >/dev/null || { echo "latency.sh: xdotool is not installed" >&2; exit 2; }
work=$(mktemp -d)
xpid=""
gpid=""
cleanup() {
  [ -n "$gpid" ] && kill -KILL "$gpid" 2>/dev/null || true
  [ -n "$xpid" ] && kill -TERM "$xpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
c++ -O2 -std=c++17 -o "$work/key_latency" "$here/key_latency.cpp" -lX11 \
  /usr/lib/x86_64-linux-gnu/libXtst.so.6 2>/dev/null ||
  c++ -O2 -std=c++17 -o "$work/key_latency" "$here/key_latency.cpp" -lX11 -lXtst

n=90
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
i=0
while [ ! -e /tmp/.X11-unix/X$n ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
export DISPLAY=":$n"
mkdir -p "$work/cfg"
"$exe" --play --window --width 1024 --depth 4 --data "$data" --config-dir "$work/cfg" \
  >/dev/null 2>&1 &
gpid=$!
timeout 30 xdotool search --sync --name Glimmerfall windowmove 0 0 >/dev/null ||
  { echo "latency.sh: no gfall window appeared" >&2; exit 1; }
sleep 4
# The left flipper is in the lower left of the table.
"$work/key_latency" Shift_L 0 512 512 256 "$presses"
