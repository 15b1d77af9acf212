#!/usr/bin/env bash
# Installs the Debian packages we build with, skipping what is already there.
#   install-deps.sh play   what building and playing the three programs needs
#   install-deps.sh        that, and what the tests, the benchmarks, the asset
#                          tools and the Windows cross-build add
set -euo pipefail

play=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libsdl2-image-dev libx11-dev libwayland-dev
  libepoxy-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libfreetype-dev libfontconfig-dev fonts-noto-cjk
  libmpg123-dev libpng-dev zlib1g-dev
  # Title bars and close buttons on native Wayland
  libdecor-0-plugin-1-cairo
)
develop=(
  libgtest-dev xvfb xauth weston         # tests
  libcairo2-dev libmp3lame-dev mpg123    # benchmarks, asset tools, test sounds
  pulseaudio                             # the sound benchmark's own server
  g++-mingw-w64-x86-64-posix             # Windows cross-build
)

case "${1:-all}" in
  play) packages=("${play[@]}") ;;
  all) packages=("${play[@]}" "${develop[@]}") ;;
  *) echo "usage: $0 [play]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
