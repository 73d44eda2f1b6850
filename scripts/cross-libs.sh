#!/usr/bin/env bash
# Cross-builds the libraries the Windows game links, from their Debian source
# packages, with MinGW-w64 into a prefix outside the clone:
#
#   scripts/cross-libs.sh i686|x86_64      (prints the prefix on its last line)
#
# The prefix is $GFALL_WIN_CACHE/<arch>-<key> (default ~/.cache/glimmerfall-win),
# where <key> is a hash of the source versions and of this recipe: a second run
# with the same sources finds the finished prefix and builds nothing. Every
# library is static, built for the parts the game uses only (no tests, no docs,
# no programs), with the flags of cmake/mingw-w64-<arch>.cmake, so the maths
# the libraries do on our behalf follows the same rules as ours.
set -euo pipefail

arch=${1:?usage: cross-libs.sh i686|x86_64}
case "$arch" in
  i686 | x86_64) ;;
  *) echo "cross-libs: unknown architecture $arch" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${GFALL_WIN_CACHE:-$HOME/.cache/glimmerfall-win}
jobs=${JOBS:-$(nproc)}
host=$arch-w64-mingw32
toolchain=$here/cmake/mingw-w64-$arch.cmake
# Raised whenever the way the libraries are built changes, so old prefixes are
# not reused for a different recipe.
recipe=1

# Source package -> the suite to take it from. Security updates whose sources
# the archive mirror does not serve fall back to the release suite.
packages=(libsdl2 libjpeg-turbo libpng1.6 zlib mpg123 imgui googletest nlohmann-json3 cli11)

log() { echo "cross-libs[$arch]: $*" >&2; }

# The deb-src entry for the suites the binary packages come from, with the
# same keyring (apt-get source needs it).
ensure_deb_src() {
  if apt-cache showsrc zlib 2>/dev/null | grep -c '^Version:' >/dev/null; then
    return
  fi
  local src=/etc/apt/sources.list.d/debian.sources
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if [ -f "$src" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$src" | $sudo tee /etc/apt/sources.list.d/glimmerfall-src.sources >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $sudo tee /etc/apt/sources.list.d/glimmerfall-src.list >/dev/null
  fi
  $sudo apt-get update -q >&2
}

# Newest version of a source package that the release suite or its updates
# offer; echoes "version suite".
source_version() {
  apt-cache showsrc "$1" | awk '/^Version:/{print $2}' | sort -V | tail -1
}

# Downloads (once) the files of a source package into $cache/src and prints
# the .dsc path. The detached signature of an upstream tarball is optional.
fetch_source() {
  local pkg=$1 ver=$2 dsc
  dsc=$cache/src/${pkg}_${ver#*:}.dsc
  if [ -f "$dsc" ] && dsc_complete "$dsc"; then
    echo "$dsc"
    return
  fi
  mkdir -p "$cache/src"
  (cd "$cache/src" && apt-get source --download-only -q "$pkg=$ver" >&2) || true
  if ! { [ -f "$dsc" ] && dsc_complete "$dsc"; }; then
    # The security archive's sources are not always reachable: take the
    # release suite's version instead.
    (cd "$cache/src" && apt-get source --download-only -q "$pkg/bookworm" >&2) || true
    dsc=$(ls -t "$cache/src/${pkg}"_*.dsc 2>/dev/null | head -1)
  fi
  [ -n "$dsc" ] && [ -f "$dsc" ] && dsc_complete "$dsc" || { log "cannot fetch the source of $pkg"; exit 1; }
  echo "$dsc"
}

# True when every tarball the .dsc lists (signatures aside) is there.
dsc_complete() {
  local dir f
  dir=$(dirname "$1")
  for f in $(awk '/^Files:/{on=1;next} /^[^ ]/{on=0} on{print $3}' "$1"); do
    case "$f" in *.asc) continue ;; esac
    [ -f "$dir/$f" ] || return 1
  done
}

# Unpacks a source package into $2 as dpkg-source would: the upstream tarball,
# the debian/ folder, then Debian's patches in order.
unpack() {
  local dsc=$1 dest=$2 dir orig deb
  dir=$(dirname "$dsc")
  orig=$(awk '/^Files:/{on=1;next} /^[^ ]/{on=0} on{print $3}' "$dsc" | grep '\.orig\.tar\.' | grep -v '\.asc$')
  deb=$(awk '/^Files:/{on=1;next} /^[^ ]/{on=0} on{print $3}' "$dsc" | grep '\.debian\.tar\.')
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -xf "$dir/$orig" -C "$dest" --strip-components=1
  tar -xf "$dir/$deb" -C "$dest"
  if [ -f "$dest/debian/patches/series" ]; then
    local p
    while read -r p _; do
      case "$p" in '' | '#'*) continue ;; esac
      patch -s -p1 -d "$dest" <"$dest/debian/patches/$p"
    done <"$dest/debian/patches/series"
  fi
}

