// The console host and the console output calls served by it.
#include "console_host.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include "guardian.hpp"
#include "handles.hpp"
#include "platform/posix/win.hpp"
#include "signals.hpp"
#include "terminal.hpp"

namespace conlib::posix {

namespace {

// Sizes a console buffer can have; the cell count keeps a mistyped size from taking all memory.
constexpr int MaxSide = 32767;
constexpr long MaxCells = 1L << 24;
static_assert(MaxSide == 32767 && MaxCells == 16777216, "the refusals of ParseSize name them");
// The size of a console with no terminal behind it, when none is asked for.
constexpr int PlainColumns = 80;
constexpr int PlainRows = 25;

// Set by signal handlers for the host thread, which they wake.
std::atomic<int> TerminalResized{0};
std::atomic<int> Continued{0};
static_assert(std::atomic<int>::is_always_lock_free);  // safe in a signal handler
struct sigaction PreviousResizeAction;
int WakeFd = -1;

// Safe in a signal handler.
void WakeHostThread() {
    if (WakeFd < 0) return;
    const int savedErrno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(WakeFd, &byte, 1);  // a full pipe wakes it anyway
    errno = savedErrno;
}

void OnTerminalResized(int signal) {
    TerminalResized.store(1);
    WakeHostThread();
    if ((PreviousResizeAction.sa_flags & SA_SIGINFO) == 0 &&
        PreviousResizeAction.sa_handler != SIG_DFL && PreviousResizeAction.sa_handler != SIG_IGN) {
        PreviousResizeAction.sa_handler(signal);
    }
}

bool ValidSize(long columns, long rows) {
    return columns >= 1 && rows >= 1 && columns <= MaxSide && rows <= MaxSide &&
           columns * rows <= MaxCells;
}

// COLUMNSxROWS, for example 120x300. When the text is refused, `problem` says which rule it
// broke.
bool ParseSize(const char* text, int& columns, int& rows, const char*& problem) {
    problem = "is not a console size COLUMNSxROWS (two whole numbers, for example 120x300)";
    char* end = nullptr;
    errno = 0;
    const long c = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X') || text[0] == '-') {
        return false;
    }
    const bool cOverflow = errno != 0;
    const char* second = end + 1;
    errno = 0;
    const long r = std::strtol(second, &end, 10);
    if (end == second || *end != '\0' || second[0] == '-') return false;
    if (cOverflow || errno != 0 || c < 1 || r < 1 || c > MaxSide || r > MaxSide) {
        problem = "has a side out of range: columns and rows are 1 to 32767 each";
        return false;
    }
    if (!ValidSize(c, r)) {
        problem = "has too many cells: columns times rows is at most 16777216";
        return false;
    }
    columns = static_cast<int>(c);
    rows = static_cast<int>(r);
    return true;
}

bool TerminalSize(int fd, int& columns, int& rows) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || !ValidSize(size.ws_col, size.ws_row)) {
        return false;
    }
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

struct Setup {
    ConsoleHost::Mode mode;
    int columns;  // the window's size
    int rows;
};

// The rows of a terminal's buffer over a window of `columns` x `rows`: at least the window's,
// CONLIB_BUFFER_ROWS (a whole number) or the default, at most what the cell limit allows.
int BufferRowsFor(int columns, int rows) {
    long wanted = ConsoleHost::DefaultBufferRows;
    if (const char* text = std::getenv("CONLIB_BUFFER_ROWS")) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && errno == 0 && value >= 0) wanted = value;
    }
    const long most = std::min<long>(MaxSide, MaxCells / columns);
    return static_cast<int>(std::max<long>(rows, std::min(wanted, most)));
}

