#!/usr/bin/env bash
# conlib-demo.exe under Wine with its standard handles redirected, as a Windows command shell
# redirects them: `conlib-demo.exe <nul >out.txt` must write its text to out.txt (the cursor
# moves and clears leave no trace there), write OutputFile.txt and end with exit code 0, both
# pauses returning at the end of the input. Then the same with two keys from a pipe.
#
#   demo-redirected-wine.sh PATH-TO-CONLIB-DEMO.EXE
#
# Uses $WINEPREFIX as it is. Needs no terminal and no standard input of its own.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-CONLIB-DEMO.EXE" >&2; exit 2; }
command -v wine >/dev/null || fail "wine is not installed"
demo=$(realpath -- "$1")
[[ -f $demo ]] || fail "no such program: $demo"

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY CONLIB_CONSOLE
export WINEDEBUG=${WINEDEBUG:--all}

# What the demo writes for InputFile.txt = "abc": the titles, the inverted bytes, and the
# cross drawing pass as text: the prompt, 30 times a '|' and a '-', the prompt again.
prompt="Press any key to continue..."
expected=$'Tav Quillon - Week 4\r\nKTRV 360 - Dorin Velterhaminos\r\n\x9e\x9d\x9c'"$prompt"
for ((step = 0; step < 30; step++)); do expected+="|-"; done
expected+=$prompt

check_run() {
    local what=$1 status=$2
    [[ $status == 0 ]] || fail "$what: exit code $status, expected 0"
    [[ -f $work/out.txt ]] || fail "$what: out.txt was not written"
    local text
    text=$(LC_ALL=C cat "$work/out.txt"; echo .)
    text=${text%.}
    if [[ $text != "$expected" ]]; then
        echo "--- out.txt ---" >&2
        od -c "$work/out.txt" | head -n 20 >&2
        fail "$what: out.txt does not hold the demo's text"
    fi
    [[ $(od -An -tx1 "$work/OutputFile.txt" | tr -s ' \n' ' ') == " 9e 9d 9c " ]] ||
        fail "$what: OutputFile.txt does not hold the inverted input"
    echo "PASS: $what"
}

printf 'abc' >"$work/InputFile.txt"
cp -- "$demo" "$work/conlib-demo.exe"
cd -- "$work"

status=0
wine cmd /c 'conlib-demo.exe <nul >out.txt' </dev/null >/dev/null 2>&1 || status=$?
check_run "conlib-demo.exe <nul >out.txt" "$status"

rm -f -- out.txt OutputFile.txt
status=0
printf 'xy' | wine conlib-demo.exe >out.txt 2>/dev/null || status=$?
check_run "two keys from a pipe, output to a file" "$status"
