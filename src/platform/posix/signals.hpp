// Signals that end or stop the process, and the terminal handed back before they take effect.
//
// Once installed, every signal whose default action ends the process (with or without a core
// dump), and the stop from the keyboard, first hands the terminal back; so does quick_exit.
// Then the signal takes its default course: the process ends with the signal's status (and a
// core dump where they are enabled), or stops and, once continued, takes the terminal again.
// A signal that continues the process has the screen drawn again.
//
// Only signals whose action is the default are touched. A signal the program handles or
// ignores when the terminal is taken over is left alone: its handler runs and nothing else, the
// console left as it is. A handler the program installs later replaces the library's. The
// handlers block every other signal while they run, so that one signal cannot cut another's
// hand-back short.
#pragma once

#include <csignal>

namespace conlib::posix::signals {

// What the handlers do with the terminal; both must be safe in a signal handler, and doing
// either twice must do no harm.
struct TerminalActions {
    void (*leave)();   // put the terminal back as it was
    void (*resume)();  // take it over again: the process goes on
};

// Installs the handlers, once; later calls do nothing.
void Install(TerminalActions actions);

// Takes out of `mask` the signals that a fault raises in the thread that made it: a thread of
// the library's that blocks all others still has its faults handled, and the terminal handed
// back, instead of the process being killed outright.
void UnblockFaults(sigset_t& mask);

}  // namespace conlib::posix::signals
