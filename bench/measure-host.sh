#!/usr/bin/env bash
# Measures the console host on a real terminal (a detached tmux pane), with the end-to-end
# probe of tests/e2e/host_probe.cpp:
# - how long text written before a 3 s computation takes to reach the terminal;
# - that Ctrl+C during the computation ends the program with status 130;
# - the CPU time the program takes while a pause waits, over 10 s;
# - that Ctrl+C during a pause ends it, in TRIES tries (default 100).
#
#   bench/measure-host.sh PATH-TO-HOST-PROBE [TRIES]
#
# The probe is built with the tests (target conlib_host_probe).
set -euo pipefail

[[ $# -ge 1 ]] || { echo "usage: $0 PATH-TO-HOST-PROBE [TRIES]" >&2; exit 2; }
socket_prefix=conlib-measure
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/../tests/e2e/tmux-lib.sh"
probe=$(realpath -- "$1")
tries=${2:-100}
now_ms() { echo $((10#$(date +%s%N) / 1000000 % 86400000)); }
probe_pid() { pgrep -P "$(tmux_ display-message -p -t probe '#{pane_pid}')"; }

# Text before a computation: from the program's write to the screen, polled every 2 ms.
start_probe "$probe" compute
until line=$(capture | grep -E '^computing [0-9]+$'); do sleep 0.002; done
seen=$(now_ms)
written=${line#computing }
echo "text before a 3 s computation on the screen after $((seen - written)) ms"
tmux_ send-keys -t probe C-c
echo "Ctrl+C during the computation: status $(wait_for_end)"

# CPU while a pause waits.
start_probe "$probe" pause
wait_for "the pause" 'Press any key'
pid=$(probe_pid)
# The time on a CPU of all the program's threads, in nanoseconds.
cpu_ns() { cat /proc/"$pid"/task/*/schedstat | awk '{ sum += $1 } END { print sum }'; }
before=$(cpu_ns)
sleep 10
after=$(cpu_ns)
awk -v ns=$((after - before)) \
    'BEGIN { printf "CPU while a pause waits: %.1f ms in 10 s, %.3f%% of a core\n", ns / 1e6, ns / 1e8 }'
tmux_ send-keys -t probe C-c
wait_for_end >/dev/null

# Ctrl+C during a pause, again and again.
ended=0
for ((i = 0; i < tries; i++)); do
    start_probe "$probe" pause
    wait_for "the pause" 'Press any key'
    sleep 0.0$((RANDOM % 10))
    tmux_ send-keys -t probe C-c
    status=$(wait_for_end)
    [[ $status == 130 ]] && ended=$((ended + 1))
done
echo "Ctrl+C during a pause ended the program with status 130 in $ended of $tries tries"
