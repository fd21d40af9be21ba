#include "terminal.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "guardian.hpp"
#include "handles.hpp"
#include "platform/common/vt_input.hpp"
#include "signals.hpp"

namespace conlib::posix::terminal {

namespace {

// The questions of the takeover: synchronized output, how Alt keys are sent, in-band size
// reports, the cursor's place (CPR, which tmux and GNU screen answer, and DECXCPR, which others
// answer with a marker that keeps it apart from a key), and last the device attributes, which
// every terminal answers, so its answer ends the answers to all the others.
constexpr std::string_view Questions = "\x1b[?2026$p\x1b[?1036$p\x1b[?2048$p\x1b[6n\x1b[?6n\x1b[c";

// How long the answers may take: longer than a round trip over a slow remote connection.
// A terminal that never answers costs this once, at the takeover.
constexpr int AnswerWaitMs = 500;

using Report = platform::TerminalReport;

bool DisplayTaken = false;
bool KeyboardTaken = false;
bool SignalsInstalled = false;
// The process that took the terminal over: a child of fork leaves it to its parent.
pid_t Owner = 0;
Hooks TheHooks{nullptr, nullptr, nullptr};
Session TheSession;
// The descriptor whose settings are the keyboard's, and the display's when it is another
// terminal (-1 otherwise).
int KeyboardSettingsFd = -1;
int DisplaySettingsFd = -1;
termios KeyboardOriginal{};
termios DisplayOriginal{};
// The modes the takeover set, and the bytes that put each back as the terminal had it.
char ModesSet[64];
std::size_t ModesSetLength = 0;
char ModesBack[64];
std::size_t ModesBackLength = 0;
std::atomic<bool> Owed{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// Set while the terminal is handed back: after a stop until the process goes on in the
// foreground, and for good once the process ends.
volatile std::sig_atomic_t Left = 0;
volatile std::sig_atomic_t Exited = 0;

std::int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

void Append(char* to, std::size_t& length, std::size_t capacity, std::string_view text) {
    if (length + text.size() > capacity) return;
    std::memcpy(to + length, text.data(), text.size());
    length += text.size();
}

bool SameTerminal(int first, int second) {
    struct stat a {};
    struct stat b {};
    return fstat(first, &a) == 0 && fstat(second, &b) == 0 && a.st_rdev == b.st_rdev;
}

// The terminal on `fd` opened afresh: an open file of the host's own, so that its
// non-blocking reads change nothing for the shell or the program. Where it cannot be opened
// by name, a close-on-exec copy of `fd`, which shares the open file and so stays blocking.
int OpenAfresh(int fd) {
    char name[256];
    if (ttyname_r(fd, name, sizeof name) == 0) {
        const int fresh = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fresh >= 0 && SameTerminal(fresh, fd)) return fresh;
        if (fresh >= 0) close(fresh);
    }
    return fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// A process in the background stops as a terminal program does when it takes the terminal,
// until it is brought to the foreground. A program that ignores, blocks or handles SIGTTOU
// has chosen to go on in the background, and does.
void WaitForForeground(int fd) {
    for (int tries = 0; tries < 100; ++tries) {
        const pid_t foreground = tcgetpgrp(fd);
        if (foreground < 0 || foreground == getpgrp()) return;
        struct sigaction action {};
        sigset_t blocked;
        if (sigaction(SIGTTOU, nullptr, &action) != 0 ||
            pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0)
            return;
        const bool byDefault = (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
        if (!byDefault || sigismember(&blocked, SIGTTOU) == 1) return;
        kill(0, SIGTTOU);  // stops the job here; it goes on when continued
    }
}

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
    if (DisplayTaken && DisplaySettingsFd < 0) RawOutput(settings);
    return settings;
}

termios DisplaySettings() {
    termios settings = DisplayOriginal;
    RawOutput(settings);
    return settings;
}

// Everything from here to the end of the namespace is safe in a signal handler. Switches wait
// for output to drain but never discard type-ahead.
void Apply(int fd, const termios& settings) {
    while (tcsetattr(fd, TCSADRAIN, &settings) != 0 && errno == EINTR) {
    }
}

void ApplyOurs() {
    if (KeyboardSettingsFd >= 0) Apply(KeyboardSettingsFd, KeyboardSettings());
    if (DisplaySettingsFd >= 0) Apply(DisplaySettingsFd, DisplaySettings());
}

void ApplyOriginal() {
    if (KeyboardSettingsFd >= 0) Apply(KeyboardSettingsFd, KeyboardOriginal);
    if (DisplaySettingsFd >= 0) Apply(DisplaySettingsFd, DisplayOriginal);
}

void WriteDisplay(const char* bytes, std::size_t length) {
    if (TheSession.displayFd >= 0 && length > 0) WriteAll(TheSession.displayFd, bytes, length);
}

// Reads the terminal until the device attributes answer has come or `waitMs` have passed.
// What else arrives is handed to `take`, answers and keys alike; returns whether the fence
// came. Every answer of a terminal is shorter than the buffer.
template <class Take>
bool ReadAnswers(int fd, int waitMs, Take take) {
    if (fd < 0) return false;
    unsigned char pending[512];
    std::size_t held = 0;
    platform::DecoderState state;
    state.cursorReportOwed = true;
    const std::int64_t due = NowMs() + waitMs;
    for (;;) {
        const std::int64_t left = due - NowMs();
        if (left <= 0) break;
        pollfd in{fd, POLLIN, 0};
        const int ready = poll(&in, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        const ssize_t n = read(fd, pending + held, sizeof pending - held);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) break;
        held += static_cast<std::size_t>(n);
        std::size_t at = 0;
        bool fenced = false;
        while (at < held && !fenced) {
            platform::KeyEvents events{};
            const std::size_t used =
                platform::DecodeKey(pending + at, held - at, held == sizeof pending, state, events);
            if (used == 0) break;
            fenced = events.report.kind == Report::Kind::DeviceAttributes;
            take(pending + at, used, events.report);
            at += used;
        }
        std::memmove(pending, pending + at, held - at);
        held -= at;
        if (fenced) {
            // Typed right after the answers: keys.
            if (held > 0) take(pending, held, Report{});
            return true;
        }
    }
    if (held > 0) take(pending, held, Report{});
    return false;
}

void ReadOwedAnswers() {
    if (!Owed.load()) return;
    // Whatever else comes now is type-ahead of a program that is ending: dropped.
    ReadAnswers(TheSession.keyboardFd, AnswerWaitMs,
                [](const unsigned char*, std::size_t, const Report&) {});
    Owed.store(false);
}

void HandBack() {
    if (TheHooks.leave != nullptr) TheHooks.leave();
    if (getpid() != Owner) return;
    ReadOwedAnswers();
    WriteDisplay(ModesBack, ModesBackLength);
    ApplyOriginal();
    guardian::SetHeld(false);
}

// Before a signal ends or stops the process.
void LeaveForSignal() {
    if (Left != 0) return;
    Left = 1;
    HandBack();
}

// The process goes on after a stop: its own (SIGTSTP, handed back), one that ran no code of it
// (SIGSTOP, after which a shell puts back its own settings), or none (a SIGCONT sent to a
// running process). In the foreground the terminal is taken again; in the background it is the
// shell's, and the host draws nothing, until the process is in the foreground again (a shell's
// fg sends no signal to a job that runs already: the host looks for that itself).
void ResumeAfterSignal() {
    if (Exited != 0 || getpid() != Owner) return;
    if (InForeground()) {
        TakeBack();
        return;
    }
    if (Left == 0) {
        Left = 1;
        guardian::SetHeld(false);
    }
    if (TheHooks.suspend != nullptr) TheHooks.suspend();
}

void RestoreAtExit() {
    Restore();
}

// std::terminate hands the terminal back before the handler it replaced (the runtime's, which
// tells why on standard error and aborts): its words then follow the program's last output, on
// a terminal that processes them as usual.
std::terminate_handler PreviousTerminate = nullptr;

[[noreturn]] void OnTerminate() {
    Restore();
    if (PreviousTerminate != nullptr) PreviousTerminate();
    std::abort();
}

// Registered before any static object of the program is made, so that it runs after their
// destructors and the atexit handlers registered later: what they write still reaches the
// terminal.
[[gnu::constructor(101)]] void RegisterRestoreAtExit() {
    std::atexit(RestoreAtExit);
}

// Asks the questions and takes the answers: the cursor's place and the modes.
void Ask(int fd) {
    unsigned alt = Report::NotRecognized;
    unsigned sizes = Report::NotRecognized;
    bool cursorTaken = false;
    WriteDisplay(Questions.data(), Questions.size());
    const bool fenced = ReadAnswers(
        fd, AnswerWaitMs,
        [&](const unsigned char* bytes, std::size_t length, const Report& report) {
            switch (report.kind) {
                case Report::Kind::None:
                    TheSession.typeAhead.append(reinterpret_cast<const char*>(bytes), length);
                    break;
                case Report::Kind::Mode:
                    if (!report.decPrivate || report.count < 2) break;
                    if (report.values[0] == 2026) {
                        TheSession.synchronizedOutput =
                            report.values[1] == Report::Set || report.values[1] == Report::Reset;
                    } else if (report.values[0] == 1036) {
                        alt = report.values[1];
                    } else if (report.values[0] == 2048) {
                        sizes = report.values[1];
                    }
                    break;
                case Report::Kind::CursorPosition:
                    // The first report is the answer; a terminal that answers both questions
                    // answers the same.
                    if (!cursorTaken && report.count >= 2 && report.values[0] >= 1 &&
                        report.values[1] >= 1) {
                        cursorTaken = true;
                        TheSession.cursorKnown = true;
                        TheSession.cursorRow = static_cast<int>(report.values[0]) - 1;
                        TheSession.cursorColumn = static_cast<int>(report.values[1]) - 1;
                    }
                    break;
                default:
                    break;
            }
        });
    // A terminal slower than the wait still answers: the host takes the answers as they come.
    Owed.store(!fenced);
    // Alt keys as ESC and the key, and sizes in band, where the terminal told that they are
    // off: each is put back off.
    if (alt == Report::Reset) {
        Append(ModesSet, ModesSetLength, sizeof ModesSet, "\x1b[?1036h");
        Append(ModesBack, ModesBackLength, sizeof ModesBack, "\x1b[?1036l");
    }
    if (sizes == Report::Reset) {
        Append(ModesSet, ModesSetLength, sizeof ModesSet, "\x1b[?2048h");
        Append(ModesBack, ModesBackLength, sizeof ModesBack, "\x1b[?2048l");
        TheSession.resizeReports = true;
    }
    WriteDisplay(ModesSet, ModesSetLength);
}

// A display whose keyboard is not the console's (standard input is a file): its answers are
// read with its echo and line editing off for the round trip, and what was typed on it
// meanwhile is put back for its own reader, where the system lets it.
void AskTheDisplayAlone() {
    termios quiet = DisplaySettings();
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON);
    quiet.c_cc[VMIN] = 1;
    quiet.c_cc[VTIME] = 0;
    Apply(DisplaySettingsFd, quiet);
    Ask(DisplaySettingsFd);
    Apply(DisplaySettingsFd, DisplaySettings());
    for (const char ch : TheSession.typeAhead)
        ioctl(DisplaySettingsFd, TIOCSTI, &ch);
    TheSession.typeAhead.clear();
}

// The guardian, for the endings no code of the process sees, over the keyboard's terminal (or
// the display's, when only that is taken), with the settings as the terminal holds them now.
void StartGuardian() {
    const int fd = KeyboardSettingsFd >= 0 ? KeyboardSettingsFd : DisplaySettingsFd;
    const termios& original = KeyboardSettingsFd >= 0 ? KeyboardOriginal : DisplayOriginal;
    termios ours{};
    if (fd < 0 || tcgetattr(fd, &ours) != 0) return;
    if (!guardian::Start(fd, original, ours, ModesBack, ModesBackLength)) return;
    // Where the cursor stands until the first frame is drawn.
    if (TheSession.cursorKnown) guardian::FrameEnded(TheSession.cursorColumn == 0);
}

}  // namespace

Session& TakeOver(bool display, bool keyboard, Hooks hooks) {
    const bool takeDisplay = display && !DisplayTaken && isatty(STDOUT_FILENO) != 0;
    const bool takeKeyboard = keyboard && !KeyboardTaken && isatty(STDIN_FILENO) != 0;
    if (!takeDisplay && !takeKeyboard) return TheSession;
    if (Owner == 0) {
        Owner = getpid();
        TheHooks = hooks;
    }
    WaitForForeground(takeKeyboard ? STDIN_FILENO : STDOUT_FILENO);
    if (takeKeyboard) {
        const int fd = OpenAfresh(STDIN_FILENO);
        if (fd >= 0 && tcgetattr(fd, &KeyboardOriginal) == 0) {
            KeyboardTaken = true;
            TheSession.keyboardFd = fd;
            KeyboardSettingsFd = fd;
        } else if (fd >= 0) {
            close(fd);
        }
    }
    if (takeDisplay) {
        DisplayTaken = true;
        if (TheSession.keyboardFd >= 0 && SameTerminal(TheSession.keyboardFd, STDOUT_FILENO)) {
            TheSession.displayFd = TheSession.keyboardFd;
        } else {
            TheSession.displayFd = OpenAfresh(STDOUT_FILENO);
            if (TheSession.displayFd >= 0 &&
                tcgetattr(TheSession.displayFd, &DisplayOriginal) == 0) {
                DisplaySettingsFd = TheSession.displayFd;
            }
        }
    }
    // The handlers first: a signal that ends the process during the round trip below hands
    // the terminal back too.
    if (!SignalsInstalled) {
        SignalsInstalled = true;
        signals::Install({LeaveForSignal, ResumeAfterSignal});
        PreviousTerminate = std::set_terminate(OnTerminate);
    }
    ApplyOurs();
    if (takeDisplay && TheSession.displayFd >= 0) {
        if (TheSession.displayFd == TheSession.keyboardFd) {
            Ask(TheSession.displayFd);
        } else if (DisplaySettingsFd >= 0) {
            AskTheDisplayAlone();
        }
    }
    StartGuardian();
    return TheSession;
}

Session& Current() {
    return TheSession;
}

void AnswersArrived() {
    Owed.store(false);
}

bool AnswersOwed() {
    return Owed.load();
}

bool HandedBack() {
    return Exited != 0;
}

bool InForeground() {
    const int fd = TheSession.keyboardFd >= 0 ? TheSession.keyboardFd : TheSession.displayFd;
    if (fd < 0) return true;
    const pid_t foreground = tcgetpgrp(fd);
    return foreground < 0 || foreground == getpgrp();
}

void TakeBack() {
    if (Exited != 0 || getpid() != Owner) return;
    Left = 0;
    ApplyOurs();
    WriteDisplay(ModesSet, ModesSetLength);
    guardian::SetHeld(true);
    if (TheHooks.resume != nullptr) TheHooks.resume();
}

void DrawAfterHandBack(const char* bytes, std::size_t length) {
    if (getpid() != Owner || TheSession.displayFd < 0) return;
    ApplyOurs();
    WriteDisplay(bytes, length);
    ApplyOriginal();
}

void Restore() {
    if ((!DisplayTaken && !KeyboardTaken) || Exited != 0) return;
    Exited = 1;
    if (Left != 0) return;
    Left = 1;
    HandBack();
}

}  // namespace conlib::posix::terminal
