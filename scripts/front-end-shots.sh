#!/usr/bin/env bash
# Pictures of the front end for docs/screenshots: the loading screen, the
# title, the main menu, the pause menu, and the options, controls, capture,
# about and high-score forms, taken from the real program in a virtual X
# server at 1024 x 768 in a window. Run after `make build`.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build/release}
out=${1:-$here/docs/screenshots}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/shots" "$work/config" "$out"

tap() { echo "$1 key $2 down"; echo "$(($1 + 100)) key $2 up"; }
{
  echo "90 shot title"
  tap 200 0x39                     # leave the title
  echo "400 shot main-menu"
  tap 500 0xD0; tap 700 0xD0       # Options
  echo "800 answer options ok controls"
  echo "800 answer controls ok capture=0"
  tap 900 0x1C                     # opens options, controls and the capture form
  tap 1600 0x2A                    # binds Left Shift again
  tap 2000 0xD0; tap 2200 0xD0; tap 2400 0xD0   # About
  tap 2600 0x1C
  tap 3000 0xC8; tap 3200 0xC8; tap 3400 0xC8; tap 3600 0xC8; tap 3800 0xC8   # New Game
  tap 4000 0x1C
  echo "6000 start down"; echo "7000 start up"
  tap 9000 0x01                    # the pause menu
  echo "9500 shot pause-menu"
  tap 10000 0x01
  echo "10000 answer highscore ok Ada"
  for t in $(seq 12 4 900); do
    echo "${t}000 start down"; echo "$((t + 1))000 start up"
    echo "$((t + 2))000 left down"; echo "$((t + 2))200 left up"
    echo "$((t + 3))000 right down"; echo "$((t + 3))200 right up"
  done
} > "$work/input.txt"

# run SCREEN SHOTS-DIR ARGS...: the script above in a virtual X server of that
# size. Full screen needs a window manager to size the window to the screen
# (matchbox-window-manager, when installed, runs beside the game).
run() {
  local screen=$1 shots=$2
  shift 2
  mkdir -p "$shots"
  rm -rf "$work/config" && mkdir -p "$work/config"
  cat >"$work/session.sh" <<SESSION
if command -v matchbox-window-manager >/dev/null; then
  matchbox-window-manager -use_titlebar no & sleep 1
fi
cd "$build" && SDL_AUDIODRIVER=dummy ./gfall $* --virtual-clock --width 1024 --depth 4 \\
  --config-dir "$work/config" --input "$work/input.txt" --shots "$shots" --until-game-over \\
  --seed 4 >/dev/null
SESSION
  xvfb-run -a -s "-screen 0 ${screen}x24" bash "$work/session.sh"
}
run 1024x768 "$work/shots" --window
for f in loading title main-menu pause-menu options controls capture about highscore; do
  if [ -f "$work/shots/$f.png" ]; then cp "$work/shots/$f.png" "$out/$f.png"; else echo "no $f.png"; fi
done
# The forms full screen at 1920 x 1080 (the picture scaled 1.4 times, the
# forms' face and spacing with it); only with a window manager to size it.
if command -v matchbox-window-manager >/dev/null; then
  run 1920x1080 "$work/full" --fullscreen
  for f in options controls capture about highscore; do
    if [ -f "$work/full/$f.png" ]; then cp "$work/full/$f.png" "$out/$f-1920x1080.png"; else echo "no full-screen $f.png"; fi
  done
else
  echo "front-end-shots: no matchbox-window-manager, so no full-screen pictures" >&2
fi
