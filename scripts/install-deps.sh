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
  g++-mingw-w64-x86-64-posix             # Windows cross-build
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The sound tests' and the sound benchmark's own server. Not where the
# desktop's sound server is pipewire-pulse: pulseaudio's package enables its
# own user service for everyone, and the two conflict at the next login.
installed pipewire-pulse || develop+=(pulseaudio)

case "${1:-all}" in
  play) packages=("${play[@]}") ;;
  all) packages=("${play[@]}" "${develop[@]}") ;;
  *) echo "usage: $0 [play]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "$0: installing ${missing[*]} needs root: run this as root, or install sudo" >&2
    exit 1
  fi
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
# Through env: sudo drops the caller's environment.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
