#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those present.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  liblua5.4-dev
  zlib1g-dev
  liblz4-dev
  libpng-dev
  libstb-dev
  nlohmann-json3-dev
  libegl-dev
  libgl-dev
  libopengl-dev
  libegl-mesa0
  libgl1-mesa-dri
  libsdl2-dev
  libgtk-3-dev
  libxrandr-dev
  libbullet-dev
  libfaudio-dev
  libvorbis-dev
  libogg-dev
  xvfb
  xauth
  xdotool
  clang-14
  libfuzzer-14-dev
  libtinygltf-dev
  libenet-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run as root or install them first" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
