// The guardian process: made at takeover, it waits for the pipe only the program writes to, and
// puts the terminal back when the pipe ends while the host holds it.
//
// Once made, the processes here run nothing but async-signal-safe calls: the program may have
// had other threads, whose locks (the allocator's among them) are copied in whatever state they
// were. Everything they need is copied into a Setup before they are made.
#include "guardian.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace conlib::posix::guardian {

namespace {

// What the program tells the guardian, in a page both share.
struct Shared {
    std::atomic<bool> held{true};
    std::atomic<bool> inFrame{false};
    std::atomic<bool> atLineStart{false};
    // Set by the process that makes the guardian, before it ends.
    std::atomic<pid_t> guardian{-1};
};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "the shared state is read and written from other processes and signal handlers");

// The descriptors the fallback loop closes at most, when the system cannot close a range.
constexpr long MostDescriptors = 65536;

// What the processes made here need, copied with the program's memory.
struct Setup {
    Shared* shared = nullptr;
    int fd = -1;
    int readEnd = -1;
    int openMax = 0;
    termios original{};
    termios ours{};
    char resets[MaxResets]{};
    std::size_t resetsLength = 0;
};

std::atomic<bool> Started{false};
// This process's view: null before Start and in a child that let go.
std::atomic<Shared*> Current{nullptr};
std::atomic<int> WriteEnd{-1};
static_assert(std::atomic<Shared*>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "used in signal handlers and fork handlers");
pid_t Process = -1;
bool ForceFork = false;

// The signals of a terminal and of a closed pipe: none of them may end the guardian.
constexpr int IgnoredSignals[] = {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGHUP, SIGPIPE};

bool Ignored(int signal) {
    for (const int ignored : IgnoredSignals) {
        if (ignored == signal) return true;
    }
    return false;
}

#if defined(__linux__) && defined(SYS_clone) && defined(__WCLONE)
#define CONLIB_GUARDIAN_CLONE 1
// clone(2) with nothing shared and no new stack: a copy of the calling thread in a process of
// its own, as fork makes, but without the C library's fork handlers, and sending its parent
// `exitSignal` (0: nothing) at its end.
pid_t Clone(int exitSignal) {
    const long flags = exitSignal;
#if defined(__s390__) || defined(__CRIS__)
    return static_cast<pid_t>(syscall(SYS_clone, 0L, flags, 0L, 0L, 0L));
#else
    return static_cast<pid_t>(syscall(SYS_clone, flags, 0L, 0L, 0L, 0L));
#endif
}
#endif

// fork() without the program's pthread_atfork handlers where the C library has one: neither
// process made here runs any of the program's code.
pid_t ForkBare() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return _Fork();
#else
    return fork();
#endif
}

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Closes the descriptors from `first` to `last`, both included.
void CloseRange(int first, int last, int openMax) {
    if (first > last) return;
#ifdef SYS_close_range
    if (syscall(SYS_close_range, static_cast<unsigned long>(first),
                static_cast<unsigned long>(last), 0UL) == 0) {
        return;
    }
#endif
    for (int fd = first; fd <= last && fd < openMax; ++fd)
        close(fd);
}

// Closes every descriptor but `a` and `b`.
void KeepOnly(int a, int b, int openMax) {
    const int low = a < b ? a : b;
    const int high = a < b ? b : a;
    CloseRange(0, low - 1, openMax);
    CloseRange(low + 1, high - 1, openMax);
    CloseRange(high + 1, INT_MAX, openMax);
}

// Writes all of `text`, waiting a while when the terminal takes no more (a descriptor that does
// not block); gives up when writing fails or the terminal stays full.
void WriteAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(fd, text, length);
        if (written > 0) {
            text += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room{fd, POLLOUT, 0};
            if (poll(&room, 1, 1000) > 0) continue;
        }
        return;
    }
}

