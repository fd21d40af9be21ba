# Shared by the end-to-end tests: a tmux server of the test's own (its own socket, no user
# configuration, UTF-8), a scratch folder, and their removal whatever happens. Source it with
# the socket's name prefix in $socket_prefix; it sets $work and $socket. Also: a probe program
# run in a pane (80x24 unless the test says otherwise) whose terminal settings and exit status
# are recorded (start_probe, capture, wait_for, wait_for_end).
# shellcheck shell=bash

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

command -v tmux >/dev/null || fail "tmux is not installed (apt-get install tmux)"

work=$(mktemp -d)
socket="${socket_prefix:?}-$$-$RANDOM"
tmux_() { tmux -u -f /dev/null -L "$socket" "$@"; }
cleanup() {
    tmux_ kill-server 2>/dev/null || true
    rm -f -- "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
    rm -rf -- "$work"
}
trap cleanup EXIT

# The program must see the terminal, not a headless console, and not a tmux we may run inside.
unset CONLIB_CONSOLE TMUX
export LANG=C.UTF-8 LC_ALL=C.UTF-8

deadline_seconds=20

# Runs PROGRAM [ARGUMENT...] in a new pane "probe", of $probe_columns x $probe_rows when they
# are set. The pane records the terminal's settings before and after it and its exit status in
# $work, then stays open. Ctrl+C reaches the pane's shell too: its trap (reset to the default in
# the program) keeps it from ending with it.
# shellcheck disable=SC2016 # expanded by the pane's bash
probe_wrapper='trap : INT; work=$1; shift; stty -g >"$work/before"; "$@"; status=$?; stty -g >"$work/after"; echo "$status" >"$work/status.part"; mv "$work/status.part" "$work/status"; exec sleep 600'
start_probe() {
    rm -f "$work/before" "$work/after" "$work/status"
    # A session that stays keeps the server up: ending its last session would end it, and the
    # new session could reach it while it goes.
    tmux_ has-session -t keep 2>/dev/null || tmux_ new-session -d -s keep -- sleep 600
    tmux_ kill-session -t probe 2>/dev/null || true
    tmux_ new-session -d -s probe -x "${probe_columns:-80}" -y "${probe_rows:-24}" -- \
        bash -c "$probe_wrapper" wrapper "$work" "$@"
}

capture() { tmux_ capture-pane -p -t probe 2>/dev/null || true; }

# Waits until the pane shows a line that matches PATTERN (extended regular expression).
wait_for() {
    local what=$1 pattern=$2 end=$((SECONDS + deadline_seconds))
    until grep -qE -- "$pattern" <<<"$(capture)"; do
        ((SECONDS < end)) || { capture >&2; fail "$what did not appear"; }
        sleep 0.05
    done
}

# Waits for the program's end, checks that the terminal's settings are as they were before
# it, and prints its exit status.
wait_for_end() {
    local end=$((SECONDS + deadline_seconds))
    until [[ -e $work/status ]]; do
        ((SECONDS < end)) || { capture >&2; fail "the probe did not end"; }
        sleep 0.05
    done
    [[ $(<"$work/before") == "$(<"$work/after")" ]] ||
        fail "the terminal's settings changed: before $(<"$work/before"), after $(<"$work/after")"
    cat "$work/status"
}