Setup ChooseSetup() {
    Setup setup{ConsoleHost::Mode::Plain, PlainColumns, PlainRows};
    if (const char* headless = std::getenv("CONLIB_CONSOLE")) {
        const char* problem = nullptr;
        if (ParseSize(headless, setup.columns, setup.rows, problem)) {
            setup.mode = ConsoleHost::Mode::Headless;
            return setup;
        }
        std::fprintf(stderr, "conlib: CONLIB_CONSOLE=\"%s\" %s; using the terminal instead\n",
                     headless, problem);
    }
    if (isatty(STDOUT_FILENO) && TerminalSize(STDOUT_FILENO, setup.columns, setup.rows)) {
        setup.mode = ConsoleHost::Mode::Terminal;
    }
    return setup;
}

std::int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// A millisecond's pause, safe in a signal handler.
void Nap() {
    timespec pause{0, 1'000'000};
    nanosleep(&pause, nullptr);
}

// How often the host thread of a process in the background looks whether it is in the
// foreground again.
constexpr int ForegroundCheckMs = 200;

// How long a signal handler waits for the host thread to let go of the lock or to finish a
// write, in milliseconds: the terminal is restored after it in any case.
constexpr int LeaveWaitMs = 250;

// The bytes read from the keyboard at once.
constexpr std::size_t KeyboardChunk = 4096;
// The most bytes of frames made and not yet written before text that scrolls fast enough to
// leave the buffer unshown may lose rows.
constexpr std::size_t MostPendingFrameBytes = 16u << 20;
// Reserved for the last frame, which spills to the terminal when it needs more.
constexpr std::size_t LastFrameBytes = 1u << 16;

}  // namespace

std::atomic<ConsoleHost*> ConsoleHost::started_{nullptr};

ConsoleHost& ConsoleHost::Instance() {
    // Never destroyed: the handlers that run at exit, and the host thread, still need it.
    static ConsoleHost* host = [] {
        auto* made = new ConsoleHost();
        started_.store(made, std::memory_order_release);
        return made;
    }();
    return *host;
}

HostLock& ConsoleHost::Lock() {
    static HostLock* lock = new HostLock();
    return *lock;
}

ConsoleHost::ConsoleHost() : mode_(Mode::Plain), screen_(1, 1) {
    const Setup setup = ChooseSetup();
    mode_ = setup.mode;
    if (mode_ == Mode::Terminal) {
        screen_ = ScreenBuffer(setup.columns, BufferRowsFor(setup.columns, setup.rows));
        screen_.SetWindowSize(setup.columns, setup.rows);
        screen_.SetWindowFollowsCursor(true);
    } else {
        screen_ = ScreenBuffer(setup.columns, setup.rows);
    }
    if (mode_ == Mode::Headless) return;
    readsKeyboard_ = isatty(STDIN_FILENO) != 0;
    if (mode_ != Mode::Terminal) return;  // the keyboard is taken at the first input call
    StartOnTerminal(setup.columns, setup.rows);
}

void ConsoleHost::StartOnTerminal(int columns, int rows) {
    terminal::Session& session = terminal::TakeOver(
        true, readsKeyboard_, terminal::Hooks{LeaveHook, SuspendHook, ResumeHook});
    displayFd_ = session.displayFd >= 0 ? session.displayFd : STDOUT_FILENO;
    if (readsKeyboard_) keyboardFd_ = session.keyboardFd >= 0 ? session.keyboardFd : STDIN_FILENO;
    // The terminal's size now, which the wait for it to take the foreground may have changed.
    if (TerminalSize(displayFd_, columns, rows)) screen_.SetWindowSize(columns, rows);
    if (session.cursorKnown) {
        // The window starts over what the terminal shows, with the cursor where the
        // terminal's is; nothing of it is drawn until the program writes there.
        renderer_.Reset(columns, rows, Renderer::Start::AtCursor);
        const int column = std::min(session.cursorColumn, columns - 1);
        const int row = std::min(session.cursorRow, rows - 1);
        renderer_.StartAt(column, row);
        screen_.SetCursor(column, row);
        screen_.KeepTerminalRows(rows);
        static_cast<void>(screen_.TakeChanges());
    } else {
        renderer_.Reset(columns, rows, Renderer::Start::ScrollOut);
    }
    renderer_.SetSynchronized(session.synchronizedOutput);
    composed_.Reserve(1u << 16);
    writing_.Reserve(1u << 16);
    lastFrame_.Reserve(LastFrameBytes);
    lastFrame_.SpillTo(displayFd_);
    if (!session.resizeReports) {
        // Without sizes reported in band, a resize comes as a signal; the program's own
        // handler for it, if it had one, still runs.
        struct sigaction action {};
        action.sa_handler = OnTerminalResized;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGWINCH, &action, &PreviousResizeAction);
    }
    pthread_atfork(PrepareFork, AfterForkInParent, AfterForkInChild);
    StartThread();
}