// Puts the terminal back, if the host still held it when the program ended.
void PutBack(const Setup& setup) {
    const Shared& shared = *setup.shared;
    if (!shared.held.load(std::memory_order_acquire)) return;
    static constexpr char Cancel[] = "\x18";
    static constexpr char EndUpdate[] = "\x1b[?2026l";
    static constexpr char DefaultRendition[] = "\x1b[m";
    char text[sizeof Cancel + sizeof EndUpdate + sizeof DefaultRendition + MaxResets + 2];
    std::size_t length = 0;
    const auto add = [&](const char* bytes, std::size_t count) {
        std::memcpy(text + length, bytes, count);
        length += count;
    };
    add(Cancel, sizeof Cancel - 1);
    if (shared.inFrame.load(std::memory_order_acquire)) add(EndUpdate, sizeof EndUpdate - 1);
    add(DefaultRendition, sizeof DefaultRendition - 1);
    add(setup.resets, setup.resetsLength);
    // A line break only where the program's output did not end one: the shell may have
    // written its prompt already, which a carriage return would put the next command over.
    const bool inFrame = shared.inFrame.load(std::memory_order_acquire);
    const bool lineBreak = inFrame || !shared.atLineStart.load(std::memory_order_acquire);

    // The settings first, at once: the shell that waited for the program may read them for its
    // own use as soon as it runs (a line editor keeps what it finds, to put back after each
    // line), and must find its own.
    termios now{};
    if (tcgetattr(setup.fd, &now) == 0 && SameSettings(now, setup.ours)) {
        while (tcsetattr(setup.fd, TCSANOW, &setup.original) != 0 && errno == EINTR) {
        }
        now = setup.original;
    }
    // A terminal that processes its output turns a line feed into both itself.
    const tcflag_t newLineOut = OPOST | ONLCR;
    if (lineBreak) {
        if ((now.c_oflag & newLineOut) == newLineOut) {
            add("\n", 1);
        } else {
            add("\r\n", 2);
        }
    }
    WriteAll(setup.fd, text, length);
}

[[noreturn]] void Guard(const Setup& setup) {
    // Out of the program's session and process group: no signal sent to its job reaches this
    // process, and the terminal, no longer its controlling one, raises no SIGTTOU here.
    if (setsid() < 0) setpgid(0, 0);
    KeepOnly(setup.fd, setup.readEnd, setup.openMax);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    // The program never writes: the read returns at the end, once every write end is closed.
    for (;;) {
        char byte = 0;
        const ssize_t got = read(setup.readEnd, &byte, 1);
        if (got == 0) break;
        // No other failure is to be had on a pipe; without the pipe there is nothing to wait for,
        // and acting now could spoil the program's screen.
        if (got < 0 && errno != EINTR) _exit(1);
    }
    PutBack(setup);
    _exit(0);
}

// The program's handlers, copied with its memory, must never run in the processes made here:
// every signal takes its default action but those the guardian ignores. All signals stay
// blocked (as the caller blocked them) until that is done.
void QuietSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP) continue;
        struct sigaction action {};
        action.sa_handler = Ignored(signal) ? SIG_IGN : SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// The process between the program and the guardian: makes the guardian, tells the program its
// id, and ends, leaving the guardian to init.
[[noreturn]] void Intermediate(const Setup& setup, bool cloned) {
    QuietSignals();
    pid_t guardian = -1;
#ifdef CONLIB_GUARDIAN_CLONE
    if (cloned) guardian = Clone(SIGCHLD);
#endif
    if (!cloned) guardian = ForkBare();
    if (guardian == 0) Guard(setup);
    if (guardian < 0) _exit(1);
    setup.shared->guardian.store(guardian, std::memory_order_release);
    _exit(0);
}

void Reap(pid_t pid, int options) {
    while (waitpid(pid, nullptr, options) < 0 && errno == EINTR) {
    }
}

