// Signals that end or stop the process, and the terminal put back before they take effect.
//
// Once installed, every signal whose default action ends the process (with or without a core
// dump), and the stop from the keyboard, first puts the terminal back as it was; so does
// quick_exit. Then the signal takes its course:
// - with no handler of the program's, the default action: the process ends with the signal's
//   status (and a core dump where they are enabled), or stops and, once continued, takes the
//   terminal over again;
// - with a handler the program installed before, that handler, as the program installed it;
//   when it returns, the process goes on and the terminal is taken over again.
// A signal the program ignores is left alone, and a handler the program installs later replaces
// the library's: it is never put back over the program's.
#pragma once

namespace conlib::posix::signals {

// What the handlers do with the terminal; both must be safe in a signal handler, and doing
// either twice must do no harm.
struct TerminalActions {
    void (*leave)();   // put the terminal back as it was
    void (*resume)();  // take it over again: the process goes on
};

// Installs the handlers, once; later calls do nothing.
void Install(TerminalActions actions);

}  // namespace conlib::posix::signals
