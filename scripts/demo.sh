#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the simulated board on a pseudo-terminal and the panel connected to it.
# Closing the window ends both. Without a display, the demo runs on a virtual one, is driven
# through its buttons, and leaves screenshots in build/demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install-deps.sh" --for demo
# Configured as scripts/build.sh does, without the tests, which may need what --for demo does not
# install; only the two programs are built: the translations and icons they show travel inside them.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target calimbra calimbra-simboard

. "$root/scripts/lib/virtual-display.sh"
work=$(mktemp -d)
cleanup() {
    [ -n "${board_pid:-}" ] && kill "$board_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
private_runtime_dir "$work"

# Paced at 9600 baud and split into pieces as a USB adapter delivers them.
start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 5 --baud 9600 --chunk 4 --gap 8 --log -
port=$board_port
echo "Simulated board on $port"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$build/app/calimbra" --port "$port"
    exit 0
fi

echo "No display found: running on a virtual display; screenshots go to $build/demo/"
mkdir -p "$build/demo"
start_virtual_display "$work"

"$build/app/calimbra" --port "$port" &
app_pid=$!
window=$(xdotool search --sync --name "Calimbra 1-Wire")
xdotool windowfocus --sync "$window"
shot() { sleep 0.6; import -window root -crop 650x466+192+124 "$build/demo/$1.png"; echo "  $build/demo/$1.png"; }
shot 1-started
xdotool key alt+r; shot 2-sensor-count
xdotool key alt+m; shot 3-temperature
xdotool key alt+l; shot 4-led1-on
xdotool mousemove --window "$window" 50 135 click 1 key alt+l; shot 5-led2-on
xdotool key alt+c
wait "$app_pid"
echo "The window closed; the demo is over."
