# Shared by the packaging tests: plays a short computer game with the program
# $1 and no environment at all, from a folder that holds no pack, and checks
# it ended well and really played.
play_without_environment() {
  local exe=$1 work=$2
  mkdir -p "$work/empty"
  local out
  if ! out=$(cd "$work/empty" && env -i "$exe" --headless --demo --frames 3000 --print-state 2>&1); then
    echo "FAIL: $exe did not play:"; echo "$out"; return 1
  fi
  # The computer player scores on the real table within 50 s of play.
  if ! grep -Eq '"score"[^0-9]*[1-9]' <<<"$out"; then
    echo "FAIL: $exe played no points:"; echo "$out" | head -20; return 1
  fi
  echo "played: $(grep -Eo '"score"[^,}]*' <<<"$out" | head -1)"
}
