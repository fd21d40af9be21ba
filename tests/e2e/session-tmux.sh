#!/usr/bin/env bash
# End-to-end test of a console program run from an interactive shell on a real terminal (bash
# with the prompt '$ ' in a detached 80x24 tmux pane, its commands typed as a user types them):
# - the shell's screen stays as it was: the program's text follows the command line, the
#   prompt follows the program's text, and nothing is scrolled away or pushed into the history;
# - no answer of the terminal to the program's questions is left for the shell to read;
# - however the program ends (a return, exit, quick_exit, _exit, exec, std::terminate, an
#   uncaught exception, abort, a fault, SIGKILL, SIGTERM; Ctrl+C, signals from outside, a stop
#   then fg, a stop and a continue then fg, Ctrl+Z as a key), started in the foreground or in the background and then
#   brought to the foreground, the terminal's settings and tmux's mode flags are as they were,
#   the prompt comes at column 0 of the row after the program's text, and the shell works;
# - a timer signal of the program's own draws nothing;
# - the terminal's history keeps at least the buffer's 9001 last rows of a long output;
# - text written by a static object's destructor, after main, reaches the screen.
# Each check reports on its own; the test fails when any of them does.
#
#   session-tmux.sh PATH-TO-SESSION-PROBE
set -euo pipefail
# The commands typed into the pane name the probe as $p, which the pane's bash expands.
# shellcheck disable=SC2016

