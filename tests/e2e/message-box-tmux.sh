#!/usr/bin/env bash
# End-to-end test of the message boxes on a real terminal (a detached tmux pane of 80x24, and
# one of 80x12 whose window the text has moved down):
# the question is drawn over the text with a blank title, answered with Y, with Tab and Enter,
# or ended by Ctrl+C; the text under it comes back exactly, in its colours; the notice follows
# and Escape dismisses it; the terminal's settings are the same after the program as before.
#
#   message-box-tmux.sh PATH-TO-BOX-PROBE
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-BOX-PROBE" >&2; exit 2; }
socket_prefix=conlib-box
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
probe=$(realpath -- "$1")
start() { start_probe "$probe" one "t w o"; }

# With colours: the escape sequences of each cell's attributes.
capture_colours() { tmux_ capture-pane -p -e -t probe 2>/dev/null || true; }

ask_and_answer() {
    local what=$1 expected=$2
    shift 2
    start
    wait_for "the question" 'Go on\?'
    local screen
    screen=$(capture)
    # The text, with the tail of the command line, stands around the box; the box has a blank
    # title between the strokes of its top border, a question mark and both buttons.
    grep -q '^row 0 of the text under the boxes' <<<"$screen" || fail "no text under the box: $screen"
    grep -q '^tail \[one "t w o"\]' <<<"$screen" || fail "wrong command-line tail: $screen"
    grep -qE '╔═+   ═+╗' <<<"$screen" || fail "the question's title is not one blank: $screen"
    grep -qE '║ +\? +Go on\? +║' <<<"$screen" || fail "no question mark and text: $screen"
    grep -qE '\[ Yes \] +No ' <<<"$screen" || fail "no buttons with Yes focused: $screen"
    tmux_ send-keys -t probe "$@"
    wait_for "the answer to $what" "^answer $expected\$"
    wait_for "the notice" 'All done\.'
    grep -qE '╔═+ Probe ═+╗' <<<"$(capture)" || fail "the notice's title is not Probe: $(capture)"
    tmux_ send-keys -t probe Escape
    wait_for "the end line" '^end$'
    local status
    status=$(wait_for_end)
    [[ $status == "$expected" ]] || fail "$what: the probe ended with $status, expected $expected"
}

# The text that the box covered comes back, and so do its colours: rows of the same colour
# (even rows yellow on blue, odd ones grey on black) read the same but for their numbers.
ask_and_answer "Y" 6 y
expected=$(
    for row in $(seq 0 19); do
        printf 'row %d of the text under the boxes ..........................\n' "$row"
    done
    printf 'tail [one "t w o"]\n'
)
[[ $(capture | head -n 21) == "$expected" ]] || fail "the text under the box changed: $(capture)"
coloured=$(capture_colours | head -n 20 | sed -E 's/row [0-9]+ /row # /')
[[ $(sed -n '1~2p' <<<"$coloured" | sort -u | wc -l) == 1 &&
    $(sed -n '2~2p' <<<"$coloured" | sort -u | wc -l) == 1 ]] ||
    fail "the colours under the box were not restored: $coloured"
[[ $(sed -n 1p <<<"$coloured") != "$(sed -n 2p <<<"$coloured")" ]] ||
    fail "the rows lost their colours: $coloured"

ask_and_answer "Tab and Enter" 7 Tab Enter

# In a pane of 12 rows the text has taken the window down the buffer: the question stands in
# the middle of what the terminal shows, whole, and the text comes back around it.
probe_rows=12 start
wait_for "the question in a short pane" 'Go on\?'
screen=$(capture)
grep -q '^row 10 of the text' <<<"$screen" || fail "the window did not follow the text: $screen"
grep -qE '╔═+   ═+╗' <<<"$screen" && grep -qE '\[ Yes \] +No ' <<<"$screen" ||
    fail "the question is not whole in the window: $screen"
tmux_ send-keys -t probe n
wait_for "the notice in a short pane" 'All done\.'
tmux_ send-keys -t probe Escape
wait_for "the end line in a short pane" '^end$'
[[ $(wait_for_end) == 7 ]] || fail "the answer in a short pane was not No"
grep -q '^row 19 of the text under the boxes \.\+$' <<<"$(capture)" ||
    fail "the text under the box in a short pane changed: $(capture)"

# Ctrl+C while the question waits ends the program as it does elsewhere, and the terminal is
# as it was.
start
wait_for "the question" 'Go on\?'
tmux_ send-keys -t probe C-c
status=$(wait_for_end)
[[ $status == 130 ]] || fail "after Ctrl+C the probe ended with status $status, expected 130"

echo "PASS: message boxes in tmux: drawn over the text, answered, text and colours restored"
