#!/usr/bin/env bash
# End-to-end test of the console host on a real terminal (a detached tmux pane):
# - what the program writes before a long computation is on the screen while it computes, and
#   Ctrl+C then ends it with the interrupt signal (processed input is on);
# - with processed input off Ctrl+C is a key; keys typed while the program is busy are all
#   kept, however many;
# - a pasted line longer than the host's start capacity is read whole;
# - a write into a pipe that nobody reads does not keep Ctrl+C from ending the program;
# - a child of fork that writes to the console gets a host of its own, and the parent goes on;
# - the terminal's settings are the same after each run as before it.
#
#   host-tmux.sh PATH-TO-HOST-PROBE
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-HOST-PROBE" >&2; exit 2; }
socket_prefix=conlib-host
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
probe=$(realpath -- "$1")
# In a sanitizer build the leak checker runs at the fork child's exit, cannot stop the child's
# host thread and says so on the terminal, over the screen this test reads. Leaks are checked by
# the unit tests; here the screen is what counts.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

# Shown while computing: the probe computes for 3 s after writing "computing".
start_probe "$probe" compute
wait_for "the text written before the computation" '^computing [0-9]+$'
[[ -e $work/status ]] && fail "the probe ended before its text was seen"
grep -q '^computed$' <<<"$(capture)" && fail "the text was seen only after the computation"
tmux_ send-keys -t probe C-c
status=$(wait_for_end)
[[ $status == 130 ]] || fail "after Ctrl+C during the computation the status was $status, expected 130"

# Typed while busy: 3000 letters, all kept; then Ctrl+C as a key, with processed input off.
start_probe "$probe" raw
wait_for "the busy line" '^busy$'
tmux_ send-keys -t probe -l "$(printf 'a%.0s' {1..3000})"
wait_for "the ready line" '^ready$'
tmux_ send-keys -t probe C-c
wait_for "Ctrl+C as a key" '^key 03$'
tmux_ send-keys -t probe q
wait_for "the count of keys" '^keys '
grep -q '^keys 3000$' <<<"$(capture)" || fail "keys typed while busy were lost: $(capture | grep '^keys')"
status=$(wait_for_end)
[[ $status == 0 ]] || fail "the probe ended with status $status after q, expected 0"

# A pasted line of 9000 characters, read with room for 20,000.
start_probe "$probe" line
wait_for "the question" '^line\?$'
tmux_ send-keys -t probe -l "$(printf 'b%.0s' {1..9000})"
tmux_ send-keys -t probe Enter
wait_for "the length read" '^read '
grep -q '^read 9000$' <<<"$(capture)" || fail "the line was cut: $(capture | grep '^read')"
status=$(wait_for_end)
[[ $status == 0 ]] || fail "the probe ended with status $status after the line, expected 0"

# Console text into a pipe that nobody reads blocks the program's writes; Ctrl+C still ends it.
start_probe "$probe" flood
wait_for "the flood" '^flooding$'
sleep 0.3
tmux_ send-keys -t probe C-c
status=$(wait_for_end)
[[ $status == 130 ]] || fail "Ctrl+C into a blocked write gave status $status, expected 130"

# A child of fork writes, ends; the parent goes on with the console.
start_probe "$probe" fork
wait_for "the parent after its child" '^back$'
grep -q '^child$' <<<"$(capture)" || fail "the child's text is not on the screen: $(capture)"
tmux_ send-keys -t probe x
status=$(wait_for_end)
[[ $status == 0 ]] || fail "the probe ended with status $status after its child, expected 0"

echo "PASS: console host in tmux: output before a computation, Ctrl+C by the input mode," \
    "keys kept while busy, a long line, Ctrl+C beside a blocked write, a child of fork," \
    "terminal restored"
