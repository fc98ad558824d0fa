#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the screenshots in docs/ from the programs as they are: the panel as the demo drives it,
# the monitor 30 s after its first Start against a simulated board with six sensors, at its
# defaults (a round every 10 s, the last 10 minutes shown), and the monitor watching a board through
# an MQTT broker, logged there by calimbra-cli with names and a high limit one sensor is above.
#   scripts/screenshots.sh [panel|monitor|broker]    (all when not told)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
which=${1:-all}

if [ "$which" = all ] || [ "$which" = panel ]; then
    # The demo drives the panel on a virtual display and leaves its screenshots in build/demo/.
    env -u DISPLAY -u WAYLAND_DISPLAY "$root/scripts/demo.sh" >/dev/null
    cp "$build/demo/3-temperature.png" "$root/docs/calimbra-window.png"
    echo "docs/calimbra-window.png"
fi
[ "$which" = panel ] && exit 0
cmake --build "$build" --parallel "$(nproc)" --target calimbra-monitor calimbra-simboard calimbra-cli >/dev/null

. "$root/scripts/lib/virtual-display.sh"
run_in_own_process_group "$0" "$@"
work=$(mktemp -d)
trap 'end_process_group; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
private_runtime_dir "$work"
start_virtual_display "$work"
# shoot <png> <start> <monitor arguments...>: the monitor's window 30 s after its first Start (F5
# pressed when <start> is "F5"; a broker named on its command line is watched at once). A settings
# folder of its own and empty: nothing of the user's is read or changed, and the monitor starts as
# on its first run.
shoot() {
    local png=$1
    local start=$2
    shift 2
    XDG_CONFIG_HOME="$work/config-$png" "$build/monitor/calimbra-monitor" "$@" &
    local monitor_pid=$!
    local window
    window=$(xdotool search --sync --name "Calimbra Monitor")
    xdotool windowsize --sync "$window" 1010 700 windowmove --sync "$window" 0 0 windowfocus --sync "$window"
    [ "$start" = F5 ] && xdotool key F5
    sleep 31 # the fourth round is in by then
    import -window root -crop 1010x700+0+0 "$root/docs/$png"
    echo "docs/$png"
    # Closed before the display goes away.
    kill "$monitor_pid"
    wait "$monitor_pid" || true
}

if [ "$which" != broker ]; then
    link="$work/ttyBoard"
    start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 6 --link "$link"
    shoot calimbra-monitor.png F5 --port "$link"
fi
[ "$which" = monitor ] && exit 0

# A broker on a free port, found by trying: one that cannot listen there ends at once.
for port in $(shuf -i 20000-60000 -n 20); do
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" 2>/dev/null &
    broker_pid=$!
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break 2
        kill -0 "$broker_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$broker_pid" 2>/dev/null || true
done
# The remote board's service: names, and a high limit its boiler is above.
cat >"$work/lab.conf" <<'EOF'
interval = 2
[sensor.1]
name = Kitchen
[sensor.2]
name = Boiler
high = 20
[sensor.3]
name = "Freezer; door side"
[sensor.4]
name = Attic
EOF
start_simulated_board "$build/tools/calimbra-simboard" "$work" --sensors 4
"$build/cli/calimbra-cli" --port "$board_port" --config "$work/lab.conf" log --board lab \
    --mqtt "mqtt://127.0.0.1:$port" --outbox "$work/outbox" --output "$work/lab.csv" 2>/dev/null &
shoot calimbra-monitor-broker.png - --mqtt "mqtt://127.0.0.1:$port" --board lab
