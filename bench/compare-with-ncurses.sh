#!/usr/bin/env bash
# Counts the bytes that conlib programs and ncurses programs showing the same screens send to a
# terminal, in one run, side by side: conlib-demo and ncurses/demo_screens.c in an 80x40 tmux
# pane (InputFile.txt = "abc", a key at each of the two pauses), and the redraw loop
# (redraw_loop.cpp and ncurses/redraw_loop.c) in an 80x24 pane. tmux's pipe-pane records
# everything each program writes.
#
#   bench/compare-with-ncurses.sh [BUILD-FOLDER]      (default: build/compare)
#
# Builds what it runs (Release, with CONLIB_BUILD_BENCH); needs tmux, Google Benchmark and
# libncurses-dev (tools/install-deps bench).
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/compare}

# shellcheck source=bench/bench-lib.sh
source "$root/bench/bench-lib.sh"
bench_build conlib-demo conlib_redraw_loop ncurses_demo_screens ncurses_redraw_loop
bench_tmux compare

fail() {
    echo "compare-with-ncurses: $*" >&2
    exit 1
}

# Waits until the pane shows a line matching PATTERN.
wait_for() {
    local pattern=$1 end=$((SECONDS + 20))
    until tmux_ capture-pane -p -t run | grep -qE -- "$pattern"; do
        ((SECONDS < end)) || fail "\"$pattern\" did not appear"
        sleep 0.05
    done
}

# count COLUMNS ROWS PROGRAM [PATTERN KEY]...: runs PROGRAM in a pane of that size from the
# moment its output is recorded; at each PATTERN on the screen types KEY; prints the bytes it
# sent once it has ended.
count() {
    local columns=$1 rows=$2 program=$3
    shift 3
    rm -f "$work/go" "$work/done" "$work/bytes"
    : >"$work/bytes"
    # shellcheck disable=SC2016 # expanded by the pane's bash
    tmux_ new-session -d -s run -x "$columns" -y "$rows" -c "$work" -- bash -c \
        'until [[ -e go ]]; do sleep 0.02; done; "$1"; touch done; exec sleep 600' run "$program"
    tmux_ pipe-pane -o -t run "cat >>'$work/bytes'"
    touch "$work/go"
    while (($# >= 2)); do
        wait_for "$1"
        tmux_ send-keys -t run "$2"
        shift 2
    done
    bench_end_run "$program" 30
    wc -c <"$work/bytes"
}

printf 'abc' >"$work/InputFile.txt"
prompt='Press any key to continue'
demo_keys=("$prompt" x "^ -$prompt" y)
demo=$(count 80 40 "$build/app/conlib-demo" "${demo_keys[@]}")
demo_ncurses=$(count 80 40 "$build/bench/ncurses_demo_screens" "${demo_keys[@]}")
loop=$(count 80 24 "$build/bench/conlib_redraw_loop")
loop_ncurses=$(count 80 24 "$build/bench/ncurses_redraw_loop")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-40s %10s %10s %8s\n' "bytes sent to the terminal" conlib ncurses ratio
printf '%-40s %10d %10d %8s\n' "demo (80x40, \"abc\", two keys)" "$demo" "$demo_ncurses" \
    "$(ratio "$demo" "$demo_ncurses")"
printf '%-40s %10d %10d %8s\n' "redraw loop (80x24, 50 rounds)" "$loop" "$loop_ncurses" \
    "$(ratio "$loop" "$loop_ncurses")"