// With a plain fork, the intermediate's end raises SIGCHLD; the caller has every signal
// blocked, and takes that one back unless one was already pending for a child of the
// program's. (Another thread with SIGCHLD unblocked may still receive it.)
void SpawnWithFork(const Setup& setup) {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGCHLD) == 1;
    const pid_t intermediate = ForkBare();
    if (intermediate == 0) Intermediate(setup, false);
    if (intermediate < 0) return;
    // Another thread's wait(-1) may reap it first: its report in the shared page is what counts.
    Reap(intermediate, 0);
    if (!wasPending) {
        sigset_t child;
        sigemptyset(&child);
        sigaddset(&child, SIGCHLD);
        const timespec none{0, 0};
        sigtimedwait(&child, nullptr, &none);
    }
}

// Makes the guardian through an intermediate process the program reaps; true when it was made.
bool Spawn(const Setup& setup) {
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &saved);
    bool forked = true;
#ifdef CONLIB_GUARDIAN_CLONE
    if (!ForceFork) {
        // Its end sends no signal, and only a wait with __WCLONE (or __WALL) sees it.
        const pid_t intermediate = Clone(0);
        if (intermediate == 0) Intermediate(setup, true);
        if (intermediate > 0) {
            Reap(intermediate, static_cast<int>(__WCLONE));
            forked = false;
        }
    }
#endif
    if (forked) SpawnWithFork(setup);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return setup.shared->guardian.load(std::memory_order_acquire) > 0;
}

// The pipe, both ends closed at exec. A write end among the standard descriptors (the program
// started with one closed) is moved above them: the program's next dup2 onto it would close it,
// and the guardian would act while the program runs.
bool MakePipe(int ends[2]) {
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    if (ends[1] <= STDERR_FILENO) {
        const int moved = fcntl(ends[1], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(ends[1]);
        if (moved < 0) {
            close(ends[0]);
            return false;
        }
        ends[1] = moved;
    }
    return true;
}

}  // namespace

bool Start(int fd, const termios& original, const termios& ours, const char* resets,
           std::size_t resetsLength) {
    if (Started.exchange(true)) return false;
    if (fd < 0 || resetsLength > MaxResets || (resets == nullptr && resetsLength > 0)) {
        return false;
    }
    Setup setup;
    setup.fd = fd;
    setup.original = original;
    setup.ours = ours;
    if (resetsLength > 0) std::memcpy(setup.resets, resets, resetsLength);
    setup.resetsLength = resetsLength;
    const long openMax = sysconf(_SC_OPEN_MAX);
    setup.openMax =
        static_cast<int>(openMax <= 0 || openMax > MostDescriptors ? MostDescriptors : openMax);

    void* page =
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return false;
    setup.shared = new (page) Shared;
    int ends[2];
    if (!MakePipe(ends)) {
        munmap(page, sizeof(Shared));
        return false;
    }
    setup.readEnd = ends[0];
    // Known before the guardian is made, so that a child another thread forks meanwhile lets go
    // of its copy too.
    WriteEnd.store(ends[1]);
    const bool made = Spawn(setup);
    close(ends[0]);
    if (!made) {
        const int writeEnd = WriteEnd.exchange(-1);
        if (writeEnd >= 0) close(writeEnd);
        munmap(page, sizeof(Shared));
        return false;
    }
    Process = setup.shared->guardian.load(std::memory_order_acquire);
    Current.store(setup.shared, std::memory_order_release);
    return true;
}

void SetHeld(bool held) {
    if (Shared* shared = Current.load(std::memory_order_acquire)) {
        shared->held.store(held, std::memory_order_release);
    }
}

void FrameStarted() {
    if (Shared* shared = Current.load(std::memory_order_acquire)) {
        shared->inFrame.store(true, std::memory_order_release);
    }
}

void FrameEnded(bool atLineStart) {
    if (Shared* shared = Current.load(std::memory_order_acquire)) {
        shared->atLineStart.store(atLineStart, std::memory_order_release);
        shared->inFrame.store(false, std::memory_order_release);
    }
}

void DropInChild() {
    Current.store(nullptr, std::memory_order_release);
    const int writeEnd = WriteEnd.exchange(-1);
    if (writeEnd >= 0) close(writeEnd);
}

pid_t ProcessForTests() {
    return Process;
}

void UseForkForTests() {
    ForceFork = true;
}

}  // namespace conlib::posix::guardian
