#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the screenshots in docs/ from the programs as they are: the panel as the demo drives it,
# and the monitor after a run against the simulated board with an outage in it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

# The demo drives the panel on a virtual display and leaves its screenshots in build/demo/; it
# builds the panel and the board, the monitor is built here.
env -u DISPLAY -u WAYLAND_DISPLAY "$root/scripts/demo.sh" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target calimbra-monitor >/dev/null
cp "$build/demo/3-temperature.png" "$root/docs/calimbra-window.png"
echo "docs/calimbra-window.png"

. "$root/scripts/lib/virtual-display.sh"
run_in_own_process_group "$0" "$@"
work=$(mktemp -d)
trap 'end_process_group; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
private_runtime_dir "$work"
start_virtual_display "$work"
link="$work/ttyBoard"
start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 4 --link "$link"

# A settings folder of its own, so nothing of the user's is read or changed.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/calimbra"
printf '[General]\ninterval=1\nwindow=3\n' >"$XDG_CONFIG_HOME/calimbra/calimbra-monitor.conf"
"$build/monitor/calimbra-monitor" --port "$link" &
window=$(xdotool search --sync --name "Calimbra Monitor")
xdotool windowsize --sync "$window" 1010 700 windowmove --sync "$window" 0 0 windowfocus --sync "$window"
xdotool key F5
sleep 40
kill -USR1 "$board_pid" # the cable is pulled...
sleep 8
start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 4 --link "$link"
sleep 40 # ...and the board is back
import -window root -crop 1010x700+0+0 "$root/docs/calimbra-monitor.png"
echo "docs/calimbra-monitor.png"
