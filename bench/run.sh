#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds what the benchmarks need in Release, runs them all in one go under a virtual X display,
# and prints one table: each figure as min / median / max over repeated runs, ratios pair by pair.
# RUNS (default 15) sets the start-up pairs; REPS (default 200) the request repetitions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCALIMBRA_BUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF \
    >/dev/null

. "$root/scripts/lib/virtual-display.sh"
work=$(mktemp -d)
cleanup() {
    kill "${board_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_virtual_display "$work"
start_simulated_board "$build/tools/calimbra-simboard" "$work"
port=$board_port

rows="$work/rows"
echo "Start-up and memory (${RUNS:-15} pairs)..." >&2
"$build/bench/bench_startup" compare "${RUNS:-15}" -- Calimbra "$build/app/calimbra" \
    -- "bare window" "$build/bench/bare-window" -- "bare window with a label" "$build/bench/bare-window" --text \
    >>"$rows"
echo "Start-up: the monitor beside the panel (${RUNS:-15} pairs)..." >&2
# Its goal is its own: at most 1.5 times the panel's start-up, with no goal for its memory.
"$build/bench/bench_startup" compare "${RUNS:-15}" -- Monitor "$build/monitor/calimbra-monitor" \
    -- Calimbra "$build/app/calimbra" | grep -E 'ratio|Monitor' |
    awk -F'|' 'BEGIN { OFS = "|" }
        $2 ~ /start-up ratio/ { $7 = "<= 1.5"; $8 = ($5 <= 1.5) ? "met" : "MISSED" }
        $2 ~ /memory ratio/ { $7 = ""; $8 = "" }
        { print }' >>"$rows"
echo "Idle cost (2 x 3 x 10 s)..." >&2
"$build/bench/bench_startup" idle 3 10 "clock ticking, port closed" -- "$build/app/calimbra" \
    -- "$build/bench/bare-window" --clock >>"$rows"
"$build/bench/bench_startup" idle 3 10 "port open and silent" alt+r -- "$build/app/calimbra" --port "$port" \
    -- "$build/bench/bare-window" --clock >>"$rows"
# The monitor started (F5) with an interval of an hour: between rounds nothing should wake it.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/calimbra"
printf '[General]\ninterval=3600\n' >"$XDG_CONFIG_HOME/calimbra/calimbra-monitor.conf"
"$build/bench/bench_startup" idle 3 10 "monitor between rounds" F5 -- "$build/monitor/calimbra-monitor" \
    --port "$port" -- "$build/bench/bare-window" --clock >>"$rows"
echo "Request and reply latency, flood..." >&2
"$build/bench/bench_window" "$build/tools/calimbra-simboard" "${REPS:-200}" 2>/dev/null >>"$rows"
echo "Logging rounds and memory over ${READINGS:-10000} readings (a few minutes)..." >&2
"$build/bench/bench_logging" "$build/tools/calimbra-simboard" 20 "${READINGS:-10000}" 2>/dev/null >>"$rows"
echo "Monitor over a simulated day..." >&2
"$build/bench/bench_monitor" 24 2>/dev/null >>"$rows"
echo "Metrics scrape..." >&2
"$build/bench/bench_metrics" 2000 2>/dev/null >>"$rows"
echo "Outbox: ${QUEUED:-100000} readings queued and drained..." >&2
"$build/bench/bench_outbox" "${QUEUED:-100000}" 2>/dev/null >>"$rows"
echo "MQTT: latency to a subscriber over ${MQTT_ROUNDS:-30} rounds, replay of ${QUEUED:-100000} readings..." >&2
"$build/bench/bench_mqtt" "$build/cli/calimbra-cli" "$build/tools/calimbra-simboard" "${MQTT_ROUNDS:-30}" \
    "${QUEUED:-100000}" 2>/dev/null >>"$rows"
echo "Monitor reading back a week-long log..." >&2
"$build/bench/bench_monitor_log" 7 2>/dev/null >>"$rows"
echo "Receive step..." >&2
"$build/bench/bench_receivestep" --benchmark_repetitions=10 --benchmark_min_time=0.2 2>/dev/null >>"$rows"

echo
echo "Calimbra benchmarks, $(date -u +%Y-%m-%d), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
    "$(nproc) cores, Linux $(uname -r), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?')"
echo
grep '^ROW|' "$rows" | awk -F'|' '
    BEGIN { printf "| %-72s | %-5s | %9s | %9s | %9s | %-32s | %-6s |\n", "figure", "unit", "min", "median", "max", "goal", "";
            printf "|%s|%s|%s|%s|%s|%s|%s|\n", "--------------------------------------------------------------------------", "-------",
                   "----------:", "----------:", "----------:", "----------------------------------", "--------" }
    { printf "| %-72s | %-5s | %9s | %9s | %9s | %-32s | %-6s |\n", $2, $3, $4, $5, $6, $7, $8 }'
