#!/usr/bin/env bash
# End-to-end test of the keyboard on a real terminal (a detached tmux pane):
# - keys typed while the program is busy are not echoed, and the first of them reaches the
#   next poll;
# - Escape alone arrives at once as the Escape key, and modified keys as their key codes;
# - a reply of the terminal and an over-long control sequence give no key;
# - the terminal's settings are the same after the program as before it, whether it ends
#   normally, by Ctrl+C (which ends it, as on Windows) or by SIGTERM;
# - the screen follows a resized terminal, and is drawn again after a stop and a continue.
#
#   keyboard-tmux.sh PATH-TO-KEY-PROBE
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-KEY-PROBE" >&2; exit 2; }
socket_prefix=conlib-keys
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
probe=$(realpath -- "$1")
start() { start_probe "$probe"; }

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

# A terminal's reply to a colour query, and a control sequence far too long for any key, typed
# into the terminal: no key comes of them, and the key after them is the next one polled.
# shellcheck disable=SC2046
tmux_ send-keys -t probe -H 1b 5d 31 31 3b 72 67 62 3a 30 30 30 30 2f 30 30 30 30 2f 30 30 30 30 \
    1b 5c 1b 5b $(printf '31 %.0s' {1..500}) 7e
tmux_ send-keys -t probe z
wait_for "the key after the reply" '^key 7A 2C 5A 00000000$'
keys=$(capture | grep -c '^key ')
[[ $keys == 5 ]] || fail "the reply and the long sequence gave keys: $(capture)"
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

# A resized terminal: the screen keeps what it showed, and the program goes on at the new size.
# Stopped and continued from outside: what was written over the terminal in the meantime is
# drawn over again.
start
wait_for "the ready line" '^ready$'
tmux_ resize-window -t probe -x 60 -y 20
tmux_ send-keys -t probe x
wait_for "a key after the resize" '^key 78 2D 58 00000000$'
expected=$'busy\nready\nkey 78 2D 58 00000000'
[[ $(capture | sed -e '/^$/d') == "$expected" ]] || fail "the screen after the resize: $(capture)"
probe_pid=$(pgrep -P "$(tmux_ display-message -p -t probe '#{pane_pid}')") ||
    fail "no probe process to stop"
kill -STOP "$probe_pid"
printf '\033[2J\033[Hwritten over while stopped' >"$(tmux_ display-message -p -t probe '#{pane_tty}')"
kill -CONT "$probe_pid"
tmux_ send-keys -t probe y
wait_for "a key after the stop" '^key 79 15 59 00000000$'
expected+=$'\nkey 79 15 59 00000000'
[[ $(capture | sed -e '/^$/d') == "$expected" ]] ||
    fail "the screen was not drawn again after the stop: $(capture)"
tmux_ send-keys -t probe q
status=$(wait_for_end)
[[ $status == 0 ]] || fail "after the resize and the stop the probe ended with status $status"

echo "PASS: keyboard in tmux: no echo while busy, key codes, Escape, replies, Ctrl+C, SIGTERM, resize," \
    "stop and continue, terminal restored"
