#!/bin/sh
# The cost of showing the game in a real window: runs gfall under a virtual X
# server (Xvfb) for a fixed scripted stretch of play in each of the fifteen
# modes, and once at the idle main menu, and prints per run the CPU time the
# gfall process took per second of wall time (user + system, from
# /proc/PID/stat; the X server is not counted) and its peak resident memory
# (VmHWM from /proc/PID/status).
#
#   bench/window/measure.sh [--exe build/release/gfall] [--data build/release]
#                           [--seconds 20] [--warmup 4] [--modes "1024x4 640x0 ..."]
#                           [--no-menu] [--screen 1280x1024x24]
#
# A mode is WIDTHxDEPTH (depth 0 = 8-bit, 1 = 15, 2 = 16, 3 = 24, 4 = 32-bit).
# The window opens at the mode's size, so the picture is shown 1:1. Output is
# one line per run: "mode cpu% peak-MB frames/s", frames/s being the frames
# the game sent to the window (it writes its count to $GFALL_FRAME_COUNT_FILE;
# "-" for a program that does not).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=$root/build/release/gfall
data=$root/build/release
seconds=20
warmup=4
modes=""
menu=1
screen=1280x1024x24
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$2; shift 2 ;;
    --data) data=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --modes) modes=$2; shift 2 ;;
    --no-menu) menu=0; shift ;;
    --screen) screen=$2; shift 2 ;;
    *) echo "measure.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$modes" ]; then
  for w in 640 800 1024; do for d in 0 1 2 3 4; do modes="$modes ${w}x$d"; done; done
fi
[ -x "$exe" ] || { echo "measure.sh: no program at $exe" >&2; exit 2; }
[ -f "$data/GFALL.DAT" ] || { echo "measure.sh: no GFALL.DAT in $data" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "measure.sh: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d)
xpid=""
gpid=""
cleanup() {
  [ -n "$gpid" ] && kill -KILL "$gpid" 2>/dev/null || true
  [ -n "$xpid" ] && kill -TERM "$xpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display number nobody uses.
n=90
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
xpid=$!
i=0
while [ ! -e /tmp/.X11-unix/X$n ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
export DISPLAY=":$n"

# The scripted game: the ball is launched again every 2.6 s (a press does
# nothing while a ball is in play) and the flippers take turns every 350 ms.
total_ms=$(( (warmup + seconds + 10) * 1000 ))
awk -v end="$total_ms" 'BEGIN {
  for (t = 300; t < end; t += 2600) { print t " start down"; print t + 900 " start up" }
  for (t = 1500; t < end; t += 350) {
    a = (int(t / 350) % 2) ? "left" : "right"
    print t " " a " down"; print t + 150 " " a " up"
  }
}' | sort -n -k1,1 > "$work/play.txt"
# The menu run: a key leaves the title for the main menu, which then rests.
printf '1500 key 13 down\n1600 key 13 up\n' > "$work/menu.txt"

hz=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now_ms() { date +%s%3N; }

# Runs gfall with the given arguments and prints "cpu% peak-MB frames/s".
measure() {
  rm -rf "$work/cfg" "$work/frames"
  mkdir -p "$work/cfg"
  GFALL_FRAME_COUNT_FILE="$work/frames" "$exe" "$@" --data "$data" --config-dir "$work/cfg" \
    >/dev/null 2>&1 &
  gpid=$!
  sleep "$warmup"
  if ! kill -0 "$gpid" 2>/dev/null; then echo "exited early"; gpid=""; return; fi
  c0=$(cpu_ticks "$gpid"); t0=$(now_ms)
  f0=$(cat "$work/frames" 2>/dev/null || echo "")
  sleep "$seconds"
  c1=$(cpu_ticks "$gpid"); t1=$(now_ms)
  f1=$(cat "$work/frames" 2>/dev/null || echo "")
  hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$gpid/status")
  kill -KILL "$gpid" 2>/dev/null || true
  wait "$gpid" 2>/dev/null || true
  gpid=""
  fps=-
  if [ -n "$f0" ] && [ -n "$f1" ]; then
    fps=$(awk -v a="$f0" -v b="$f1" -v t="$((t1 - t0))" 'BEGIN { printf "%.1f", (b - a) * 1000 / t }')
  fi
  awk -v c="$((c1 - c0))" -v hz="$hz" -v t="$((t1 - t0))" -v m="$hwm" -v f="$fps" \
    'BEGIN { printf "%5.1f%% %6.1f MB %s fps\n", c * 100000 / hz / t, m / 1024, f }'
}

echo "# $exe ($(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo "?") tree) $(date -u +%FT%TZ)" \
     "Xvfb $screen, ${seconds} s each after ${warmup} s"
for m in $modes; do
  w=${m%x*}; d=${m#*x}
  printf "play %-7s " "$m"
  measure --play --window --width "$w" --depth "$d" --input "$work/play.txt"
done
if [ "$menu" = 1 ]; then
  printf "menu %-7s " "1024x4"
  measure --window --width 1024 --depth 4 --input "$work/menu.txt"
fi
