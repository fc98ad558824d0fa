# SPDX-License-Identifier: MIT
# shellcheck shell=bash disable=SC2034
# Sourced by the scripts that run the panel against the simulated board, on a virtual X display
# when there is no real one. The functions leave the ids of what they start in xvfb_pid and
# board_pid, for the caller's clean-up.

# wait_for_output <file>: waits up to 5 s for a started program to write its first line.
wait_for_output() {
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.05
    done
    echo "$1 stayed empty: the program meant to write it did not start" >&2
    return 1
}

# private_runtime_dir <work-dir>: window programs want XDG_RUNTIME_DIR, a folder only their user
# may enter; root's sessions (sudo, a container) often have none, and Qt says so at every start.
# Without one of ours, a private one in <work-dir> is exported.
private_runtime_dir() {
    local dir=${XDG_RUNTIME_DIR:-}
    if [ -n "$dir" ] && [ -d "$dir" ] && [ -O "$dir" ] && [ "$(stat -c %a "$dir")" = 700 ]; then
        return 0
    fi
    XDG_RUNTIME_DIR="$1/runtime"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
}

# start_virtual_display <work-dir>: Xvfb on a free display number, at the size and resolution the
# screenshots and pixel checks assume; exports DISPLAY.
start_virtual_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$1/display" 2>/dev/null &
    xvfb_pid=$!
    wait_for_output "$1/display"
    DISPLAY=":$(cat "$1/display")"
    export DISPLAY
    # The window must appear on this display, whatever platform the caller's environment names.
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
}

# start_simulated_board <calimbra-simboard> <work-dir> [board options...]: the board on a new
# pseudo-terminal; sets board_port to its path. What the board prints goes to <work-dir>/board.
start_simulated_board() {
    local simboard=$1 work=$2
    shift 2
    "$simboard" "$@" >"$work/board" &
    board_pid=$!
    wait_for_output "$work/board"
    board_port=$(head -n 1 "$work/board")
}

# run_in_own_process_group "$0" "$@": restarts the calling script as the leader of a process group
# of its own, so that end_process_group ends everything it started, however it exits.
run_in_own_process_group() {
    if [ "$(ps -o pgid= -p $$ | tr -d ' ')" != "$$" ]; then
        exec setsid "$@"
    fi
}

end_process_group() {
    trap '' TERM
    kill -TERM -- "-$$" 2>/dev/null || true
}
