#!/usr/bin/env bash
# End-to-end test of conlib-demo on a real terminal: tmux gives it a pane (80x40 unless
# --size says otherwise, once for each --size given), and the test reads the pane back with
# capture-pane.
#
#   demo-tmux.sh [--size COLUMNSxROWS]... [RUNNER...] PATH-TO-CONLIB-DEMO
#
# The cross needs 31 rows. In a shorter pane the window follows the cursor down the buffer and
# back, as on Windows: it ends over buffer rows 1 and on (row 15, where the prompt stands, is
# still in it), or, in a pane of fewer than 15 rows, with the prompt's row at its bottom.
#
# RUNNER is a command that runs the program, such as `wine` for the Windows build; the screens,
# the keys and the output file are the same whatever runs it.
#
# At each size the demo runs in an empty folder on InputFile.txt = "abc". The test checks the
# first screen
# (the two title lines, the inverted bytes shown as code page 437 glyphs, the pause prompt),
# types one key, checks the cross, types one more key, then checks the exit code and the bytes
# of OutputFile.txt. Each key is typed once: a key the demo misses fails the test. It needs no terminal of its own: the tmux server runs detached. A missing
# tool is a failure, never a skip.
set -euo pipefail

sizes=()
while [[ ${1-} == --size ]]; do
    [[ ${2-} =~ ^[0-9]+x[0-9]+$ ]] || { echo "$0: --size takes COLUMNSxROWS" >&2; exit 2; }
    sizes+=("$2")
    shift 2
done
((${#sizes[@]})) || sizes=(80x40)
[[ $# -ge 1 ]] || {
    echo "usage: $0 [--size COLUMNSxROWS]... [RUNNER...] PATH-TO-CONLIB-DEMO" >&2
    exit 2
}
socket_prefix=conlib-e2e
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
runner=("${@:1:$#-1}")
demo=$(realpath -- "${!#}")
[[ -f $demo ]] || fail "no such program: $demo"
((${#runner[@]})) || [[ -x $demo ]] || fail "not an executable: $demo"
((${#runner[@]} == 0)) || command -v "${runner[0]}" >/dev/null || fail "${runner[0]} is not installed"

# For each step; generous for sanitizer builds on a busy machine, and for Wine's start.
deadline_seconds=${CONLIB_E2E_DEADLINE:-30}

# Wine, where it runs the demo, quiet: its messages would land on the screen.
export WINEDEBUG=${WINEDEBUG:--all}

# The pane runs the demo, records its exit code, then stays open (without adding anything to
# the screen) so that the screen can still be read after the demo has ended.
# shellcheck disable=SC2016 # expanded by the pane's bash, not here
wrapper='status=$1; shift; "$@"; echo "$?" >"$status.part" && mv "$status.part" "$status"
exec sleep 600'

capture() { tmux_ capture-pane -p -t "$session" 2>/dev/null || true; }

# The screen must hold exactly the rows of the named array, every row below them blank.
screen_matches() {
    local -n want=$2
    local -a lines
    mapfile -t lines <<<"$1"
    local i
    for ((i = 0; i < rows; i++)); do
        [[ ${lines[i]-} == "${want[i]-}" ]] || return 1
    done
}

show_screen() {
    local -n want=$2
    echo "--- screen (${columns}x${rows}) ---" >&2
    printf '%s\n' "$1" | cat -A >&2
    echo "--- expected ---" >&2
    printf '%s\n' "${want[@]}" | cat -A >&2
}

# Polls the pane until it shows the screen of the named array. Once the demo has ended the
# screen no longer changes, so a capture taken after that is final.
wait_for_screen() {
    local what=$1 expected_name=$2 screen ended end=$((SECONDS + deadline_seconds))
    while :; do
        ended=0
        [[ -e $work/exit-status ]] && ended=1
        screen=$(capture)
        screen_matches "$screen" "$expected_name" && return 0
        if ((ended)); then
            show_screen "$screen" "$expected_name"
            fail "the demo ended without showing $what"
        fi
        if ((SECONDS >= end)); then
            show_screen "$screen" "$expected_name"
            fail "$what did not appear within ${deadline_seconds} s"
        fi
        sleep 0.05
    done
}

# Types a key, once: a pause takes a key that arrives at any time after its prompt, so the
# screen that follows must come without a second try.
type_key() {
    tmux_ send-keys -t "$session" "$1"
}

prompt="Press any key to continue..."

# The first screen: the titles, then the bytes of "abc" inverted, 0x9E 0x9D 0x9C, shown as
# their code page 437 glyphs "₧¥£" (written here as UTF-8 bytes, whatever this shell's
# locale), and the pause prompt after them.
# shellcheck disable=SC2034 # read through a name reference
first_screen=(
    "Tav Quillon - Week 4"
    "KTRV 360 - Dorin Velterhaminos"
    $'\xe2\x82\xa7\xc2\xa5\xc2\xa3'"$prompt"
)

# The second screen, after a key: a cross of a vertical bar '|' in column 15 and a horizontal
# bar '-' in row 15, each from position 1 to 30, the horizontal one on top where they meet;
# the pause prompt follows the last '-' drawn (row 15, column 1), over the rest of that bar.
# Screen row k shows buffer row top + k.
set_second_screen() {
    local top=$1 row
    second_screen=()
    for ((row = top; row < top + rows; row++)); do
        if ((row == 15)); then
            second_screen+=(" -${prompt}-")
        elif ((row >= 1 && row <= 30)); then
            second_screen+=("$(printf '%15s|' '')")
        else
            second_screen+=("")
        fi
    done
}

run_at_size() {
    columns=${1%x*}
    rows=${1#*x}
    rm -rf -- "${work:?}"/*
    printf 'abc' >"$work/InputFile.txt"
    # A session of its own for each size: ending the last session would end the server, and a
    # new session could reach it while it goes.
    session=demo-$columns-$rows
    tmux_ new-session -d -s "$session" -x "$columns" -y "$rows" -c "$work" -- \
        bash -c "$wrapper" wrapper "$work/exit-status" "${runner[@]}" "$demo"

    local top=0
    if ((rows < 31)); then
        top=$((rows >= 15 ? 1 : 16 - rows))
    fi
    set_second_screen "$top"
    wait_for_screen "the titles, the inverted input and the prompt" first_screen
    type_key x
    wait_for_screen "the cross and the prompt" second_screen
    type_key Enter

    # The demo ends after the second key: check its exit code and its output file.
    end=$((SECONDS + deadline_seconds))
    while [[ ! -e $work/exit-status ]]; do
        if ((SECONDS >= end)); then
            show_screen "$(capture)" second_screen
            fail "the demo did not end within ${deadline_seconds} s of the last key"
        fi
        sleep 0.05
    done
    status=$(<"$work/exit-status")
    [[ $status == 0 ]] || fail "the demo exited with status $status, expected 0"

    [[ -f $work/OutputFile.txt ]] || fail "OutputFile.txt was not written"
    output=$(od -An -v -tx1 "$work/OutputFile.txt" | tr -s ' \n' ' ')
    [[ $output == " 9e 9d 9c " ]] || fail "OutputFile.txt holds [$output], expected [ 9e 9d 9c ]"
    [[ $(<"$work/InputFile.txt") == abc ]] || fail "InputFile.txt was changed"
}

for size in "${sizes[@]}"; do
    run_at_size "$size"
done
echo "PASS: ${runner[*]}${runner[*]:+ }$(basename -- "$demo") in tmux ${sizes[*]}: both screens," \
    "OutputFile.txt, exit code"
