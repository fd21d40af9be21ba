# Shared by the side-by-side benchmark scripts. Source it after setting $root (the repository)
# and $build (the build folder); then:
#   bench_build TARGET...   builds the targets, Release with the benchmarks, into $build
#   bench_tmux NAME         a tmux server of the script's own (tmux_ runs its commands) and a
#                           scratch folder $work, both removed whatever happens
#   bench_end_run PROGRAM SECONDS
#                           waits until the pane "run" has written $work/done (its program
#                           has ended; the script's fail when not within SECONDS), then for
#                           what tmux still has to pass on, and closes the pane
# and the environment is the one the programs are measured in: no tmux around them, no
# in-memory console, UTF-8.
# shellcheck shell=bash

bench_build() {
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCONLIB_BUILD_BENCH=ON \
        -DCONLIB_BUILD_TESTS=OFF -DCONLIB_BUILD_EXAMPLES=OFF -DCONLIB_INSTALL=OFF >/dev/null
    cmake --build "$build" -j2 --target "$@" >/dev/null
}

bench_tmux() {
    work=$(mktemp -d)
    socket="conlib-$1-$$"
    tmux_() { tmux -u -f /dev/null -L "$socket" "$@"; }
    bench_cleanup() {
        tmux_ kill-server 2>/dev/null || true
        rm -rf -- "$work"
    }
    trap bench_cleanup EXIT
}

bench_end_run() {
    local end=$((SECONDS + $2))
    until [[ -e $work/done ]]; do
        ((SECONDS < end)) || fail "$1 did not end"
        sleep 0.05
    done
    sleep 0.2
    tmux_ kill-session -t run
}

unset TMUX CONLIB_CONSOLE
export LANG=C.UTF-8 LC_ALL=C.UTF-8
