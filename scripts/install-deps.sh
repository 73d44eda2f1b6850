#!/usr/bin/env bash
# Installs every Debian package the build, the tools and the tests need.
# Does nothing when all of them are already present; uses sudo when not root.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  cmake ninja-build g++ clang clang-format-14 pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  # the game
  libsdl2-dev libjpeg62-turbo-dev libmpg123-dev libpng-dev
  # table builder
  libmp3lame-dev libfreetype-dev fonts-dejavu-core nlohmann-json3-dev libcairo2-dev
  # dialogs
  libimgui-dev
  # the score server, its databases and its browser test
  libcpp-httplib-dev libsqlite3-dev libpqxx-dev libcli11-dev postgresql chromium
  # the production set-up test: nginx in front of two servers
  nginx
  # install and package: the .deb (dpkg-shlibdeps), validators of the desktop files, man
  dpkg-dev desktop-file-utils appstream man-db lintian
  # tests in a real X window (xwd: the X server's picture of the screen), fuzzing runtime
  xvfb x11-apps libclang-rt-14-dev
  # Windows: the MinGW-w64 cross compilers, the 64-bit Wine for the tests (this
  # kernel runs no 32-bit programs, so not wine32), NSIS for the installer, and
  # what scripts/cross-libs.sh needs to unpack and build Debian's sources
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 nsis patch xz-utils bzip2
  # a person at the window (tests/person): a window manager, XTEST keys and
  # clicks (xdotool), and xprop to see the window manager in charge
  openbox xdotool x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
