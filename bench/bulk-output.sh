#!/usr/bin/env bash
# Bulk output on a terminal: 20,000 rows of 60 characters written one after the other with
# conlib (bulk_rows.cpp: ConWriteText and ConNewLine) and with printf (printf_rows.c), each
# run in an 80x24 tmux pane in the same run of this script, the two taking turns RUNS times
# (default 7). Prints for each the median wall time from its start to its end and the bytes it
# sent to the terminal (tmux's pipe-pane records them), and the ratio conlib/printf of both.
#
#   bench/bulk-output.sh [BUILD-FOLDER [RUNS]]      (default: build/bulk-output, 7)
#
# Builds what it runs (Release, with CONLIB_BUILD_BENCH); needs tmux and Google Benchmark
# (tools/install-deps bench).
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/bulk-output}
runs=${2:-7}

# shellcheck source=bench/bench-lib.sh
source "$root/bench/bench-lib.sh"
bench_build conlib_bulk_rows printf_bulk_rows
bench_tmux bulk

fail() {
    echo "bulk-output: $*" >&2
    exit 1
}

# run PROGRAM: runs PROGRAM in an 80x24 pane from the moment its output is recorded; once it
# has ended prints its wall time in milliseconds and the bytes it sent.
run() {
    local program=$1
    rm -f "$work/go" "$work/done" "$work/time"
    : >"$work/bytes"
    # shellcheck disable=SC2016 # expanded by the pane's bash
    tmux_ new-session -d -s run -x 80 -y 24 -c "$work" -- bash -c \
        'until [[ -e go ]]; do sleep 0.02; done
         start=$EPOCHREALTIME; "$1"; end=$EPOCHREALTIME
         echo "$start $end" >time; touch done; exec sleep 600' run "$program"
    tmux_ pipe-pane -o -t run "cat >>'$work/bytes'"
    touch "$work/go"
    bench_end_run "$program" 120
    local milliseconds
    milliseconds=$(awk '{ printf "%.1f", ($2 - $1) * 1000 }' "$work/time")
    echo "$milliseconds $(wc -c <"$work/bytes")"
}

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The server stays up between the panes.
tmux_ new-session -d -s keep -- sleep 600
conlib_times=() printf_times=()
for ((i = 0; i < ${runs:-7}; i++)); do
    read -r ms conlib_bytes < <(run "$build/bench/conlib_bulk_rows")
    conlib_times+=("$ms")
    read -r ms printf_bytes < <(run "$build/bench/printf_bulk_rows")
    printf_times+=("$ms")
done
conlib_ms=$(median "${conlib_times[@]}")
printf_ms=$(median "${printf_times[@]}")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3g", a / b }'; }
printf '%-44s %10s %10s %8s\n' "20,000 rows of 60 characters, 80x24" conlib printf ratio
printf '%-44s %10s %10s %8s\n' "wall time, ms (median of ${runs:-7})" "$conlib_ms" "$printf_ms" \
    "$(ratio "$conlib_ms" "$printf_ms")"
printf '%-44s %10d %10d %8s\n' "bytes sent to the terminal" "$conlib_bytes" "$printf_bytes" \
    "$(ratio "$conlib_bytes" "$printf_bytes")"
