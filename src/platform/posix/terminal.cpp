#include "terminal.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <termios.h>
#include <unistd.h>

#include "handles.hpp"
#include "signals.hpp"

namespace conlib::posix::terminal {

namespace {

bool Taken = false;
termios Original{};
volatile std::sig_atomic_t InterruptKey = 1;
volatile std::sig_atomic_t Drawn = 0;
volatile std::sig_atomic_t Continued = 0;

// The settings the console host reads the keyboard with: bytes as they are typed, no echo,
// no line editing, no flow control, no signal keys but Ctrl+C (and that only while the
// console processes input); output processing stays as it was.
termios KeyboardSettings() {
    termios settings = Original;
    settings.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    if (InterruptKey != 0) {
        settings.c_lflag |= ISIG;
    } else {
        settings.c_lflag &= ~static_cast<tcflag_t>(ISIG);
    }
    settings.c_cc[VINTR] = 0x03;
    settings.c_cc[VQUIT] = _POSIX_VDISABLE;
    settings.c_cc[VSUSP] = _POSIX_VDISABLE;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

// Everything here is safe in a signal handler.
void Apply(const termios& settings) {
    while (tcsetattr(STDIN_FILENO, TCSADRAIN, &settings) != 0 && errno == EINTR) {
    }
}

void Restore() {
    Apply(Original);
    if (Drawn != 0) {
        // Default colours, and the shell's prompt on a line of its own.
        static constexpr char Reset[] = "\x1b[0m\r\n";
        WriteAll(STDOUT_FILENO, Reset, sizeof Reset - 1);
    }
}

void RestoreAtExit() {
    Apply(Original);
}

// After a stop, or a program's own signal handler that returned: the process goes on.
void Resume() {
    Apply(KeyboardSettings());
    Continued = 1;
}

}  // namespace

void TakeOver(bool interruptKey) {
    if (Taken) return;
    Taken = true;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &Original) != 0) {
        Taken = false;
        return;
    }
    InterruptKey = interruptKey ? 1 : 0;
    signals::Install({Restore, Resume});
    std::atexit(RestoreAtExit);
    Apply(KeyboardSettings());
}

bool TakenOver() {
    return Taken;
}

void SetInterruptKey(bool interruptKey) {
    const std::sig_atomic_t wanted = interruptKey ? 1 : 0;
    if (wanted == InterruptKey) return;
    InterruptKey = wanted;
    if (Taken) Apply(KeyboardSettings());
}

void NoteDrawn() {
    Drawn = 1;
}

bool TakeContinued() {
    if (Continued == 0) return false;
    Continued = 0;
    return true;
}

}  // namespace conlib::posix::terminal
