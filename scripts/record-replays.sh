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
#
# The award games (each award collected) are played by the computer from the
# menus' script awards.txt; between its games the idle demonstration lets it
# play on. At real frame times the computer collects an award in about one
# game in a hundred (DOUBLE mostly), so award-double is played in several
# windows at once (GFALL_RECORD_WINDOWS, default 12), each on an X server of
# its own, their recordings read as they grow; the first window whose replay
# counts the award is stopped a few seconds later (TERM: it saves and ends
# its recording as Quit does) and kept. Up to GFALL_RECORD_BUDGET seconds
# (default 3600), then it fails. EXTRA and SPECIAL come still more rarely, so
# award-extra and award-special are played in the window on its virtual
# clock (frames of 16.667 ms, no waiting; the same window, forms and drawing):
# seeds are tried in turn until a 30-minute run counts the award, and the run
# is recorded again, as short as still holds it (the virtual clock repeats a
# run exactly; GFALL_SEARCH_FIRST and GFALL_SEARCH_SEEDS bound the seeds tried).
set -euo pipefail
build="${1:-build/release}"
shift || true
only=("$@")
here="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$here/tests/replays"
gfall="$build/gfall"
gftool="$build/tools/gftool/gftool"
[ -x "$gfall" ] || { echo "record-replays: no $gfall (build first)" >&2; exit 1; }
[ -x "$gftool" ] || { echo "record-replays: no $gftool (build first)" >&2; exit 1; }
[ -f "$build/GFALL.DAT" ] || { echo "record-replays: no $build/GFALL.DAT" >&2; exit 1; }
config="$(mktemp -d)"
# Checks a new recording by replaying it, and writes its digests beside it
# (NAME.hashes, gftool replay): their diff shows in the commit what changed.
keep_hashes() {
  "$gfall" --replay "$corpus/$1.gfrec" --data "$build"
  "$gftool" replay "$corpus/$1.gfrec" >"$corpus/$1.hashes"
}
# Stops the rare games' windows still playing, then removes the work folder.
cleanup() {
  for f in "$config"/until/*/pid; do
    [ -s "$f" ] && kill -TERM "$(cat "$f")" 2>/dev/null || true
  done
  sleep 1
  rm -rf "$config"
}
trap cleanup EXIT
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
# Award games, played by the computer from the menus' script awards.txt:
# NAME:FIELD, kept when the replay counts FIELD (see the header). /R: no title
# picture, so the script's start of the computer never waits behind it.
rare_options="--width 800 /R"
rare=(award-double:awards_double)
searched=(award-extra:awards_extra award-special:awards_special)

# Counts FIELD in the replay of FILE (0 when it does not read).
counts() {
  "$gfall" --replay-partial "$1" --data "$build" --stats 2>/dev/null |
    sed -n "s/.*\"$2\":\([0-9]*\).*/\1/p" | head -1 | grep . || echo 0
}

# Tries seeds in the window on its virtual clock until a run counts FIELD,
# then records that seed again with as few frames (in steps of 600) as still
# count it, and 300 more; keeps it as $corpus/NAME.gfrec.
record_search() {
  local name="$1" want="$2" seed frames lo hi mid
  local rec="$config/search.gfrec"
  echo "== $name (seeds on the virtual clock until its replay counts $want)"
  play() {  # seed frames
    rm -rf "$config/search"
    SDL_AUDIODRIVER=dummy "${run[@]}" "$gfall" --window --virtual-clock $rare_options \
      --seed "$1" --data "$build" --config-dir "$config/search" --input "$corpus/awards.txt" \
      --frames "$2" --record "$rec" >/dev/null 2>&1 || true
  }
  for seed in $(seq "${GFALL_SEARCH_FIRST:-1}" "${GFALL_SEARCH_SEEDS:-200}"); do
    play "$seed" 108000
    [ "$(counts "$rec" "$want")" -gt 0 ] && break
    if [ "$seed" -eq "${GFALL_SEARCH_SEEDS:-200}" ]; then
      echo "record-replays: $name: no seed counted $want" >&2
      exit 1
    fi
  done
  lo=0
  hi=$((108000 / 600))
  while [ $((hi - lo)) -gt 1 ]; do
    mid=$(((lo + hi) / 2))
    play "$seed" $((mid * 600))
    if [ "$(counts "$rec" "$want")" -gt 0 ]; then hi=$mid; else lo=$mid; fi
  done
  frames=$((hi * 600 + 300))
  play "$seed" "$frames"
  [ "$(counts "$rec" "$want")" -gt 0 ] || { echo "record-replays: $name: lost" >&2; exit 1; }
  echo "   seed $seed, $frames frames"
  cp "$rec" "$corpus/$name.gfrec"
  keep_hashes "$name"
}