void ConsoleHost::TakeKeyboard() {
    if (!readsKeyboard_ || keyboardFd_ >= 0 || mode_ == Mode::Headless) return;
    terminal::Session& session =
        terminal::TakeOver(false, true, terminal::Hooks{LeaveHook, SuspendHook, ResumeHook});
    keyboardFd_ = session.keyboardFd >= 0 ? session.keyboardFd : STDIN_FILENO;
    pthread_atfork(PrepareFork, AfterForkInParent, AfterForkInChild);
    StartThread();
}

void ConsoleHost::StartThread() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    WakeFd = wakeWrite_;
    // The thread takes no signal meant for the program: it starts with all of them blocked,
    // but those of its own faults, which hand the terminal back as the program's would.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    signals::UnblockFaults(all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pthread_t thread;
    const int failed = pthread_create(
        &thread, nullptr,
        [](void* host) -> void* {
            static_cast<ConsoleHost*>(host)->RunThread();
            return nullptr;
        },
        this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (failed != 0) {
        // The program's own calls then read the keyboard and draw the frames.
        WakeFd = -1;
        close(wakeRead_);
        close(wakeWrite_);
        wakeRead_ = wakeWrite_ = -1;
        return;
    }
    pthread_detach(thread);
    threadRunning_ = true;
}

void ConsoleHost::RunThread() {
    {
        // Keys typed while the takeover waited for the terminal's answers come first.
        HostGuard guard(Lock());
        std::string& typed = terminal::Current().typeAhead;
        if (!typed.empty()) {
            holding_ = ConsoleKeyboard().TakeKeyboardBytes(
                reinterpret_cast<const unsigned char*>(typed.data()), typed.size(),
                terminal::AnswersOwed());
            if (holding_) heldSinceMs_ = NowMs();
            typed.clear();
            NoteInput();
        }
    }
    for (;;) {
        int timeoutMs = -1;
        nfds_t count = 1;
        bool background = false;
        {
            HostGuard guard(Lock());
            if (finished_) return;
            timeoutMs = NextTimeoutMs(NowMs());
            background = keyboardPaused_ || suspended_.load(std::memory_order_acquire);
            if (background && (timeoutMs < 0 || timeoutMs > ForegroundCheckMs)) {
                timeoutMs = ForegroundCheckMs;
            }
            if (readsKeyboard_ && !keyboardEnded_ && !keyboardPaused_) count = 2;
        }
        // Brought to the foreground with no signal (the shell's fg of a job that runs).
        if (background && terminal::InForeground()) terminal::TakeBack();
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {keyboardFd_, POLLIN, 0}};
        if (poll(fds, count, timeoutMs) > 0) {
            if (fds[0].revents != 0) {
                char drained[64];
                while (read(wakeRead_, drained, sizeof drained) > 0) {
                }
            }
            if (count == 2 && fds[1].revents != 0) ReadKeyboard();
        }
        bool interrupt = false;
        {
            HostGuard guard(Lock());
            if (finished_) return;
            const std::int64_t now = NowMs();
            if (holding_ && now - heldSinceMs_ >= SequenceWaitMs) {
                // What is held is keys after all.
                ConsoleKeyboard().TakeHeldBytes();
                holding_ = false;
                NoteInput();
            }
            Screen();
            if (frameWanted_ || (changed_ && now - firstChangeMs_ >= FrameDelayMs)) Compose();
            interrupt = interruptPending_;
            interruptPending_ = false;
        }
        WriteComposed();
        // As the Windows console sends its Ctrl+C event: to the program, at once.
        if (interrupt) kill(getpid(), SIGINT);
    }
}

