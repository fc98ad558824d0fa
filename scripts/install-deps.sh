#!/usr/bin/env bash
# Installs every Debian package that building, testing, the demo and the benchmarks need.
# Safe to run again: apt skips what is already there.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  qt6-qpa-plugins
  # fonts metric-compatible with the window's Windows fonts
  fontconfig fonts-liberation2
  # tests: real X window, keyboard driving, screenshots, pseudo-terminals
  xvfb xauth xdotool x11-utils imagemagick socat procps
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # benchmarks and packaging
  libbenchmark-dev dpkg-dev file
  # formatting and static checks
  clang-format clang-tidy cppcheck
)

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
