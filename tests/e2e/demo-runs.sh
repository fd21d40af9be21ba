#!/usr/bin/env bash
# Runs the end-to-end test of conlib-demo in tmux (demo-tmux.sh) COUNT times in a row, one key
# typed per pause each time, and counts the runs that pass. A key that a pause misses stops
# that run, so the count shows how often keys are lost.
#
#   demo-runs.sh COUNT [RUNNER...] PATH-TO-CONLIB-DEMO
#
# Prints each failed run's messages, then "N passed, M failed"; exits 1 unless all passed.
set -uo pipefail

usage() {
    echo "usage: $0 COUNT [RUNNER...] PATH-TO-CONLIB-DEMO" >&2
    exit 2
}
(($# >= 2)) || usage
[[ $1 =~ ^[1-9][0-9]*$ ]] || usage
count=$1
shift

here=$(dirname -- "${BASH_SOURCE[0]}")
passed=0
failed=0
log=$(mktemp)
trap 'rm -f -- "$log"' EXIT
for ((run = 1; run <= count; run++)); do
    if bash "$here/demo-tmux.sh" "$@" >"$log" 2>&1; then
        ((++passed))
    else
        ((++failed))
        echo "---- run $run of $count failed:"
        cat -- "$log"
    fi
done
echo "demo-runs: $passed passed, $failed failed"
((failed == 0))
