#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program in a real X window, driven only by its keyboard accelerators, against the
# simulated board with replies paced at 9600 baud and split into pieces.
# Usage: e2e_keyboard.sh <calimbra> <calimbra-simboard>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR/../scripts/lib
# shellcheck source=virtual-display.sh
. "$(dirname "$0")/../scripts/lib/virtual-display.sh"
run_in_own_process_group "$0" "$@"
app=$1
simboard=$2
work=$(mktemp -d)
cleanup() {
    end_process_group
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP
fail() { echo "FAIL: $*" >&2; echo "board log:" >&2; cat "$work/requests.log" >&2 || true; exit 1; }

private_runtime_dir "$work"
start_virtual_display "$work"
start_simulated_board "$simboard" "$work" --sensors 6 --baud 9600 --chunk 3 --gap 12 --log "$work/requests.log"
# The board stands for hardware, whose pacing a busy machine does not slow: where it may, it goes
# before every ordinary process, so that no piece of a reply waits past the port's quiet gap.
chrt --fifo --pid 1 "$board_pid" 2>/dev/null || renice -n -10 -p "$board_pid" >/dev/null 2>&1 || true

"$app" --port "$board_port" &
app_pid=$!
window=$(timeout 20 xdotool search --sync --name "Calimbra 1-Wire" | head -n 1) || fail "no window appeared"
xdotool windowfocus --sync "$window"
title=$(xdotool getwindowname "$window")
[ "$title" = "Calimbra 1-Wire com controlador PIC" ] || fail "the window is titled '$title'"
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y: the window's client area

# Colour of a client-area pixel, as "r,g,b".
pixel() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format \
        "%[fx:int(255*p{$((X + $1)),$((Y + $2))}.r+0.5)],%[fx:int(255*p{$((X + $1)),$((Y + $2))}.g+0.5)],%[fx:int(255*p{$((X + $1)),$((Y + $2))}.b+0.5)]" info:
}
sensor_lamp() { pixel $((32 + 40 * ($1 - 1))) 292; }
led1_lamp() { pixel 268 96; }
expect_colour() {
    local seen
    for _ in $(seq 30); do
        seen=$("$@" 2>/dev/null || true)
        [ "$seen" = "$expected" ] && return 0
        sleep 0.1
    done
    fail "$* shows $seen, expected $expected"
}
requests() { cut -d' ' -f2- "$work/requests.log" 2>/dev/null | grep -v '^sent ' | tr '\n' '|'; }
expect_requests() {
    for _ in $(seq 30); do [ "$(requests)" = "$1" ] && return 0; sleep 0.1; done
    fail "the board received '$(requests)', expected '$1'"
}

expected="0,0,0" expect_colour sensor_lamp 1
expected="0,128,0" expect_colour led1_lamp

xdotool key alt+r
expect_requests 'information "&i"|'
for lamp in 1 2 3 4 5 6; do expected="255,0,0" expect_colour sensor_lamp "$lamp"; done
for lamp in 7 8 9; do expected="0,0,0" expect_colour sensor_lamp "$lamp"; done

xdotool key alt+m
expect_requests 'information "&i"|measurement "&l=1"|'

xdotool key alt+l
expect_requests 'information "&i"|measurement "&l=1"|led "&a"|'
expected="0,255,0" expect_colour led1_lamp

xdotool key alt+d
expect_requests 'information "&i"|measurement "&l=1"|led "&a"|led "&a"|'
expected="0,128,0" expect_colour led1_lamp

kill -0 "$app_pid" || fail "the program did not survive"
xdotool key alt+c
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the close button did not end the program"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=
echo "PASS: keyboard accelerators drive the board; lamps follow"
