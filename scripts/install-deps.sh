#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the project needs. Safe to run again: apt skips what is there.
#   scripts/install-deps.sh --for demo   building the programs and running the demo
#   scripts/install-deps.sh [--for test] all of that, and what the tests, the fuzzer, the
#                                        benchmarks and the package checks need
set -euo pipefail

purpose=test
if [ "${1:-}" = "--for" ] && [ -n "${2:-}" ]; then
    purpose=$2
fi

demo=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev qt6-svg-dev libgl-dev
  # the metrics endpoint; Debian's HTTP server package does not pull in the WebSockets one its CMake
  # files require
  qt6-httpserver-dev qt6-websockets-dev
  # the MQTT client
  libmosquitto-dev
  # translations (lupdate/lrelease and their CMake support) and Qt's own catalogues
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # manuals and icons, rendered at build time
  scdoc librsvg2-bin
  # running: the X11 platform plugin, and fonts metric-compatible with the window's Windows fonts
  qt6-qpa-plugins fontconfig fonts-liberation2
  # running: Qt's SQLite driver, for the outbox of readings bound for a broker
  libqt6sql6-sqlite
  # the demo without a display: a virtual one, driven by keys, with screenshots
  xvfb xauth xdotool imagemagick
)
test=(
  # tests: windows on X, pseudo-terminals, processes
  x11-utils socat procps
  # a real MQTT broker, its command-line clients, and certificates for its TLS listener
  mosquitto mosquitto-clients openssl
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # the metrics' format checker (promtool)
  prometheus
  # benchmarks and packaging checks
  libbenchmark-dev dpkg-dev file lintian appstream desktop-file-utils
  # formatting and static checks
  clang-format clang-tidy cppcheck
)

case "$purpose" in
demo) packages=("${demo[@]}") ;;
test) packages=("${demo[@]}" "${test[@]}") ;;
*)
    echo "usage: $0 [--for demo|test]" >&2
    exit 1
    ;;
esac

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
