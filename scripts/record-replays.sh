#!/usr/bin/env bash
# Records the regression corpus tests/replays/*.gfrec again: each game is
# played from its input script in the real window (under Xvfb when there is
# no display) with real frame times. Run it through `make replays` when a
# change to the physics, the rules or the table is meant, and commit the new
# recordings with that change.
#
#   record-replays.sh [BUILD [NAME...]]   only the games named (default: all)
#
# A game marked "--want FIELD" is one the computer plays from the menus: its
# .txt is the menus' script, used as it is, and the game is played again (up
# to 8 times) until its replay's statistics count FIELD at least once (a
# multiball, an award); real frame times make every try a different game.
set -euo pipefail
build="${1:-build/release}"
shift || true
only=("$@")
here="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$here/tests/replays"
gfall="$build/gfall"
[ -x "$gfall" ] || { echo "record-replays: no $gfall (build first)" >&2; exit 1; }
[ -f "$build/GFALL.DAT" ] || { echo "record-replays: no $build/GFALL.DAT" >&2; exit 1; }
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
run=()
if [ -z "${DISPLAY:-}" ]; then run=(xvfb-run -a -s '-screen 0 1280x1024x24'); fi

# name          options
games=(
  "one-player   --width 640"
  "four-players --width 1024 --players 4"
  "nudges       --width 800"
  "tilt         --width 640"
  "idle-flippers --width 1024"
  "multiball    --width 640 --want multiballs"
  "multiball-1024 --width 1024 --want multiballs"
  "award-earned --width 800 --want earned_(extra|double|special)"
  "skill-shot   --width 1024 --want skill_shots"
)
for entry in "${games[@]}"; do
  read -r name options <<<"$entry"
  if [ "${#only[@]}" -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then continue; fi
  if [[ "$options" == *"--want "* ]]; then
    want="${options##*--want }"
    options="${options%--want*}"
    echo "== $name (until its replay counts $want)"
    for try in 1 2 3 4 5 6 7 8; do
      SDL_AUDIODRIVER=dummy "${run[@]}" "$gfall" --window $options --seed "$try" --data "$build" \
        --config-dir "$config" --input "$corpus/$name.txt" --record "$corpus/$name.gfrec" >/dev/null
      rm -rf "$config/replays"
      if "$gfall" --replay "$corpus/$name.gfrec" --data "$build" --stats |
        grep -Eq "\"$want\":[1-9]"; then
        break
      fi
      [ "$try" -lt 8 ] || { echo "record-replays: $name: no try counted $want" >&2; exit 1; }
    done
    "$gfall" --replay "$corpus/$name.gfrec" --data "$build"
    continue
  fi
  # --players needs the menus' player count; straight into play is one player.
  if [[ "$options" == *"--players"* ]]; then
    count="${options##*--players }"
    options="${options%--players*}"
    keys="300 key 0x1C down\n320 key 0x1C up\n"
    for _ in $(seq 2 "$count"); do keys+="600 cmd 102\n"; done
    keys+="900 cmd 101\n"
    script="$config/$name.txt"
    { printf "%b" "$keys"; grep -v '^#' "$corpus/$name.txt" | awk '{ $1 = $1 + 1000; print }'; printf "40000 cmd 112\n41000 cmd 107\n"; } >"$script"
    mode=(--window)
  else
    script="$corpus/$name.txt"
    mode=(--play --window --frames 1800)
  fi
  echo "== $name"
  SDL_AUDIODRIVER=dummy "${run[@]}" "$gfall" "${mode[@]}" $options --data "$build" \
    --config-dir "$config" --input "$script" --record "$corpus/$name.gfrec" >/dev/null
  rm -rf "$config/replays"
  "$gfall" --replay "$corpus/$name.gfrec" --data "$build"
done
