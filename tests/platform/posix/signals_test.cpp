// A program waiting for a key on a terminal, ended by each signal that ends a process, by a
// division by zero and by quick_exit: the terminal's settings are as they were before it
// started, and the process ends with the signal's status. A program's own handlers, installed
// before or after the library's, run and the process goes on.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

void Pause(long milliseconds) {
    timespec rest{0, milliseconds * 1000000L};
    nanosleep(&rest, nullptr);
}

// The probe on a pseudo-terminal of its own (its controlling terminal).
class Probe {
  public:
    // `answers`: what the terminal answers to the probe's questions, up to the answer for its
    // attributes, which every terminal gives.
    explicit Probe(const char* what, std::string answers = "") : answers_(std::move(answers)) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(grantpt(master_), 0);
        EXPECT_EQ(unlockpt(master_), 0);
        const std::string name = ptsname(master_);
        // Kept open, so that the terminal's settings can still be read once the probe is gone.
        slave_ = open(name.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(slave_, 0);
        EXPECT_EQ(tcgetattr(slave_, &original_), 0);
        // A terminal's size, so that the probe draws on it as on any terminal.
        const winsize size{24, 80, 0, 0};
        EXPECT_EQ(ioctl(slave_, TIOCSWINSZ, &size), 0);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        child_ = fork();
        if (child_ == 0) {
            setsid();
            const int terminal = open(name.c_str(), O_RDWR);
            if (terminal < 0) _exit(120);
            dup2(terminal, 0);
            dup2(terminal, 1);
            dup2(terminal, 2);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            // Sanitizers in the test build would take these signals for themselves.
            setenv("ASAN_OPTIONS",
                   "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
                   "handle_abort=0:detect_leaks=0",
                   1);
            execl(CONLIB_SIGNAL_PROBE_PATH, CONLIB_SIGNAL_PROBE_PATH, what,
                  static_cast<char*>(nullptr));
            _exit(121);
        }
    }
    ~Probe() {
        if (child_ > 0 && status_ < 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }

    const termios& original() const { return original_; }
    termios Now() const {
        termios now{};
        tcgetattr(slave_, &now);
        return now;
    }

    // Reads what the probe wrote, until `text` is in it; false after 10 seconds.
    bool WaitFor(const std::string& text) {
        for (int i = 0; i < 1000; ++i) {
            Drain();
            if (output_.find(text) != std::string::npos) return true;
            Pause(10);
        }
        return false;
    }

    // Waits until the probe has taken the keyboard over (no echo any more).
    bool WaitForTakeOver() {
        if (!WaitFor("ready")) return false;
        return (Now().c_lflag & ECHO) == 0;
    }

    // Sends `signal`; false when the system refuses to send it at all (a 32-bit process on some
    // kernels cannot send the highest real-time signal).
    bool Signal(int signal) {
        if (kill(child_, signal) == 0) return true;
        EXPECT_EQ(errno, EINVAL);
        return false;
    }

    // The probe's status once it has ended; -1 when it is still running after `waitMs`.
    int Status(int waitMs = 10000) {
        for (int i = 0; i < waitMs / 10 && status_ < 0; ++i) {
            Drain();
            int status = 0;
            if (waitpid(child_, &status, WNOHANG) == child_) {
                status_ = status;
            } else {
                Pause(10);
            }
        }
        return status_;
    }

    bool Running() {
        int status = 0;
        return waitpid(child_, &status, WNOHANG) == 0;
    }

    const std::string& output() const { return output_; }

  private:
    // Reads what the probe wrote, and answers its question for the terminal's attributes as a
    // terminal does, so that its takeover need not wait for an answer that never comes.
    void Drain() {
        char buffer[512];
        ssize_t n = 0;
        while ((n = read(master_, buffer, sizeof buffer)) > 0)
            output_.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at = 0; (at = output_.find("\x1b[c", at)) != std::string::npos; ++at) {
            if (at < answered_) continue;
            const std::string answer = answers_ + "\x1b[?1;2c";
            EXPECT_EQ(write(master_, answer.data(), answer.size()),
                      static_cast<ssize_t>(answer.size()));
            answered_ = at + 1;
        }
    }

    int master_ = -1;
    int slave_ = -1;
    termios original_{};
    pid_t child_ = -1;
    int status_ = -1;
    std::string output_;
    std::string answers_;
    std::size_t answered_ = 0;  // the questions before this place in output_ are answered
};