int ConsoleHost::NextTimeoutMs(std::int64_t now) const {
    std::int64_t due = -1;
    const auto sooner = [&](std::int64_t at) {
        if (due < 0 || at < due) due = at;
    };
    if (frameWanted_) return 0;
    if (holding_) sooner(heldSinceMs_ + SequenceWaitMs);
    if (changed_) sooner(firstChangeMs_ + FrameDelayMs);
    if (due < 0) return -1;
    return due <= now ? 0 : static_cast<int>(due - now);
}

void ConsoleHost::ReadKeyboard() {
    unsigned char chunk[KeyboardChunk];
    ssize_t n = 0;
    do {
        n = read(keyboardFd_, chunk, sizeof chunk);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;

    HostGuard guard(Lock());
    if (n < 0 && errno == EIO) {
        // A process in the background cannot read its terminal: that is no end of the input.
        const pid_t foreground = tcgetpgrp(keyboardFd_);
        if (foreground >= 0 && foreground != getpgrp()) {
            keyboardPaused_ = true;
            return;
        }
    }
    KeyboardSink& keyboard = ConsoleKeyboard();
    if (n <= 0) {
        // End of file, or a terminal that hung up: what is held is keys, and no more come.
        keyboardEnded_ = true;
        keyboard.TakeHeldBytes();
        keyboard.KeyboardEnded();
        holding_ = false;
        NoteInput();
        return;
    }
    // The terminal's answers to the host's own questions come back through TakeReport.
    holding_ =
        keyboard.TakeKeyboardBytes(chunk, static_cast<std::size_t>(n), terminal::AnswersOwed());
    if (holding_) heldSinceMs_ = NowMs();
    NoteInput();
}

void ConsoleHost::TakeReport(const platform::TerminalReport& report) {
    using Report = platform::TerminalReport;
    if (report.kind == Report::Kind::DeviceAttributes) {
        // The answer to the takeover's last question, later than the takeover waited for it.
        terminal::AnswersArrived();
    } else if (report.kind == Report::Kind::WindowSize && report.count >= 3) {
        TakeSize(static_cast<int>(report.values[2]), static_cast<int>(report.values[1]));
    }
}

void ConsoleHost::NoteInput() {
    inputCount_.fetch_add(1, std::memory_order_release);
    inputCount_.notify_all();
}

void ConsoleHost::WaitForInput(std::uint32_t seen) {
    if (!readsKeyboard_ || keyboardEnded_) return;
    if (threadRunning_) {
        HostUnlocked unlocked(Lock());
        inputCount_.wait(seen, std::memory_order_acquire);
        return;
    }
    // No host thread: the keyboard is read here, with the same timer for a held sequence.
    const int timeoutMs = holding_ ? SequenceWaitMs : -1;
    pollfd in{keyboardFd_ >= 0 ? keyboardFd_ : STDIN_FILENO, POLLIN, 0};
    int ready = 0;
    {
        HostUnlocked unlocked(Lock());
        ready = poll(&in, 1, timeoutMs);
    }
    if (ready > 0) {
        HostUnlocked unlocked(Lock());
        ReadKeyboard();
    } else if (ready == 0 && holding_) {
        ConsoleKeyboard().TakeHeldBytes();
        holding_ = false;
        NoteInput();
    }
}

ScreenBuffer& ConsoleHost::Screen() {
    if (threadWanted_) {
        threadWanted_ = false;
        unusedChild_ = false;
        StartThread();
    }
    if (TerminalResized.load() != 0) FollowTerminalSize();
    if (Continued.exchange(0) != 0) {
        keyboardPaused_ = false;
        // Whatever ran while the process was stopped may have drawn over the screen.
        if (mode_ == Mode::Terminal) {
            renderer_.Reset(WindowColumns(), WindowRows(), Renderer::Start::Redraw);
            screen_.ForgetTerminalRows();
            frameWanted_ = true;
            WakeHostThread();
        }
    }
    return screen_;
}

void ConsoleHost::FollowTerminalSize() {
    TerminalResized.store(0);
    int columns = 0;
    int rows = 0;
    if (mode_ != Mode::Terminal || !TerminalSize(displayFd_, columns, rows)) return;
    TakeSize(columns, rows);
}

void ConsoleHost::TakeSize(int columns, int rows) {
    if (mode_ != Mode::Terminal || !ValidSize(columns, rows)) return;
    if (columns == WindowColumns() && rows == WindowRows()) return;
    // The window takes the terminal's size where it stands, moved to show the cursor; the
    // buffer grows where it must and loses no cell.
    screen_.SetWindowSize(columns, rows);
    // The terminal has rearranged what it showed: draw everything again.
    renderer_.Reset(columns, rows, Renderer::Start::Redraw);
    screen_.ForgetTerminalRows();
    frameWanted_ = true;
    WakeHostThread();
}

void ConsoleHost::Write(const char* text, std::size_t length) {
    if (mode_ == Mode::Terminal) {
        WriteShown(text, length);
        return;
    }
    Screen().Write(text, length);
    if (mode_ == Mode::Plain) {
        static_cast<void>(screen_.TakeChanges());
        // A pipe nobody reads may block the write: the host thread, which acts on Ctrl+C,
        // must not wait for the lock meanwhile.
        HostUnlocked unlocked(Lock());
        WriteOut(text, length);
    } else {
        Show();
    }
}

void ConsoleHost::WriteShown(const char* text, std::size_t length) {
    // A row that leaves the buffer's top before a frame has shown it never reaches the
    // terminal's history: a frame is made as soon as `room` rows are waiting to be shown,
    // whether or not the host thread is still writing the last one. Output that scrolls a
    // screenful while the terminal is idle is made into a frame at once too, so that it
    // streams as printed text does, instead of waiting for the next frame's time. The text goes
    // in pieces of at most that many lines, cut only after a line feed, where the write's own
    // wrapping is the same.
    ScreenBuffer& screen = Screen();
    const int room = std::max(1, (screen.Rows() - screen.WindowRows()) / 2);
    const int screenful = std::min(room, screen.WindowRows());
    while (length > 0) {
        std::size_t piece = 0;
        for (int lines = 0; piece < length && lines < screenful;) {
            const void* feed = std::memchr(text + piece, '\n', length - piece);
            if (feed == nullptr) {
                piece = length;
                break;
            }
            piece = static_cast<std::size_t>(static_cast<const char*>(feed) - text) + 1;
            ++lines;
        }
        screen.Write(text, piece);
        text += piece;
        length -= piece;
        const int pending = screen.PendingScroll();
        const bool idle = !writerBusy_.load(std::memory_order_acquire) && composed_.Empty();
        // Beyond MostPendingFrameBytes waiting for a terminal that is far behind, rows are lost
        // rather than memory taken without end.
        if ((pending >= room || (pending >= screenful && idle)) && !finished_ &&
            composed_.Size() < MostPendingFrameBytes) {
            frameWanted_ = false;
            changed_ = false;
            renderer_.Render(screen_, WindowTop(), composed_);
            composedAtLineStart_ = renderer_.AtLineStart();
            if (threadRunning_) {
                WakeHostThread();
            } else {
                WriteFrame(composed_.Data(), composed_.Size(), composedAtLineStart_);
                composed_.Clear();
            }
        }
    }
    Show();
}

bool ConsoleHost::Resize(int columns, int rows) {
    if (!ValidSize(columns, rows)) return false;
    Screen();
    if (columns < WindowColumns() || rows < WindowRows()) return false;
    screen_.Resize(columns, rows);
    Show();
    return true;
}

void ConsoleHost::Show() {
    if (mode_ != Mode::Terminal) {
        static_cast<void>(screen_.TakeChanges());
        return;
    }
    if (finished_) {
        if (terminal::HandedBack()) DrawAfterHandBack();
        return;
    }
    if (!threadRunning_) {
        ShowNow();
        return;
    }
    if (changed_) return;
    changed_ = true;
    firstChangeMs_ = NowMs();
    WakeHostThread();
}

void ConsoleHost::ShowNow() {
    if (mode_ != Mode::Terminal) return;
    Screen();
    if (finished_) {
        if (terminal::HandedBack()) DrawAfterHandBack();
        return;
    }
    if (!changed_ && !frameWanted_) return;
    Compose();
    if (!threadRunning_) {
        WriteFrame(composed_.Data(), composed_.Size(), composedAtLineStart_);
        composed_.Clear();
    } else if (!composed_.Empty()) {
        WakeHostThread();
    }
}

void ConsoleHost::DrawAfterHandBack() {
    // Text written as the process ends, after the terminal was handed back (a static
    // destructor's): drawn at once, and the terminal handed back again after it.
    if (unusedChild_) return;
    composed_.Clear();
    renderer_.Render(screen_, WindowTop(), composed_);
    if (composed_.Empty()) return;
    renderer_.Finish(&screen_, WindowTop(), composed_);
    terminal::DrawAfterHandBack(composed_.Data(), composed_.Size());
    composed_.Clear();
}

void ConsoleHost::Compose() {
    if (mode_ != Mode::Terminal || finished_) return;
    if (suspended_.load(std::memory_order_acquire)) {
        // Drawn again whole once the process is back in the foreground.
        frameWanted_ = false;
        changed_ = false;
        return;
    }
    if (writerBusy_.load(std::memory_order_acquire)) {
        // Made as soon as the write in progress is done.
        frameWanted_ = true;
        return;
    }
    frameWanted_ = false;
    changed_ = false;
    renderer_.Render(screen_, WindowTop(), composed_);
    composedAtLineStart_ = renderer_.AtLineStart();
}

void ConsoleHost::WriteComposed() {
    for (;;) {
        bool atLineStart = false;
        {
            HostGuard guard(Lock());
            if (frameWanted_) Compose();
            if (composed_.Empty() || finished_) return;
            writing_.Swap(composed_);
            atLineStart = composedAtLineStart_;
            writerBusy_.store(true, std::memory_order_release);
        }
        if (!suspended_.load(std::memory_order_acquire)) {
            WriteFrame(writing_.Data(), writing_.Size(), atLineStart);
        }
        writing_.Clear();
        writerBusy_.store(false, std::memory_order_release);
    }
}

void ConsoleHost::WriteOut(const char* bytes, std::size_t length) {
    // A terminal that is gone loses what is left, as a failed console write loses its text.
    WriteAll(mode_ == Mode::Terminal ? displayFd_ : STDOUT_FILENO, bytes, length);
}

void ConsoleHost::WriteFrame(const char* bytes, std::size_t length, bool atLineStart) {
    // The guardian knows whether a frame was cut short, and where the cursor was left.
    guardian::FrameStarted();
    WriteOut(bytes, length);
    guardian::FrameEnded(atLineStart);
}

// Everything from here to Resume is safe in a signal handler: no allocation, no lock waited
// for without end.
void ConsoleHost::Leave() {
    if (unusedChild_) return;
    HostLock& lock = Lock();
    // Interrupted inside a console call, the buffer may be half changed: the last frame drawn
    // stays. Otherwise the host thread lets go of the lock in a moment.
    const bool inside = lock.HeldByCaller();
    bool locked = false;
    for (int i = 0; !inside && i < LeaveWaitMs && !(locked = lock.try_lock()); ++i)
        Nap();
    // A frame being written is written whole.
    for (int i = 0; i < LeaveWaitMs && writerBusy_.load(std::memory_order_acquire); ++i)
        Nap();
    if (mode_ == Mode::Terminal && !finished_) {
        lastFrame_.Clear();
        if (locked) {
            lastFrame_.Append(std::string_view(composed_.Data(), composed_.Size()));
            composed_.Clear();
            renderer_.Render(screen_, WindowTop(), lastFrame_);
        }
        renderer_.Finish(locked ? &screen_ : nullptr, WindowTop(), lastFrame_);
        guardian::FrameStarted();
        lastFrame_.Spill();
        guardian::FrameEnded(renderer_.AtLineStart());
    }
    // Nothing is drawn until the terminal is taken back (after a stop), or ever again; the
    // lock stays taken so that no frame starts before the process ends.
    finished_ = true;
    leftLocked_ = locked;
}

void ConsoleHost::Suspend() {
    // Drawing stops; the host thread runs on, reading no keys and looking now and then whether
    // the process is in the foreground again.
    suspended_.store(true, std::memory_order_release);
    finished_ = false;
    if (leftLocked_) {
        leftLocked_ = false;
        Lock().unlock();
    }
    WakeHostThread();
}

void ConsoleHost::Resume() {
    suspended_.store(false, std::memory_order_release);
    if (mode_ == Mode::Terminal) Continued.store(1);
    finished_ = false;
    if (leftLocked_) {
        leftLocked_ = false;
        Lock().unlock();
    }
    WakeHostThread();
}

void ConsoleHost::LeaveHook() {
    // Never the host's first use: a signal that comes while the host is being made finds none.
    if (ConsoleHost* host = Started()) host->Leave();
}

void ConsoleHost::SuspendHook() {
    if (ConsoleHost* host = Started()) host->Suspend();
}

void ConsoleHost::ResumeHook() {
    if (ConsoleHost* host = Started()) host->Resume();
}

void ConsoleHost::PrepareFork() {
    Lock().lock();
    // The terminal is brought in line first, so that the child starts from what it shows.
    ConsoleHost& host = Instance();
    while (host.writerBusy_.load(std::memory_order_acquire))
        Nap();
    if (host.mode_ != Mode::Terminal || host.finished_) return;
    if (host.changed_ || host.frameWanted_) host.Compose();
    host.WriteFrame(host.composed_.Data(), host.composed_.Size(), host.composedAtLineStart_);
    host.composed_.Clear();
}

void ConsoleHost::AfterForkInParent() {
    Lock().unlock();
}

void ConsoleHost::AfterForkInChild() {
    // The terminal's guardian watches the program, not its children.
    guardian::DropInChild();
    // Only the forking thread is left: the child gets a host thread of its own.
    ConsoleHost& host = Instance();
    if (host.wakeRead_ >= 0) {
        close(host.wakeRead_);
        close(host.wakeWrite_);
    }
    host.wakeRead_ = host.wakeWrite_ = -1;
    WakeFd = -1;
    host.threadRunning_ = false;
    host.writerBusy_.store(false);
    host.writing_.Clear();
    host.composed_.Clear();
    host.threadWanted_ = !host.finished_;
    host.unusedChild_ = true;
    Lock().unlock();
}

}  // namespace conlib::posix