ensure_deb_src
declare -A version dscs
flags="-O2 -ffp-contract=off"
[ "$arch" = i686 ] && flags+=" -msse2 -mfpmath=sse"
key_text="recipe $recipe; $host-gcc $($host-gcc-posix -dumpversion) $flags"
for p in "${packages[@]}"; do
  dscs[$p]=$(fetch_source "$p" "$(source_version "$p")")
  version[$p]=$(awk '/^Version:/{print $2}' "${dscs[$p]}")
  key_text+="; $p ${version[$p]}"
done
key=$(echo "$key_text" | sha256sum | cut -c1-12)
prefix=$cache/$arch-$key
if [ -f "$prefix/.complete" ]; then
  log "reusing $prefix"
  echo "$prefix"
  exit 0
fi

log "building into $prefix ($key_text)"
work=$cache/build-$arch
# A run that was stopped goes on where it was: each library finished is
# marked in the prefix (.done-NAME).
rm -rf "$work"
mkdir -p "$prefix/lib/pkgconfig" "$prefix/include" "$work"
started=$(date +%s)
done_already() { [ -f "$prefix/.done-$1" ]; }
mark_done() { touch "$prefix/.done-$1"; }

cmake_lib() { # name source-dir cmake-options...
  local name=$1 srcdir=$2
  shift 2
  done_already "$name" && return
  log "$name"
  cmake -S "$srcdir" -B "$work/$name-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DGFALL_WIN_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@" >"$work/$name.log" 2>&1 ||
    { tail -30 "$work/$name.log" >&2; exit 1; }
  cmake --build "$work/$name-build" -j "$jobs" >>"$work/$name.log" 2>&1 || { tail -30 "$work/$name.log" >&2; exit 1; }
  cmake --install "$work/$name-build" >>"$work/$name.log" 2>&1 || { tail -30 "$work/$name.log" >&2; exit 1; }
  mark_done "$name"
}