std::string Described(int status) {
    if (WIFSIGNALED(status)) return "killed by " + std::string(strsignal(WTERMSIG(status)));
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    return "status " + std::to_string(status);
}

TEST(Signals, EachSignalThatEndsTheProcessLeavesTheTerminalAsItWas) {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                SIGFPE,  SIGSEGV, SIGUSR1,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                                SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS};
#ifdef SIGRTMIN
    signals.push_back(SIGRTMIN);
    signals.push_back(SIGRTMAX);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGIO
    signals.push_back(SIGIO);
#endif
    for (const int signal : signals) {
        SCOPED_TRACE(strsignal(signal));
        Probe probe("wait");
        ASSERT_TRUE(probe.WaitForTakeOver()) << probe.output();
        if (!probe.Signal(signal)) continue;
        // Some sandboxed kernels now and then lose a signal sent to a 32-bit process: it never
        // reaches a handler, and the keyboard stays taken over. That one is sent again; a
        // handler that put the terminal back and did not end the process still fails.
        int status = probe.Status(2000);
        for (int again = 0; again < 3 && status < 0 && (probe.Now().c_lflag & ECHO) == 0; ++again) {
            probe.Signal(signal);
            status = probe.Status(2000);
        }
        if (status < 0) status = probe.Status();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << Described(status);
        EXPECT_TRUE(SameSettings(probe.Now(), probe.original()));
    }
}

TEST(Signals, ADivisionByZeroAndQuickExitLeaveTheTerminalAsItWas) {
    {
        Probe probe("divide");
        const int status = probe.Status();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGFPE) << Described(status);
        EXPECT_TRUE(SameSettings(probe.Now(), probe.original()));
    }
    {
        Probe probe("quick-exit");
        const int status = probe.Status();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << Described(status);
        EXPECT_TRUE(SameSettings(probe.Now(), probe.original()));
    }
}

// A handler of the program's own runs, the process goes on with the keyboard taken over, and a
// later signal without a handler still ends it as it should.
TEST(Signals, TheProgramsOwnHandlersKeepWorking) {
    const struct {
        const char* what;
        int signal;
    } cases[] = {{"handler-before", SIGUSR1}, {"handler-after", SIGUSR2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Probe probe(c.what);
        ASSERT_TRUE(probe.WaitForTakeOver()) << probe.output();
        ASSERT_TRUE(probe.Signal(c.signal));
        EXPECT_TRUE(probe.WaitFor("handled " + std::to_string(c.signal))) << probe.output();
        Pause(50);
        EXPECT_TRUE(probe.Running());
        EXPECT_EQ(probe.Now().c_lflag & ECHO, 0u);
        ASSERT_TRUE(probe.Signal(SIGTERM));
        const int status = probe.Status();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << Described(status);
        EXPECT_TRUE(SameSettings(probe.Now(), probe.original()));
    }
}

// The takeover sets a mode only where the terminal said it was off, and the hand-back puts
// exactly those back: a mode the terminal (or its user) had on stays on, and one it did not
// answer for is never touched.
TEST(Signals, TheHandBackPutsBackOnlyTheModesTheTakeoverSet) {
    const struct {
        const char* answers;
        bool set;
    } cases[] = {
        {"\x1b[?1036;2$y", true},   // off: set, and put back off
        {"\x1b[?1036;1$y", false},  // on already: left on
        {"\x1b[?1036;0$y", false},  // not known to the terminal
        {"", false},                // no answer at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        Probe probe("wait", c.answers);
        ASSERT_TRUE(probe.WaitForTakeOver()) << probe.output();
        ASSERT_TRUE(probe.Signal(SIGTERM));
        const int status = probe.Status();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << Described(status);
        const std::string& out = probe.output();
        EXPECT_EQ(out.find("\x1b[?1036h") != std::string::npos, c.set);
        EXPECT_EQ(out.find("\x1b[?1036l") != std::string::npos, c.set);
        if (c.set) {
            EXPECT_LT(out.find("\x1b[?1036h"), out.find("\x1b[?1036l"));
        }
        EXPECT_TRUE(SameSettings(probe.Now(), probe.original()));
    }
}

}  // namespace