namespace conlib::win {

namespace {

using posix::ConsoleHost;

// The host behind a console output handle, or null (with the last error set) for any other
// handle.
ConsoleHost* OutputHost(HANDLE handle) {
    if (!posix::IsConsoleOutput(handle)) {
        SetLastError(EBADF);
        return nullptr;
    }
    return &ConsoleHost::Instance();
}

void Store(LPDWORD place, std::size_t value) {
    if (place != nullptr) *place = static_cast<DWORD>(value);
}

// The cell calls: `cells` reads or writes the buffer and returns the number of cells it
// covered (none from a start outside the buffer, which is no failure); a write is then shown.
template <class CellWork>
BOOL CellCall(HANDLE handle, LPDWORD count, bool writes, CellWork cells) {
    posix::HostGuard guard(ConsoleHost::Lock());
    Store(count, 0);
    ConsoleHost* host = OutputHost(handle);
    if (host == nullptr) return FALSE;
    Store(count, cells(host->Screen()));
    if (writes) host->Show();
    return TRUE;
}

}  // namespace

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID) {
    posix::HostGuard guard(ConsoleHost::Lock());
    Store(lpNumberOfCharsWritten, 0);
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    host->Write(static_cast<const char*>(lpBuffer), nNumberOfCharsToWrite);
    Store(lpNumberOfCharsWritten, nNumberOfCharsToWrite);
    return TRUE;
}

BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info) {
    posix::HostGuard guard(ConsoleHost::Lock());
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    const posix::ScreenBuffer& screen = host->Screen();
    const auto columns = static_cast<SHORT>(screen.Columns());
    const auto rows = static_cast<SHORT>(screen.Rows());
    info->dwSize = {columns, rows};
    info->dwCursorPosition = {static_cast<SHORT>(screen.CursorX()),
                              static_cast<SHORT>(screen.CursorY())};
    info->wAttributes = screen.Attribute();
    const auto windowColumns = static_cast<SHORT>(host->WindowColumns());
    const auto windowRows = static_cast<SHORT>(host->WindowRows());
    const auto left = static_cast<SHORT>(host->WindowLeft());
    const auto top = static_cast<SHORT>(host->WindowTop());
    info->srWindow = {left, top, static_cast<SHORT>(left + windowColumns - 1),
                      static_cast<SHORT>(top + windowRows - 1)};
    info->dwMaximumWindowSize = {windowColumns, windowRows};
    return TRUE;
}

BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition) {
    posix::HostGuard guard(ConsoleHost::Lock());
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    if (!host->Screen().SetCursor(dwCursorPosition.X, dwCursorPosition.Y)) {
        SetLastError(EINVAL);
        return FALSE;
    }
    host->Show();
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes) {
    posix::HostGuard guard(ConsoleHost::Lock());
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    host->Screen().SetAttribute(wAttributes);
    return TRUE;
}