# zlib: the library only, compiled as it stands.
if ! done_already zlib; then
log zlib
unpack "${dscs[zlib]}" "$work/zlib"
(
  cd "$work/zlib"
  for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
    uncompr zutil; do
    $host-gcc-posix $flags -c $c.c -o $c.o
  done
  $host-ar rcs "$prefix/lib/libz.a" ./*.o
  cp zlib.h zconf.h "$prefix/include/"
)
cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
Name: zlib
Description: zlib compression library
Version: ${version[zlib]}
Libs: -L\${prefix}/lib -lz
Cflags: -I\${prefix}/include
EOF
mark_done zlib
fi

done_already libpng || unpack "${dscs[libpng1.6]}" "$work/libpng"
cmake_lib libpng "$work/libpng" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" -DSKIP_INSTALL_PROGRAMS=ON \
  -DSKIP_INSTALL_FILES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF

done_already libjpeg || unpack "${dscs[libjpeg-turbo]}" "$work/libjpeg"
cmake_lib libjpeg "$work/libjpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DWITH_JAVA=OFF -DCMAKE_INSTALL_DOCDIR="$work/discard" -DCMAKE_INSTALL_MANDIR="$work/discard" \
  -DCMAKE_INSTALL_BINDIR="$work/discard"

# mpg123: libmpg123 alone (no player, no audio output modules), portable C.
if ! done_already mpg123; then
  unpack "${dscs[mpg123]}" "$work/mpg123"
  log mpg123
  (
    cd "$work/mpg123"
    CFLAGS="$flags" ./configure --host=$host CC=$host-gcc-posix --prefix="$prefix" --disable-shared \
      --enable-static --with-cpu=generic_fpu --disable-modules --with-default-audio=dummy \
      --with-audio=dummy >"$work/mpg123.log" 2>&1 || { tail -30 "$work/mpg123.log" >&2; exit 1; }
    make -j "$jobs" src/libmpg123/libmpg123.la >>"$work/mpg123.log" 2>&1 ||
      { tail -30 "$work/mpg123.log" >&2; exit 1; }
    cp src/libmpg123/.libs/libmpg123.a "$prefix/lib/"
    cp src/libmpg123/mpg123.h src/libmpg123/fmt123.h "$prefix/include/"
    cp libmpg123.pc "$prefix/lib/pkgconfig/"
  )
  mark_done mpg123
fi

done_already sdl2 || unpack "${dscs[libsdl2]}" "$work/sdl2"
cmake_lib sdl2 "$work/sdl2" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_HIDAPI=OFF -DSDL_VULKAN=OFF \
  -DSDL_OPENGLES=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_STATIC_PIC=OFF

# Dear ImGui: the core as a static library with its own bundled stb parts; the
# SDL backends are compiled by the game, from the prefix's share/imgui/backends.
if ! done_already imgui; then
unpack "${dscs[imgui]}" "$work/imgui"
log imgui
(
  cd "$work/imgui"
  for c in imgui imgui_draw imgui_tables imgui_widgets; do
    $host-g++-posix $flags -I. -c $c.cpp -o $c.o
  done
  $host-ar rcs "$prefix/lib/libimgui.a" ./*.o
  mkdir -p "$prefix/include/imgui" "$prefix/share/imgui/backends"
  cp ./*.h "$prefix/include/imgui/"
  cp backends/imgui_impl_sdl.* backends/imgui_impl_sdlrenderer.* "$prefix/share/imgui/backends/"
  mkdir -p "$prefix/include/imgui/backends"
  cp backends/imgui_impl_sdl.h backends/imgui_impl_sdlrenderer.h "$prefix/include/imgui/backends/"
)
cat >"$prefix/lib/pkgconfig/imgui.pc" <<EOF
prefix=$prefix
Name: imgui
Description: Dear ImGui
Version: ${version[imgui]}
Libs: -L\${prefix}/lib -limgui
Cflags: -I\${prefix}/include/imgui
EOF
mark_done imgui
fi

done_already googletest || unpack "${dscs[googletest]}" "$work/googletest"
cmake_lib googletest "$work/googletest" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=ON

done_already json || unpack "${dscs[nlohmann-json3]}" "$work/json"
cmake_lib json "$work/json" -DJSON_BuildTests=OFF -DJSON_Install=ON

done_already cli11 || unpack "${dscs[cli11]}" "$work/cli11"
cmake_lib cli11 "$work/cli11" -DCLI11_BUILD_TESTS=OFF -DCLI11_BUILD_EXAMPLES=OFF -DCLI11_BUILD_DOCS=OFF \
  -DCLI11_INSTALL=ON

# Only static libraries are here: what they need of Windows goes on the link
# line of every program (Libs), and the console programs and tests are not
# made window programs by SDL's -mwindows (the game's target asks for that).
for pc in "$prefix"/lib/pkgconfig/*.pc; do
  grep -q '^Libs.private:' "$pc" || continue
  awk '
    /^Libs:/ { libs = $0; next }
    /^Libs.private:/ { sub(/^Libs.private:/, ""); priv = priv $0; next }
    { print }
    END { print libs priv }
  ' "$pc" >"$pc.new" && mv "$pc.new" "$pc"
done
# SDL's own main() wrapper is not used: the game's main() is the entry
# (SDL_MAIN_HANDLED), so neither -Dmain=SDL_main nor SDL2main nor -mwindows.
sed -i -e 's/ -mwindows//g' -e 's/ -lSDL2main//g' -e 's/ -Dmain=SDL_main//g' "$prefix/lib/pkgconfig/sdl2.pc"

rm -rf "$work"
echo "$key_text" | tr ';' '\n' >"$prefix/VERSIONS"
echo "$(($(date +%s) - started)) s" >"$prefix/BUILD-SECONDS"
touch "$prefix/.complete"
log "done in $(cat "$prefix/BUILD-SECONDS")"
echo "$prefix"
