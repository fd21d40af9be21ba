# Shared by the end-to-end tests: a tmux server of the test's own (its own socket, no user
# configuration, UTF-8), a scratch folder, and their removal whatever happens. Source it with
# the socket's name prefix in $socket_prefix; it sets $work and $socket.
# shellcheck shell=bash

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

command -v tmux >/dev/null || fail "tmux is not installed (apt-get install tmux)"

work=$(mktemp -d)
socket="${socket_prefix:?}-$$-$RANDOM"
tmux_() { tmux -u -f /dev/null -L "$socket" "$@"; }
cleanup() {
    tmux_ kill-server 2>/dev/null || true
    rm -f -- "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
    rm -rf -- "$work"
}
trap cleanup EXIT

# The program must see the terminal, not a headless console, and not a tmux we may run inside.
unset CONLIB_CONSOLE TMUX
export LANG=C.UTF-8 LC_ALL=C.UTF-8
