#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows
# cross-build need, skipping what is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsdl2-dev libsdl2-image-dev libdecor-0-plugin-1-cairo libwayland-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libfreetype-dev libfontconfig-dev fonts-noto-cjk
  libmpg123-dev mpg123
  libcairo2-dev libpng-dev zlib1g-dev libmp3lame-dev
  libgtest-dev
  g++-mingw-w64-x86-64-posix
  xvfb xauth weston pulseaudio
)

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
