#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the project needs. Safe to run again: apt skips what is there.
#   scripts/install-deps.sh --for demo   building the programs and running the demo
#   scripts/install-deps.sh [--for test] all of that, and what the tests, the fuzzer, the
#                                        benchmarks and the package checks need
set -euo pipefail

purpose="test"
if [ "${1:-}" = "--for" ] && [ -n "${2:-}" ]; then
    purpose=$2
fi

demo=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev qt6-svg-dev libgl-dev
  # Qt6Charts' CMake configuration asks for Qt6OpenGL's, which qt6-charts-dev does not pull in
  libqt6opengl6-dev
  # the logger's outputs and service: MQTT, SQLite, systemd notification
  libmosquitto-dev libqt6sql6-sqlite libsystemd-dev
  # translations (lupdate/lrelease and their CMake support) and Qt's own catalogues
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # manuals and icons, rendered at build time; po4a translates the manuals
  scdoc po4a librsvg2-bin
  # running: the X11 platform plugin, and fonts metric-compatible with the window's Windows fonts
  qt6-qpa-plugins fontconfig fonts-liberation2
  # the demo without a display: a virtual one, driven by keys, with screenshots
  xvfb xauth xdotool imagemagick
)
test=(
  # tests: windows on X, pseudo-terminals, processes
  x11-utils socat procps
  # the outputs against real parts: an MQTT broker and its clients, promtool, certificates
  mosquitto mosquitto-clients prometheus openssl
  # Home Assistant's templates in the discovery messages, rendered as it renders them (Jinja)
  python3-jinja2
  # the service's unit checked by systemd-analyze
  systemd
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # benchmarks and packaging checks
  libbenchmark-dev dpkg-dev file lintian appstream desktop-file-utils
  # formatting and static checks
  clang-format clang-tidy cppcheck
  # the test command's builds: what was compiled before, in any build folder, is not compiled again
  ccache
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
[ "${#missing[@]}" -gt 0 ] || exit 0

# A freshly booted machine is often busy updating itself (unattended-upgrades): wait for its lock
# rather than fail.
lock_wait_seconds=900
lock_wait=(-o "DPkg::Lock::Timeout=$lock_wait_seconds")
told=
say_waiting() {
    [ -z "$told" ] || return 0
    told=1
    echo "Another package manager holds apt's lock ($1); waiting for it, at most $((lock_wait_seconds / 60)) minutes." >&2
}

# Who holds one of the locks apt takes, as "name, process N"; nothing when they are free.
lock_holder() {
    $sudo lslocks --noheadings --output COMMAND,PID,PATH 2>/dev/null | awk '
        $3 ~ "^/var/lib/dpkg/lock(-frontend)?$" || $3 == "/var/lib/apt/lists/lock" ||
        $3 == "/var/cache/apt/archives/lock" { print $1 ", process " $2; exit }'
}

export DEBIAN_FRONTEND=noninteractive
# apt-get update does not wait for the lock of the package lists, whatever the timeout says.
deadline=$((SECONDS + lock_wait_seconds))
until report=$($sudo apt-get "${lock_wait[@]}" update -qq 2>&1); do
    if [ "$SECONDS" -lt "$deadline" ] && grep -q 'Could not get lock' <<<"$report"; then
        say_waiting "$(sed -n 's/.*It is held by process \([0-9]*\) (\(.*\)).*/\2, process \1/p' <<<"$report" | head -n 1)"
        sleep 5
        continue
    fi
    echo "$report" >&2
    exit 1
done
[ -z "$report" ] || echo "$report"

holder=$(lock_holder)
[ -z "$holder" ] || say_waiting "$holder"
$sudo apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
