#include "terminal.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "signals.hpp"

namespace conlib::posix::terminal {

namespace {

bool Taken = false;
// The process that took the terminal over: a child of fork leaves it to its parent.
pid_t Owner = 0;
Hooks TheHooks{nullptr, nullptr};
// The keyboard's terminal (standard input), and the display's when it is another one.
int KeyboardFd = -1;
int DisplayFd = -1;
termios KeyboardOriginal{};
termios DisplayOriginal{};
bool Rendering = false;
// Set while the terminal is as it was: after a signal's leave until the process goes on, and
// for good at exit.
volatile std::sig_atomic_t Left = 0;
volatile std::sig_atomic_t Exited = 0;

// No output processing: the renderer's bytes reach the terminal as they are.
void RawOutput(termios& settings) {
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
}

// The keyboard as the console host reads it: bytes as they are typed, no echo, no line
// editing, no flow control, no signal keys.
termios KeyboardSettings() {
    termios settings = KeyboardOriginal;
    settings.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN | ISIG);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (Rendering && DisplayFd < 0) RawOutput(settings);
    return settings;
}

termios DisplaySettings() {
    termios settings = DisplayOriginal;
    RawOutput(settings);
    return settings;
}

// Everything here is safe in a signal handler.
void Apply(int fd, const termios& settings) {
    while (tcsetattr(fd, TCSADRAIN, &settings) != 0 && errno == EINTR) {
    }
}

void ApplyOurs() {
    if (KeyboardFd >= 0) Apply(KeyboardFd, KeyboardSettings());
    if (DisplayFd >= 0) Apply(DisplayFd, DisplaySettings());
}

void ApplyOriginal() {
    if (KeyboardFd >= 0) Apply(KeyboardFd, KeyboardOriginal);
    if (DisplayFd >= 0) Apply(DisplayFd, DisplayOriginal);
}

void Leave() {
    if (TheHooks.leave != nullptr) TheHooks.leave();
    if (getpid() == Owner) ApplyOriginal();
}

// Before a signal ends or stops the process, or runs a handler of the program's.
void LeaveForSignal() {
    if (Left != 0) return;
    Left = 1;
    Leave();
}

// After a stop, or a program's own signal handler that returned: the process goes on.
void ResumeAfterSignal() {
    if (Exited != 0) return;
    Left = 0;
    ApplyOurs();
    if (TheHooks.resume != nullptr) TheHooks.resume();
}

void RestoreAtExit() {
    Restore();
}

bool SameTerminal(int first, int second) {
    struct stat a {};
    struct stat b {};
    return fstat(first, &a) == 0 && fstat(second, &b) == 0 && a.st_rdev == b.st_rdev;
}

}  // namespace

void TakeOver(bool rendering, Hooks hooks) {
    if (Taken) return;
    Taken = true;
    Owner = getpid();
    TheHooks = hooks;
    Rendering = rendering;
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &KeyboardOriginal) == 0) {
        KeyboardFd = STDIN_FILENO;
    }
    if (rendering && isatty(STDOUT_FILENO) &&
        (KeyboardFd < 0 || !SameTerminal(STDIN_FILENO, STDOUT_FILENO)) &&
        tcgetattr(STDOUT_FILENO, &DisplayOriginal) == 0) {
        DisplayFd = STDOUT_FILENO;
    }
    signals::Install({LeaveForSignal, ResumeAfterSignal});
    std::atexit(RestoreAtExit);
    ApplyOurs();
}

bool KeyboardTaken() {
    return KeyboardFd >= 0;
}

void Restore() {
    if (!Taken || Exited != 0) return;
    Exited = 1;
    if (Left != 0) return;
    Left = 1;
    Leave();
}

}  // namespace conlib::posix::terminal