BOOL SetConsoleScreenBufferSize(HANDLE hConsoleOutput, COORD dwSize) {
    posix::HostGuard guard(ConsoleHost::Lock());
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    if (!host->Resize(dwSize.X, dwSize.Y)) {
        SetLastError(EINVAL);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteConsoleOutputCharacterA(HANDLE hConsoleOutput, LPCSTR lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, LPDWORD lpNumberOfCharsWritten) {
    return CellCall(hConsoleOutput, lpNumberOfCharsWritten, true, [&](posix::ScreenBuffer& s) {
        return s.WriteCharacters(lpCharacter, nLength, dwWriteCoord.X, dwWriteCoord.Y);
    });
}

BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* lpAttribute, DWORD nLength,
                                 COORD dwWriteCoord, LPDWORD lpNumberOfAttrsWritten) {
    return CellCall(hConsoleOutput, lpNumberOfAttrsWritten, true, [&](posix::ScreenBuffer& s) {
        return s.WriteAttributes(lpAttribute, nLength, dwWriteCoord.X, dwWriteCoord.Y);
    });
}

BOOL ReadConsoleOutputCharacterA(HANDLE hConsoleOutput, LPSTR lpCharacter, DWORD nLength,
                                 COORD dwReadCoord, LPDWORD lpNumberOfCharsRead) {
    return CellCall(hConsoleOutput, lpNumberOfCharsRead, false, [&](posix::ScreenBuffer& s) {
        return s.ReadCharacters(lpCharacter, nLength, dwReadCoord.X, dwReadCoord.Y);
    });
}

BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* lpAttribute, DWORD nLength,
                                COORD dwReadCoord, LPDWORD lpNumberOfAttrsRead) {
    return CellCall(hConsoleOutput, lpNumberOfAttrsRead, false, [&](posix::ScreenBuffer& s) {
        return s.ReadAttributes(lpAttribute, nLength, dwReadCoord.X, dwReadCoord.Y);
    });
}

}  // namespace conlib::win
