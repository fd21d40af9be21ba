// The terminal's own state: who echoes and edits typed text, and how it is put back.
//
// Like the Windows console, the console host echoes typed text itself and only during a line
// read, and acts on Ctrl+C itself. From the console's start until the process ends, the
// terminal neither echoes keys, nor buffers lines, nor turns keys into signals, nor processes
// the output it is sent; this is set once, and the console's input modes never change it. The
// terminal's original state comes back at exit, on every signal that ends the process, and
// while the process is stopped. Mode switches wait for output to drain but never discard
// type-ahead.
#pragma once

namespace conlib::posix::terminal {

// What the console host does as the terminal is left and taken back. `leave` draws the last
// frame and puts back what the host changed on the terminal; it runs at exit, in the handlers
// of the signals that end or stop the process, and must be safe there. `resume` runs after the
// process was stopped and continued (in a signal handler too): the screen may have been drawn
// over meanwhile.
struct Hooks {
    void (*leave)();
    void (*resume)();
};

// Takes the terminal over: the keyboard when standard input is a terminal, and the output
// processing of standard output when it is a terminal and `rendering`. Later calls do nothing.
void TakeOver(bool rendering, Hooks hooks);

// Whether standard input is a terminal that has been taken over.
bool KeyboardTaken();

// The terminal's settings as they were, put back, after the host's `leave` (once; later calls
// do nothing). Safe in a signal handler.
void Restore();

}  // namespace conlib::posix::terminal
