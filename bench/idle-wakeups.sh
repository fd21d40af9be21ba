#!/usr/bin/env bash
# How often a program that waits for a key wakes up while no key comes: conlib's ConPause
# (pause_wait.cpp) and ncurses' getch (ncurses/key_echo.c), in one run, each on an 80x24
# pseudo-terminal of its own. pty_driver.py lets each settle for a second, then sums the
# voluntary and involuntary context switches of all the process's threads
# (/proc/PID/task/*/status) at the start and the end of SECONDS with no input (default 10), and
# types a key to end it. Prints the wake-ups per second of each.
#
#   bench/idle-wakeups.sh [BUILD-FOLDER [SECONDS]]      (default: build/idle-wakeups, 10)
#
# Builds what it runs (Release, with CONLIB_BUILD_BENCH); needs Python 3, Google Benchmark and
# libncurses-dev (tools/install-deps bench).
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/idle-wakeups}
seconds=${2:-10}

# shellcheck source=bench/bench-lib.sh
source "$root/bench/bench-lib.sh"
bench_build conlib_pause_wait ncurses_key_echo
export TERM=xterm-256color

# measure PROGRAM: prints its wake-ups per second while it waits.
measure() { python3 "$root/bench/pty_driver.py" wakeups "$seconds" q "$build/bench/$1"; }

pause=$(measure conlib_pause_wait)
getch=$(measure ncurses_key_echo)

printf '%-40s %14s\n' "waiting ${seconds} s with no input, 80x24" "wake-ups/s"
printf '%-40s %14s\n' "conlib ConPause" "$pause"
printf '%-40s %14s\n' "ncurses getch" "$getch"
