// A process that watches over the terminal for the endings no code of the program sees.
//
// At every ending the program still runs code for, the console host puts the terminal back
// itself. SIGKILL, an out-of-memory kill, _exit and exec leave it raw, with the host's modes
// set. For those, a small process made at takeover waits on a pipe whose only write end the
// program holds (closed at exec too). When the pipe ends while the host holds the terminal, it
// first puts back the terminal's settings from before the takeover, if they are still the
// host's: settings found changed (by a program the exec started, or by a shell that put back a
// killed job's) are left alone. Then it writes CAN (ending a sequence cut off halfway), the end
// of a synchronized update if a frame was being written, the default rendition, the host's
// reset bytes and a line break (none when the last frame left the cursor at column 0).
//
// The process is nobody's child the program can see: no wait(-1) returns it, no SIGCHLD
// announces it, and it leaves no zombie; its parent is init (or the nearest subreaper). It has
// a session of its own, so no signal sent to the program's job reaches it, ignores the signals
// of a terminal and of a closed pipe, and holds no descriptor of the program's but the
// terminal: a reader of the program's output sees it end with the program. It ends as soon as
// the pipe does.
//
// Where the system cannot make a process that sends no signal at its end, it is made with
// fork(): the program's pthread_atfork handlers run, and SIGCHLD is held back only on the
// calling thread.
#pragma once

#include <cstddef>

#include <sys/types.h>
#include <termios.h>

namespace conlib::posix::guardian {

// The longest reset sequence Start takes.
inline constexpr std::size_t MaxResets = 256;

// Starts the guardian over the terminal open on `fd` (a descriptor of the host's own, which the
// guardian keeps a copy of). `original` is the terminal's settings before the takeover, `ours`
// those the host set, as read back from the terminal (which may adjust some); `resets` (at most
// MaxResets bytes) the bytes that put back the terminal modes the host set (for example
// "\x1b[?1036l"). Returns false (and the program goes on without a guardian) when the process
// cannot be made or `resets` is too long. Called once: later calls do nothing and return false.
bool Start(int fd, const termios& original, const termios& ours, const char* resets,
           std::size_t resetsLength);

// Whether the host holds the terminal (true after Start) or has handed it back itself (false:
// at a stop, at exit): a guardian whose program ends while it is handed back does nothing. Safe
// in a signal handler.
void SetHeld(bool held);

// A frame is being written to the terminal / was written; `atLineStart`: the cursor was left at
// column 0 (until the first frame ends, it is taken to be elsewhere). Safe in a signal handler;
// each is a store into memory shared with the guardian.
void FrameStarted();
void FrameEnded(bool atLineStart);

// In a child of fork: closes the child's copy of the pipe's write end, so that only the program
// itself keeps the guardian waiting, and detaches the child from the shared state, so that the
// child's own calls above (its SetHeld(false) at exit, say) change nothing for the program's
// guardian. Safe in a pthread_atfork child handler.
void DropInChild();

// For the tests only.
// The guardian's process id, or -1 when none was started.
pid_t ProcessForTests();
// Makes the next Start use fork(), as where the system has no other way.
void UseForkForTests();

}  // namespace conlib::posix::guardian