# Plays the computer's games in windows until, for each NAME:FIELD given, one
# window's replay counts FIELD (see the header); keeps that recording as
# $corpus/NAME.gfrec. A window that has given a game is stopped and a new one
# (the next seed) takes its place.
record_until() {
  local script="$1" options=($2)
  shift 2
  local wanted=("$@")
  local windows="${GFALL_RECORD_WINDOWS:-12}" budget="${GFALL_RECORD_BUDGET:-3600}"
  local work="$config/until" start=$SECONDS seed=0 missing=() slot i w name want found
  mkdir -p "$work"
  echo "== ${wanted[*]} ($windows windows, at most ${budget} s)"
  local slot_seed=()
  start_window() {  # slot
    seed=$((seed + 1))
    slot_seed[$1]=$seed
    rm -rf "$work/$1"
    mkdir -p "$work/$1"
    # Its own X server (a window that never had the focus cannot lose it) and
    # its own game data folder (one copy per folder may run).
    SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1280x1024x24' sh -c \
      '"$@" & echo $! >"$0"; wait $!' "$work/$1/pid" "$gfall" --window "${options[@]}" \
      --seed "$seed" --data "$build" --config-dir "$work/$1" --input "$script" \
      --record "$work/$1/game.gfrec" >/dev/null 2>&1 &
  }
  stop_window() {  # slot
    while [ ! -s "$work/$1/pid" ]; do sleep 0.2; done
    kill -TERM "$(cat "$work/$1/pid")" 2>/dev/null || true
    while kill -0 "$(cat "$work/$1/pid")" 2>/dev/null; do sleep 0.2; done
  }
  for slot in $(seq 1 "$windows"); do start_window "$slot"; done
  missing=("${wanted[@]}")
  while [ "${#missing[@]}" -gt 0 ] && [ $((SECONDS - start)) -lt "$budget" ]; do
    sleep 15
    for slot in $(seq 1 "$windows"); do
      [ -s "$work/$slot/game.gfrec" ] || continue
      found=()
      stats="$("$gfall" --replay-partial "$work/$slot/game.gfrec" --data "$build" --stats \
        2>/dev/null || true)"
      for w in "${missing[@]}"; do
        want="${w#*:}"
        if grep -Eq "\"$want\":[1-9]" <<<"$stats"; then found+=("$w"); fi
      done
      [ "${#found[@]}" -gt 0 ] || continue
      # A few seconds more, so the recording shows what followed.
      sleep 5
      stop_window "$slot"
      for w in "${found[@]}"; do
        name="${w%%:*}"
        cp "$work/$slot/game.gfrec" "$corpus/$name.gfrec"
        echo "   $name: seed ${slot_seed[$slot]}, after $((SECONDS - start)) s"
        keep_hashes "$name"
        for i in "${!missing[@]}"; do [ "${missing[$i]}" != "$w" ] || unset 'missing[i]'; done
      done
      missing=("${missing[@]}")
      [ "${#missing[@]}" -eq 0 ] || start_window "$slot"
    done
  done
  for slot in $(seq 1 "$windows"); do stop_window "$slot"; done
  wait
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "record-replays: no window counted ${missing[*]} in ${budget} s" >&2
    exit 1
  fi
}
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
    keep_hashes "$name"
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
  keep_hashes "$name"
done
rare_now=()
for w in "${rare[@]}"; do
  if [ "${#only[@]}" -eq 0 ] || [[ " ${only[*]} " == *" ${w%%:*} "* ]]; then rare_now+=("$w"); fi
done
if [ "${#rare_now[@]}" -gt 0 ]; then
  record_until "$corpus/awards.txt" "$rare_options" "${rare_now[@]}"
fi
for w in "${searched[@]}"; do
  if [ "${#only[@]}" -eq 0 ] || [[ " ${only[*]} " == *" ${w%%:*} "* ]]; then
    record_search "${w%%:*}" "${w#*:}"
  fi
done
