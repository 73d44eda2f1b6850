#!/usr/bin/env bash
# The Windows programs, their packages and their tests (see the Makefile):
#
#   windows.sh build     gfall.exe and gftool.exe in build/win32 and build/win64
#   windows.sh package   the zips and the installer in build/windows
#   windows.sh test      the 64-bit build's tests under Wine, and the game
#                        under Wine against the Linux build
#
# BUILD is the Linux build (default build/release): the table pack, the icons
# and the Linux programs the Windows ones are compared with come from it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
what=${1:?usage: windows.sh build|package|test}
linux=$(realpath -m "${BUILD:-build/release}")
jobs=${JOBS:-$(nproc)}
version=$(sed -n 's/^project(gfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=$here/build/windows

log() { echo "windows: $*" >&2; }

# The Linux build's table pack and icons (and, for the tests, its programs).
linux_parts() {
  cmake --build "$linux" -j "$jobs" --target gfall_pack gfall_icons "$@"
}

# Configures build/win32 or build/win64 against the cross-built libraries.
configure() {
  local arch=$1 dir=$2 prefix launcher=()
  prefix=$(bash scripts/cross-libs.sh "$arch" | tail -1)
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  if [ -f "$dir/build.ninja" ] && grep -qx "GFALL_WIN_PREFIX:PATH=$prefix" "$dir/CMakeCache.txt" 2>/dev/null; then
    return
  fi
  rm -rf "$dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake" -DGFALL_WIN_PREFIX:PATH="$prefix" \
    -DGFALL_LINUX_BUILD="$linux" "${launcher[@]}" >"$dir.configure.log" 2>&1 ||
    { tail -40 "$dir.configure.log" >&2; exit 1; }
}

build() {
  linux_parts
  configure i686 build/win32
  configure x86_64 build/win64
  for dir in build/win32 build/win64; do
    log "building $dir"
    cmake --build "$dir" -j "$jobs" --target gfall gftool gfall_pack help_pages
  done
}

# The files a player gets, from one build, in folder $2.
stage() {
  local dir=$1 dest=$2
  rm -rf "$dest"
  mkdir -p "$dest"
  for exe in gfall.exe tools/gftool/gftool.exe; do
    "$(objdump_of "$dir")" -f "$dir/$exe" >/dev/null # a PE file of the right kind
    "$(strip_of "$dir")" -o "$dest/$(basename "$exe")" "$dir/$exe"
  done
  cp "$dir/GFALL.DAT" "$dir/gfall-icon.png" "$dest/"
  cp -r "$dir/help" "$dest/help"
  cp packaging/windows/README.txt "$dest/README.txt"
}
triple_of() { grep -q 'mingw-w64-i686' "$1/CMakeCache.txt" && echo i686-w64-mingw32 || echo x86_64-w64-mingw32; }
objdump_of() { echo "$(triple_of "$1")-objdump"; }
strip_of() { echo "$(triple_of "$1")-strip"; }

package() {
  build
  mkdir -p "$out"
  for bits in 32 64; do
    local name=Glimmerfall-$version-win$bits
    stage build/win$bits "$out/$name"
    rm -f "$out/$name.zip"
    (cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
    log "$out/$name.zip"
  done
  # The installer runs on 32-bit Windows too, so its own program is 32-bit;
  # it carries both games and installs the one the Windows it runs on can
  # run. A copy made with the 64-bit stub (the same script) is what this
  # machine's 64-bit-only Wine can run in the tests.
  local target
  for target in x86-unicode amd64-unicode; do
    local setup=Glimmerfall-$version-setup.exe
    [ "$target" = amd64-unicode ] && setup=Glimmerfall-$version-setup-x64stub.exe
    makensis -V2 -DTARGET=$target -DVERSION="$version" -DWIN32DIR="$out/Glimmerfall-$version-win32" \
      -DWIN64DIR="$out/Glimmerfall-$version-win64" -DICON="$linux/gfall.ico" -DOUTFILE="$out/$setup" \
      packaging/windows/glimmerfall.nsi
    log "$out/$setup"
  done
}

# --- tests -------------------------------------------------------------------

wine_env() {
  export WINEPREFIX=$here/build/win64/wineprefix WINEDEBUG=-all WINEARCH=win64
  # No Mono or Gecko install prompts: the game needs neither.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "making the Wine prefix"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
}

failures=0
check() { # name command...: runs it, counts a failure
  local name=$1
  shift
  if "$@"; then
    log "ok: $name"
  else
    log "FAILED: $name"
    failures=$((failures + 1))
  fi
}

unit_tests() {
  local t status=0
  for t in build/win64/tests/*/test_*.exe; do
    # One Wine process per program: GoogleTest runs all of its tests in it.
    if ! GFALL_SOURCE_DIR=$here GFALL_BUILD_DIR=$here/build/win64 wine "$t" --gtest_brief=1 \
      >"$t.log" 2>&1; then
      tail -40 "$t.log" >&2
      status=1
    fi
    log "$(basename "$t"): $(grep -Eo '\[  PASSED  \] [0-9]+ tests?' "$t.log" || echo none passed)"
  done
  return $status
}

# The same seeded games, headless, print the same states on both platforms.
seeded_games() {
  local args=(--headless --demo --seeds 1-20 --frames 20000 --print-state)
  "$linux/gfall" "${args[@]}" --data "$linux" >"$work/seeds-linux.txt"
  wine build/win64/gfall.exe "${args[@]}" --data build/win64 | tr -d '\r' >"$work/seeds-wine.txt"
  [ "$(wc -l <"$work/seeds-linux.txt")" -eq 20 ] && cmp "$work/seeds-linux.txt" "$work/seeds-wine.txt"
}

# Every recording of the corpus (made on Linux) replays exactly under Wine.
corpus_under_wine() {
  local f status=0
  for f in tests/replays/*.gfrec; do
    if ! wine build/win64/gfall.exe --replay "$f" --data build/win64 >"$work/replay.log" 2>&1; then
      cat "$work/replay.log" >&2
      status=1
    fi
  done
  return $status
}

# A game recorded under Wine replays exactly on Linux.
wine_recording_on_linux() {
  local rec=$work/wine-game.gfrec
  wine build/win64/gfall.exe --headless --demo --seed 7 --players 2 --until-game-over \
    --record "$rec" --data build/win64 >/dev/null &&
    "$linux/gfall" --replay "$rec" --data "$linux"
}

# The window under Wine on Xvfb, on its virtual clock: the title, the main
# menu, a new game with the ball launched, each a picture (build/windows/wine-*.png).
window_under_wine() {
  local display=:347 shots=$work/shots config=$work/wine-config status=0
  mkdir -p "$shots" "$config"
  Xvfb $display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  sleep 2
  tap() { echo "$1 key $2 down"; echo "$(($1 + 100)) key $2 up"; }
  {
    echo "90 shot title"
    tap 200 0x39 # leave the title
    echo "400 shot main-menu"
    tap 600 0x1C # New Game
    echo "1500 start down"
    echo "2500 start up"
    echo "5000 shot game"
  } >"$work/window-input.txt"
  DISPLAY=$display SDL_AUDIODRIVER=dummy timeout 300 wine build/win64/gfall.exe --window \
    --virtual-clock --width 1024 --depth 4 --input "$work/window-input.txt" --shots "$shots" \
    --frames 400 --seed 4 --config-dir "$config" --data build/win64 >"$work/window.log" 2>&1 ||
    status=1
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  local f
  for f in title main-menu game; do
    if [ -s "$shots/$f.png" ]; then
      cp "$shots/$f.png" "$out/wine-$f.png"
    else
      log "no picture $f.png"
      status=1
    fi
  done
  [ $status -eq 0 ] || cat "$work/window.log" >&2
  return $status
}

run_tests() {
  linux_parts gfall
  configure x86_64 build/win64
  log "building build/win64"
  cmake --build build/win64 -j "$jobs"
  wine_env
  work=$(mktemp -d)
  mkdir -p "$out"
  check "unit tests under Wine" unit_tests
  check "20 seeded games: Linux and Wine agree" seeded_games
  check "the replay corpus under Wine" corpus_under_wine
  check "a game recorded under Wine replays on Linux" wine_recording_on_linux
  check "the window under Wine" window_under_wine
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
  [ "$failures" -eq 0 ] || { log "$failures check(s) failed"; exit 1; }
}

case "$what" in
  build) build ;;
  package) package ;;
  test) run_tests ;;
  *) echo "usage: windows.sh build|package|test" >&2; exit 2 ;;
esac
