// The terminal session: how the console host takes the user's terminal over and hands it back.
//
// Like the Windows console, the console host echoes typed text itself and only during a line
// read, and acts on Ctrl+C itself. From the takeover until the hand-back the terminal neither
// echoes keys, nor buffers lines, nor turns keys into signals, nor processes the output it is
// sent; the console's input modes never change that.
//
// The takeover:
// - opens the terminal afresh, on descriptors of the host's own (close-on-exec, non-blocking on
//   an open file of their own), so that nothing the program does with descriptors 0, 1 and 2
//   reaches the host, and the host's reads never change the shell's;
// - happens only in the foreground: a process in the background stops (SIGTTOU) as any
//   terminal program does, and takes the terminal once it is brought to the foreground;
// - asks the terminal, in one round trip fenced by a device attributes query, where its cursor
//   is and which of the modes the host can use it has, and waits for the answers a bounded
//   time; keys typed meanwhile are kept for the console's input;
// - sets only the modes whose former setting the terminal told, so that each can be put back.
//
// The hand-back, at every ending the process still runs code for (exit, quick_exit, a signal
// that ends or stops the process): the host's last frame, any answer still owed read (within
// the same bound), every mode set put back, the settings as they were. For the endings no code
// sees (SIGKILL, _exit, exec), a guardian process does what can still be done.
#pragma once

#include <string>

namespace conlib::posix::terminal {

// What the console host does as the terminal is left and taken back. `leave` draws the last
// frame and leaves the cursor where the next program's text should follow; it runs at exit
// and in the handlers of the signals that end or stop the process, and must be safe there.
// `suspend` stops all drawing at once, with nothing drawn: the process goes on in the
// background after a stop that ran no code of its own (SIGSTOP), and the terminal is the
// shell's. `resume` runs when the process goes on in the foreground after a stop (in a signal
// handler too): the screen may have been drawn over meanwhile.
struct Hooks {
    void (*leave)();
    void (*suspend)();
    void (*resume)();
};

// What the takeover learnt.
struct Session {
    int keyboardFd = -1;  // the host's descriptor to read keys from, or -1
    int displayFd = -1;   // the host's descriptor to draw on, or -1
    bool cursorKnown = false;
    int cursorColumn = 0;  // the terminal's cursor at the takeover, from 0
    int cursorRow = 0;
    bool synchronizedOutput = false;  // frames may be wrapped in synchronized output
    bool resizeReports = false;       // the terminal reports its size in band on a resize
    std::string typeAhead;            // bytes of keys typed during the takeover's round trip
};

// Takes the terminal over: its output when `display` and standard output is a terminal, its
// keyboard when `keyboard` and standard input is a terminal. A later call takes what the first
// did not (the keyboard of a program whose output is a pipe is taken at its first input call).
// Returns the session.
Session& TakeOver(bool display, bool keyboard, Hooks hooks);

// The session; descriptors of -1 until taken.
Session& Current();

// Called by the host, holding its lock, as the terminal's answer to the device attributes
// query arrives: no answer is owed any more.
void AnswersArrived();

// Whether an answer to the takeover's queries is still owed.
bool AnswersOwed();

// Whether the terminal is handed back for good (the process is ending): what is drawn after
// that is drawn with DrawAfterHandBack.
bool HandedBack();

// Whether the process is in the foreground of the terminal (or the terminal cannot tell).
// Safe in a signal handler.
bool InForeground();

// Takes the terminal again, in the foreground after a stop: its settings and modes, then the
// host's `resume`. Safe in a signal handler.
void TakeBack();

// Takes the display back for the bytes of one frame written after the hand-back (text of a
// static destructor or an atexit handler), then hands it back again.
void DrawAfterHandBack(const char* bytes, std::size_t length);

// The terminal put back as it was, after the host's `leave` (once; later calls do nothing).
// Safe in a signal handler.
void Restore();

}  // namespace conlib::posix::terminal