[[ $# -eq 1 ]] || { echo "usage: $0 PATH-TO-SESSION-PROBE" >&2; exit 2; }
socket_prefix=conlib-session
# shellcheck source=tests/e2e/tmux-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/tmux-lib.sh"
probe=$(realpath -- "$1")
deadline_seconds=10
nl=$'\n'

# The server stays up between the panes, and every pane keeps more history than the buffer has
# rows.
tmux_ new-session -d -s keep -- sleep 3600
tmux_ set -g history-limit 30000

# The modes tmux keeps for a pane that a program can change and leave changed.
flags_format='keypad_cursor #{keypad_cursor_flag} keypad #{keypad_flag} mouse_any #{mouse_any_flag}'
flags_format+=' mouse_all #{mouse_all_flag} mouse_button #{mouse_button_flag}'
flags_format+=' mouse_standard #{mouse_standard_flag} mouse_sgr #{mouse_sgr_flag}'
flags_format+=' alternate #{alternate_on} cursor #{cursor_flag} insert #{insert_flag}'
flags_format+=' wrap #{wrap_flag} origin #{origin_flag}'
flags_format+=' scroll_region #{scroll_region_upper}-#{scroll_region_lower}'
pane_flags() { tmux_ display-message -p -t probe "$flags_format"; }

# A new pane "probe" with an interactive bash in $work: prompt '$ ', the probe's path in $p,
# and each prompt counted in the file "prompts" (PROMPT_COMMAND runs right before it).
start_shell() {
    tmux_ kill-session -t probe 2>/dev/null || true
    rm -f -- "$work/prompts"
    # shellcheck disable=SC2016 # expanded by the pane's bash
    tmux_ new-session -d -s probe -x 80 -y 24 -c "$work" -- env PS1='$ ' \
        PROMPT_COMMAND='echo >>prompts' INPUTRC=/dev/null HISTFILE=/dev/null p="$probe" \
        bash --norc --noprofile -i
    typed_at=0
    wait_prompt "the shell's start"
}

prompts_shown() {
    if [[ -e $work/prompts ]]; then wc -l <"$work/prompts"; else echo 0; fi
}

# Types LINE into the shell, then Enter.
type_line() {
    typed_at=$(prompts_shown)
    tmux_ send-keys -t probe -l -- "$1"
    tmux_ send-keys -t probe Enter
}

# Waits until the shell has shown a prompt since the last line typed (WHAT says after what),
# and the cursor stands on it.
wait_prompt() {
    local what=$1 end=$((SECONDS + ${2:-$deadline_seconds}))
    until (($(prompts_shown) > typed_at)); do
        ((SECONDS < end)) || { capture >&2; fail "$what: the shell's prompt did not come back"; }
        sleep 0.05
    done
    end=$((SECONDS + 2))
    until [[ $(tmux_ display-message -p -t probe '#{cursor_x}') -ge 2 ]] || ((SECONDS >= end)); do
        sleep 0.02
    done
    sleep 0.05
}

# The pane's rows without the blank ones below the last text.
screen() { capture | sed -e ':a' -e '/^\n*$/{$d;N;ba' -e '}'; }
history() { tmux_ capture-pane -p -S - -E - -t probe | sed -e ':a' -e '/^\n*$/{$d;N;ba' -e '}'; }

# The probe's process: the child of the pane's shell that runs it.
probe_pid() {
    local pid
    for pid in $(pgrep -P "$(tmux_ display-message -p -t probe '#{pane_pid}')"); do
        [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$probe" ]] && { echo "$pid"; return 0; }
    done
    return 1
}
process_state() { awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null || echo gone; }

# The rows that follow the program's text "partial" up to the shell's prompt (each ending in a
# line break), as the shell writes them for each way of ending: its report of a signal, a
# blank row after Ctrl+C (in place of the line end after a ^C the terminal would echo).
declare -A shell_adds=(
    [nothing]=''
    [blank]="$nl"
    [aborted]="Aborted( \(core dumped\))?$nl"
    [fault]="Segmentation fault( \(core dumped\))?$nl"
    [killed]="Killed$nl"
    [terminated]="Terminated$nl"
)
# With std::terminate the C++ runtime may also say so, on rows of its own or right after the
# program's text, before the shell's report.
runtime_says="(terminate called [^$nl]*$nl(  what\(\): [^$nl]*$nl)?)"

# The faults found in one run, reported together at its end with the screen.
problem() { problems+=("$*"); }
report() {
    local name=$1 rows=$2
    ((${#problems[@]} == 0)) ||
        fail "$name:$(printf '\n  - %s' "${problems[@]}")${nl}the screen:$nl$rows"
}

# A new shell whose terminal settings and pane modes are recorded before the command.
begin_run() {
    problems=()
    rm -f -- "$work/before" "$work/after" "$work/status"
    start_shell
    type_line 'stty -g >before'
    wait_prompt "$1: stty"
    flags_before=$(pane_flags)
}

# Types COMMAND, which starts the probe in the background and brings it to the foreground after
# a second: the probe must stop as soon as it takes the terminal over, before it shows anything
# (the text TEXT), and go on in the foreground.
start_in_background() {
    local name=$1 command=$2 text=$3 pid state='' end=$((SECONDS + deadline_seconds))
    type_line "$command & sleep 1; fg"
    until [[ $state == T ]]; do
        ((SECONDS < end)) || fail "$name: the program did not stop in the background"
        (($(prompts_shown) > typed_at)) &&
            fail "$name: the program ended in the background instead of stopping: $(screen)"
        if pid=$(probe_pid); then state=$(process_state "$pid"); fi
        sleep 0.02
    done
    grep -qF -- "$text" <<<"$(screen)" && problem "the program showed its text in the background"
    true
}

# Text that must never be on the screen: the terminal's answer to the program's question, a
# control sequence echoed as text, a command the shell made of such bytes; unless RUNTIME is
# given, the C++ runtime's report of a call of terminate.
check_stray_text() {
    local rows=$1 runtime=${2:-} found
    if found=$(grep -E '1;2c|\^\[\[|command not found' <<<"$rows"); then
        problem "the terminal's answer, or a control sequence, reached the shell: $found"
    fi
    if [[ -z $runtime ]] && found=$(grep -F 'terminate called' <<<"$rows"); then
        problem "the C++ runtime reports a call of terminate: $found"
    fi
    true
}

# After the program, at the prompt: the shell runs a command as before, the program's exit
# status was STATUS, and the terminal's settings and the pane's modes are as they were. What a
# stray answer typed into the shell's line was reported already: Ctrl+U drops it.
end_run() {
    local name=$1 status=$2 rows=$3 racy=${4:-0} flags_after
    flags_after=$(pane_flags)
    tmux_ send-keys -t probe C-u
    type_line 'echo $? >status; stty -g >after; echo ok'
    wait_prompt "$name: echo ok"
    local typed="\$ echo \$? >status; stty -g >after; echo ok${nl}ok$nl\$"
    # After SIGKILL the guardian's line break may come after the shell's prompt: the command is
    # then typed on the row below it.
    ((racy)) && [[ $(screen | tail -n 3) == "${typed#\$ }" ]] && typed=${typed#\$ }
    [[ $(screen | tail -n 3) == "$typed" ]] ||
        problem "the shell does not work as before: $(screen | tail -n 3)"
    if [[ ! -e $work/status || ! -e $work/after ]]; then
        problem "the shell did not run the command after the program"
    else
        [[ $(<"$work/status") == "$status" ]] ||
            problem "the program's exit status was $(<"$work/status"), expected $status"
        [[ $(<"$work/before") == "$(<"$work/after")" ]] ||
            problem "the terminal's settings changed: before $(<"$work/before"), after $(<"$work/after")"
    fi
    [[ $flags_before == "$flags_after" ]] ||
        problem "tmux's pane modes changed: before: $flags_before; after: $flags_after"
    probe_pid >/dev/null && problem "the program is still there"
    report "$name" "$rows"
}

# One run of the probe's MODE from the shell, started as START says (foreground, or background
# and then brought to the foreground), ended as HOW says; the program's exit status is STATUS
# and the shell adds ADDS (a key of shell_adds) after its text.
run_ending() {
    local mode=$1 how=$2 status=$3 adds=$4 start=$5 pid
    local name="$mode${how:+ by $how}, started in the $start"
    begin_run "$name"
    if [[ $start == foreground ]]; then
        type_line "\$p $mode"
    else
        start_in_background "$name" "\$p $mode" "ending $mode"
    fi
    if [[ $how != "" ]]; then
        wait_for "$name: the program's text" '^partial'
        pid=$(probe_pid) || fail "$name: no program to end"
    fi
    case $how in
        "") ;;
        Ctrl+C)
            # Ctrl+C that lands while a poll looks at the input is a key, which the probe
            # ignores: it is typed again.
            for _ in 1 2 3 4 5; do
                tmux_ send-keys -t probe C-c
                local end=$((SECONDS + 2))
                while (($(prompts_shown) <= typed_at)) && ((SECONDS < end)); do sleep 0.05; done
                (($(prompts_shown) > typed_at)) && break
            done
            ;;
        Ctrl+Z) tmux_ send-keys -t probe C-z ;;
        SIGTERM) kill -TERM "$pid" ;;
        SIGKILL) kill -KILL "$pid" ;;
        SIGSTOP+fg | SIGSTOP+SIGCONT)
            # The shell takes the terminal back while the program is stopped. The program is
            # brought to the foreground again, by fg alone or after a continue from outside
            # (then it goes on in the background first), and a key ends it.
            kill -STOP "$pid"
            wait_prompt "$name: the stop"
            if [[ $how == SIGSTOP+SIGCONT ]]; then
                kill -CONT "$pid"
                sleep 0.5
            fi
            type_line fg
            sleep 0.5
            local state
            state=$(process_state "$pid")
            [[ $state == S ]] || fail "$name: the program did not go on after fg (state $state): $(screen)"
            tmux_ send-keys -t probe x
            wait_prompt "$name: the key typed after fg"
            ;;
        *) fail "unknown way of ending: $how" ;;
    esac
    wait_prompt "$name"
    local rows cursor
    rows=$(screen)
    cursor=$(tmux_ display-message -p -t probe '#{cursor_x},#{cursor_y}')
    check_stray_text "$rows" "$([[ $mode == terminate || $mode == throw ]] && echo runtime)"

    # From the program's last "ending MODE" row on: its rows, what the shell adds, the prompt.
    # An ending that runs no code of the program right after its text (_exit, exec, SIGKILL)
    # may come before the frame that shows the text is drawn: from the command's row on, the
    # text is then missing, and only the shell's report may stand before the prompt.
    local -a lines
    mapfile -t lines <<<"$rows"
    local i first=-1 abrupt=0
    [[ $mode == _exit || $mode == exec || $mode == kill ]] && abrupt=1
    for i in "${!lines[@]}"; do
        [[ ${lines[i]} == "ending $mode" ]] && first=$i
    done
    local expected="^partial$nl${shell_adds[$adds]}\$"
    if [[ $mode == terminate || $mode == throw ]]; then
        expected="^partial($nl|$nl?$runtime_says)${shell_adds[$adds]}\$"
    elif [[ $adds == killed ]]; then
        # Nothing of the program runs at SIGKILL: the shell's report and the guardian's line
        # break race, so the report may follow the program's text on its row.
        expected="^partial$nl?${shell_adds[$adds]}$nl?\$"
    fi
    # After an ending that runs no code, the last frame may not have been drawn.
    ((abrupt)) && expected="^(partial$nl?)?${shell_adds[$adds]}$nl?\$"
    if ((first < 0 && abrupt)); then
        for i in "${!lines[@]}"; do
            [[ ${lines[i]} == *"\$p $mode" ]] && first=$i
        done
        expected="^(${shell_adds[$adds]})?\$"
    fi
    if ((first < 0)); then
        problem "the program's row \"ending $mode\" is not on the screen, whole, on a row of its own"
    else
        local between="" prompt_row=-1
        for ((i = first + 1; i < ${#lines[@]}; i++)); do
            if [[ ${lines[i]} == '$'* ]]; then prompt_row=$i; break; fi
            between+="${lines[i]}$nl"
        done
        if ((prompt_row < 0)); then
            problem "no prompt after the program's text"
        else
            [[ $between =~ $expected ]] ||
                problem "the rows between the program's text and the prompt are not the shell's report alone"
            [[ ${lines[prompt_row]} == '$' && ($cursor == "2,$prompt_row" ||
                ($adds == killed && $cursor == "0,$((prompt_row + 1))")) ]] ||
                problem "the prompt is not alone at column 0 of its row (cursor at $cursor)"
        fi
    fi
    end_run "$name" "$status" "$rows" "$([[ $adds == killed ]] && echo 1 || echo 0)"
}

# "line" started in the background: its line comes after fg, and the prompt after it.
run_line_in_background() {
    local name="line, started in the background"
    begin_run "$name"
    start_in_background "$name" "\$p line" "session line"
    wait_prompt "$name"
    local rows
    rows=$(screen)
    check_stray_text "$rows"
    [[ $(tail -n 3 <<<"$rows") == "\$p line${nl}session line$nl\$" ]] ||
        problem "fg's echo of the command, the program's line and the prompt do not follow each other"
    end_run "$name" 0 "$rows"
}

# Each check runs in a subshell of its own: a failure ends it alone.
failed=()
check() {
    local name=$1
    shift
    set +e
    (
        set -e
        "$@"
    )
    local status=$?
    set -e
    if ((status == 0)); then echo "ok: $name"; else failed+=("$name"); fi
}

shell_screen_kept() {
    problems=()
    start_shell
    type_line 'echo first-1'
    wait_prompt "echo first-1"
    type_line 'echo before-1; $p line'
    wait_prompt "the line"
    local rows kept
    rows=$(screen)
    [[ $(head -n 2 <<<"$rows") == "\$ echo first-1${nl}first-1" ]] ||
        problem "the shell's screen above the program was scrolled away or drawn over"
    [[ $rows == *"$nl\$ echo before-1; \$p line${nl}before-1${nl}session line$nl\$" ]] ||
        problem "the command, its output, the program's line and the prompt are not on consecutive rows"
    kept=$(tmux_ display-message -p -t probe '#{history_size}')
    [[ $kept == 0 ]] || problem "$kept rows were pushed into the terminal's history"
    report "the shell's screen around a program" "$rows"
}

no_answer_left() {
    problems=()
    start_shell
    type_line 'for i in $(seq 100); do $p line; done; echo done-loop'
    wait_prompt "the loop" 120
    type_line 'echo after-loop'
    wait_prompt "echo after-loop"
    local all found
    all=$(history)
    grep -qx 'done-loop' <<<"$all" || problem "the loop did not finish"
    if found=$(grep -E -m 5 '1;2c|\^\[\[|command not found' <<<"$all"); then
        problem "the terminal's answers reached the shell; the first rows that show them:$nl$found"
    fi
    [[ $(tail -n 3 <<<"$all") == "\$ echo after-loop${nl}after-loop$nl\$" ]] ||
        problem "the shell's line after the loop was not the one typed"
    report "a hundred runs in a row" "$(screen)"
}

# Redraws: a frame for each tick of the program's timer would show in the bytes the pane gets
# while the program only waits.
no_redraw_by_timer() {
    problems=()
    start_shell
    local bytes=$work/timer-bytes
    : >"$bytes"
    tmux_ pipe-pane -o -t probe "cat >>'$bytes'"
    type_line '$p timer'
    wait_for "the timer line" '^timer$'
    sleep 0.3
    local at_start at_end
    at_start=$(stat -c %s "$bytes")
    sleep 1.5
    at_end=$(stat -c %s "$bytes")
    tmux_ send-keys -t probe x
    wait_prompt "the timer"
    tmux_ pipe-pane -t probe
    grep -qF $'\e[2J' "$bytes" && problem "the screen was erased (ESC [2J) while the program ran"
    # 1.5 s at 20 Hz: 30 ticks, so fewer bytes than that mean no frame at each tick.
    ((at_end - at_start < 30)) ||
        problem "$((at_end - at_start)) bytes reached the terminal in 1.5 s of the timer's ticks"
    local ticks
    ticks=$(screen | sed -n -e 's/^ticks \([0-9]*\)$/\1/p')
    if [[ -z $ticks ]]; then
        problem "the probe did not report its ticks"
    elif ((ticks < 20)); then
        problem "the probe's timer ticked $ticks times in about 1.8 s, expected 20 or more"
    fi
    report "a timer of the program's own" "$(screen)"
}

# 20,000 rows: the terminal's history must hold a run of their last rows, at least the 9001 of
# the console's buffer (the probe ends its last row without a line break, so that they are all
# numbered rows), in order, none missing or twice.
long_output_in_history() {
    start_shell
    type_line '$p rows 20000'
    local old=$deadline_seconds
    deadline_seconds=120
    wait_for "the last row" '^row 19999$'
    deadline_seconds=$old
    local numbers
    numbers=$(tmux_ capture-pane -p -S - -E - -t probe | sed -n -e 's/^row \([0-9]*\)$/\1/p')
    tmux_ send-keys -t probe x
    wait_prompt "the rows"
    local verdict
    verdict=$(awk 'NR > 1 && $1 != previous + 1 && !bad { print "row " previous " is followed by row " $1; bad = 1 }
                   { previous = $1 }
                   END { if (!bad && previous != 19999) print "the last row is " previous }' <<<"$numbers")
    [[ -z $verdict ]] || fail "the rows in the terminal's history: $verdict"
    local kept
    kept=$(wc -l <<<"$numbers")
    ((kept >= 9001)) || fail "the terminal's history holds the last $kept rows, fewer than 9001"
}

destructor_text_shown() {
    start_shell
    type_line '$p destructor'
    wait_prompt "the destructor"
    [[ $(screen | tail -n 3) == "main line${nl}destructor text$nl\$" ]] ||
        fail "the destructor's text is not on the screen before the prompt: $(screen)"
}

# The program moves its standard output and input to a file: the console's text still reaches
# the terminal, on descriptors of its own, and none of it the file.
descriptors_of_its_own() {
    start_shell
    type_line "\$p moved $work/moved"
    wait_prompt "the moved descriptors"
    [[ $(screen | tail -n 3) == "before the move${nl}after the move$nl\$" ]] ||
        fail "the console's text after the move is not on the terminal: $(screen)"
    [[ ! -s $work/moved ]] || fail "the console's text went into the file: $(cat -v "$work/moved")"
}

# With standard output a pipe, the keyboard stays as the shell left it until the program's
# first input call (a pager behind the pipe keeps it); then it is the program's.
keyboard_taken_at_the_first_input() {
    start_shell
    local tty
    tty=$(tmux_ display-message -p -t probe '#{pane_tty}')
    type_line "\$p piped | cat"
    wait_for "the piped text" '^piped text$'
    grep -qE '(^| )icanon( |$)' <<<"$(stty -a -F "$tty")" ||
        fail "the keyboard was taken before the first input call: $(stty -a -F "$tty")"
    wait_for "the look at the input" '^looking$'
    local end=$((SECONDS + 5))
    until grep -qE '(^| )-icanon( |$)' <<<"$(stty -a -F "$tty")"; do
        ((SECONDS < end)) || fail "the keyboard was not taken at the first input call"
        sleep 0.05
    done
    tmux_ send-keys -t probe x
    wait_prompt "the key after the look"
}

check "the shell's screen is kept" shell_screen_kept
check "the console's descriptors are its own" descriptors_of_its_own
check "the keyboard is taken at the first input call" keyboard_taken_at_the_first_input
check "no terminal answer reaches the shell" no_answer_left
endings=(
    # mode      ended by         status  the shell adds
    "return     -                0       nothing"
    "exit       -                3       nothing"
    "terminate  -                134     aborted"
    "throw      -                134     aborted"
    "quick-exit -                4       nothing"
    "abort      -                134     aborted"
    "segv       -                139     fault"
    "_exit      -                5       nothing"
    "exec       -                0       nothing"
    "kill       -                137     killed"
    "term       -                143     terminated"
    "wait       Ctrl+C           130     blank"
    "wait       SIGTERM          143     terminated"
    "wait       SIGKILL          137     killed"
    "wait       SIGSTOP+fg       0       nothing"
    "wait       SIGSTOP+SIGCONT  0       nothing"
    "wait       Ctrl+Z           0       nothing"
)
for start in foreground background; do
    for ending in "${endings[@]}"; do
        read -r mode how status adds <<<"$ending"
        [[ $how == - ]] && how=
        check "ending $mode${how:+ by $how}, started in the $start" \
            run_ending "$mode" "$how" "$status" "$adds" "$start"
    done
done
check "a line started in the background" run_line_in_background
check "the program's timer draws nothing" no_redraw_by_timer
check "a long output is kept in the history" long_output_in_history
check "a destructor's text is shown" destructor_text_shown

if ((${#failed[@]} > 0)); then
    printf 'FAIL: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "PASS: a program in an interactive shell: its screen, the terminal's answers, every ending," \
    "its timer, the history of a long output, a destructor's text"
