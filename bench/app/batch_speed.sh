#!/bin/sh
# Times a batch of headless demonstration games in one process, several runs:
# wall and CPU seconds, and game time per second of each (x real time).
#   bench/app/batch_speed.sh GFALL DATA_DIR [SEEDS (1-100)] [RUNS (5)]
set -eu
gfall=$1 data=$2 seeds=${3:-1-100} runs=${4:-5}
out=$(mktemp) times=$(mktemp)
trap 'rm -f "$out" "$times"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
  /usr/bin/time -f '%e %U %S' -o "$times" "$gfall" --headless --demo --seeds "$seeds" --stats \
    --data "$data" >"$out"
  game_ms=$(sed -n 's/.*"game_ms":\([0-9]*\).*/\1/p' "$out" | awk '{s += $1} END {print s}')
  games=$(wc -l <"$out")
  awk -v g="$game_ms" -v n="$games" '{cpu = $2 + $3;
    printf "games %d  game %.0f s  wall %.3f s  cpu %.3f s  %.0fx wall  %.0fx cpu\n",
           n, g / 1000, $1, cpu, g / 1000 / $1, g / 1000 / cpu}' "$times"
  i=$((i + 1))
done
