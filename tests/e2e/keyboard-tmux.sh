#!/usr/bin/env bash
# End-to-end test of the keyboard on a real terminal (a detached tmux pane):
# - keys typed while the program is busy are not echoed, and the first of them reaches the
#   next poll;
# - Escape alone arrives at once as the Escape key, and modified keys as their key codes;
# - the terminal's settings are the same after the program as before it, whether it ends
#   normally, by Ctrl+C (which ends it, as on Windows) or by SIGTERM.
#
#   keyboard-tmux.sh PATH-TO-KEY-PROBE
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-KEY-PROBE" >&2; exit 2; }
socket_prefix=conlib-keys
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
probe=$(realpath -- "$1")
deadline_seconds=20

# Runs the probe in a new pane; the pane records the terminal's settings before and after it,
# and its exit status, then stays open. Ctrl+C reaches the pane's shell too: its trap (reset
# to the default in the probe) keeps it from ending with the probe.
# shellcheck disable=SC2016 # expanded by the pane's bash
wrapper='trap : INT; stty -g >"$2/before"; "$1"; status=$?; stty -g >"$2/after"; echo "$status" >"$2/status.part"; mv "$2/status.part" "$2/status"; exec sleep 600'
start() {
    rm -f "$work/before" "$work/after" "$work/status"
    tmux_ kill-session -t probe 2>/dev/null || true
    tmux_ new-session -d -s probe -x 80 -y 24 -- bash -c "$wrapper" wrapper "$probe" "$work"
}

capture() { tmux_ capture-pane -p -t probe 2>/dev/null || true; }

wait_for() {
    local what=$1 pattern=$2 end=$((SECONDS + deadline_seconds))
    until grep -qE -- "$pattern" <<<"$(capture)"; do
        ((SECONDS < end)) || { capture >&2; fail "$what did not appear"; }
        sleep 0.05
    done
}

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

# Keys typed while busy: not echoed, and the first one is the first key polled (the poll
# discards the rest of what was typed ahead, as the Windows console's flush does).
start
wait_for "the busy line" '^busy$'
tmux_ send-keys -t probe -l 'ab'
wait_for "the ready line" '^ready$'
screen=$(capture)
grep -q 'ab' <<<"$(head -n 2 <<<"$screen")" && fail "typed-ahead keys were echoed: $screen"
wait_for "the typed-ahead key" '^key 61 1E 41 00000000$'

# Escape alone arrives at once; Ctrl+Left comes as the left arrow with Ctrl's scan code.
tmux_ send-keys -t probe Escape
wait_for "Escape" '^key 1B 01 1B 00000000$'
tmux_ send-keys -t probe C-Left
wait_for "Ctrl+Left" '^key 00 73 25 00000108$'
tmux_ send-keys -t probe F5
wait_for "F5" '^key 00 3F 74 00000000$'
tmux_ send-keys -t probe q
status=$(wait_for_end)
[[ $status == 0 ]] || fail "the probe ended with status $status after q, expected 0"

# Ctrl+C ends the program with the interrupt signal, and the terminal is as it was. For the
# span of each poll the console's input mode is 0, in which Ctrl+C is a key, as on Windows; a
# Ctrl+C that lands in that span shows as "key 03" and is typed again (on a busy machine).
start
wait_for "the ready line" '^ready$'
for _ in 1 2 3 4 5; do
    tmux_ send-keys -t probe C-c
    end=$((SECONDS + 2))
    while [[ ! -e $work/status ]] && ((SECONDS < end)); do sleep 0.05; done
    [[ -e $work/status ]] && break
    grep -q '^key 03 ' <<<"$(capture)" || break
done
status=$(wait_for_end)
[[ $status == 130 ]] || fail "after Ctrl+C the probe ended with status $status, expected 130"

# So does a termination signal from outside.
start
wait_for "the ready line" '^ready$'
# The probe is the only child of the pane's shell.
pkill -TERM -P "$(tmux_ display-message -p -t probe '#{pane_pid}')" ||
    fail "no probe process to signal"
status=$(wait_for_end)
[[ $status == 143 ]] || fail "after SIGTERM the probe ended with status $status, expected 143"

echo "PASS: keyboard in tmux: no echo while busy, key codes, Escape, Ctrl+C, SIGTERM, terminal restored"
