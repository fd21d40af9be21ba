#!/usr/bin/env bash
# How soon a typed key is shown: conlib's key echo (key_echo.cpp: KeyWaitChar, ConWriteChar)
# and line echo (line_echo.cpp: ConReadLine, whose line editor shows each character), next to
# the same with ncurses (ncurses/key_echo.c: getch, addch, refresh; ncurses/line_echo.c:
# getnstr with echo), in one run, each on an 80x24 pseudo-terminal of its own. pty_driver.py
# types 200 letters, each 2 to 10 ms after the echo of the one before (so that keys come at
# random times relative to any timer of the program), and times each from its write to the
# terminal until its letter arrives among the program's output. Prints the median and the 90th
# percentile in microseconds, and the ratio conlib/ncurses of both.
#
#   bench/key-latency.sh [BUILD-FOLDER]      (default: build/key-latency)
#
# Builds what it runs (Release, with CONLIB_BUILD_BENCH); needs Python 3, Google Benchmark and
# libncurses-dev (tools/install-deps bench).
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/key-latency}
keys=200

# shellcheck source=bench/bench-lib.sh
source "$root/bench/bench-lib.sh"
bench_build conlib_key_echo conlib_line_echo ncurses_key_echo ncurses_line_echo
export TERM=xterm-256color

# measure PROGRAM END-KEY: prints the median and the 90th percentile, in microseconds.
measure() { python3 "$root/bench/pty_driver.py" latency "$keys" "$2" "$build/bench/$1"; }

key=$(measure conlib_key_echo q)
key_ncurses=$(measure ncurses_key_echo q)
line=$(measure conlib_line_echo enter)
line_ncurses=$(measure ncurses_line_echo enter)
read -r key_median key_p90 <<<"$key"
read -r key_median_ncurses key_p90_ncurses <<<"$key_ncurses"
read -r line_median line_p90 <<<"$line"
read -r line_median_ncurses line_p90_ncurses <<<"$line_ncurses"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-34s %12s %12s\n' "key to echo, $keys keys, 80x24" "median, us" "p90, us"
printf '%-34s %12d %12d\n' "conlib key echo (KeyWaitChar)" "$key_median" "$key_p90"
printf '%-34s %12d %12d\n' "ncurses key echo (getch)" "$key_median_ncurses" "$key_p90_ncurses"
printf '%-34s %12s %12s\n' "ratio conlib/ncurses" "$(ratio "$key_median" "$key_median_ncurses")" \
    "$(ratio "$key_p90" "$key_p90_ncurses")"
printf '%-34s %12d %12d\n' "conlib line echo (ConReadLine)" "$line_median" "$line_p90"
printf '%-34s %12d %12d\n' "ncurses line echo (getnstr)" "$line_median_ncurses" \
    "$line_p90_ncurses"
printf '%-34s %12s %12s\n' "ratio conlib/ncurses" \
    "$(ratio "$line_median" "$line_median_ncurses")" "$(ratio "$line_p90" "$line_p90_ncurses")"
