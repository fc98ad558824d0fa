#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the screenshots in docs/ from the programs as they are: the panel as the demo drives it,
# and the monitor 30 s after its first Start against a simulated board with six sensors, at its
# defaults (a round every 10 s, the last 10 minutes shown).
#   scripts/screenshots.sh [panel|monitor]    (both when not told)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
which=${1:-all}

if [ "$which" != monitor ]; then
    # The demo drives the panel on a virtual display and leaves its screenshots in build/demo/.
    env -u DISPLAY -u WAYLAND_DISPLAY "$root/scripts/demo.sh" >/dev/null
    cp "$build/demo/3-temperature.png" "$root/docs/calimbra-window.png"
    echo "docs/calimbra-window.png"
fi
[ "$which" = panel ] && exit 0
cmake --build "$build" --parallel "$(nproc)" --target calimbra-monitor calimbra-simboard >/dev/null

. "$root/scripts/lib/virtual-display.sh"
run_in_own_process_group "$0" "$@"
work=$(mktemp -d)
trap 'end_process_group; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
private_runtime_dir "$work"
start_virtual_display "$work"
link="$work/ttyBoard"
start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 6 --link "$link"

# A settings folder of its own and empty: nothing of the user's is read or changed, and the
# monitor starts as on its first run.
export XDG_CONFIG_HOME="$work/config"
"$build/monitor/calimbra-monitor" --port "$link" &
monitor_pid=$!
window=$(xdotool search --sync --name "Calimbra Monitor")
xdotool windowsize --sync "$window" 1010 700 windowmove --sync "$window" 0 0 windowfocus --sync "$window"
xdotool key F5
sleep 31 # the fourth round is in by then
import -window root -crop 1010x700+0+0 "$root/docs/calimbra-monitor.png"
echo "docs/calimbra-monitor.png"
# Closed before the display goes away.
kill "$monitor_pid"
wait "$monitor_pid" || true
