// The guardian over a terminal: a probe on a pseudo-terminal of its own sets it raw, starts the
// guardian and ends in one of the ways no code of a program sees. The test reads what reached
// the terminal from the master side and its settings through a slave descriptor it keeps. It is
// a subreaper, so the guardian, once the process that made it has gone, is the test's child: the
// test waits for its end, and a guardian that ended is one that is no longer there.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "support/pseudo_terminal.hpp"

namespace {

using conlib::test::Pause;
using conlib::test::SameSettings;

// Which settings the terminal has: those from before the probe, the probe's raw ones (no echo,
// no line editing), or those set after them (echo, still no line editing).
std::string Which(const termios& now, const termios& original) {
    if (SameSettings(now, original)) return "original";
    switch (now.c_lflag & (ECHO | ICANON)) {
        case 0:
            return "raw";
        case ECHO:
            return "changed";
        default:
            return "other";
    }
}

// Control characters as escapes, for readable failures.
std::string Visible(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            shown += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
            shown += escape;
        }
    }
    return shown;
}

// The probe on a pseudo-terminal of its own (its controlling terminal, on standard input and
// error), its standard output on a pipe.
class Probe {
  public:
    Probe(const char* what, const char* how) : master_(terminal_.master()) {
        const std::string& name = terminal_.name();
        int report[2];
        EXPECT_EQ(pipe2(report, O_CLOEXEC), 0);
        child_ = fork();
        if (child_ == 0) {
            setsid();
            const int terminal = open(name.c_str(), O_RDWR);
            if (terminal < 0) _exit(120);
            dup2(terminal, STDIN_FILENO);
            dup2(report[1], STDOUT_FILENO);
            dup2(terminal, STDERR_FILENO);
            execl(CONLIB_GUARDIAN_PROBE_PATH, CONLIB_GUARDIAN_PROBE_PATH, what, how,
                  static_cast<char*>(nullptr));
            _exit(121);
        }
        close(report[1]);
        report_ = report[0];
    }
    ~Probe() {
        if (child_ > 0 && !reaped_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (helper_ > 0) {
            kill(helper_, SIGKILL);
            waitpid(helper_, nullptr, 0);
        }
        close(report_);
    }

    const termios& original() const { return terminal_.original(); }
    termios Now() const { return terminal_.Now(); }

    // Reads the probe's standard output to its end: false when it has not ended after 10 s.
    bool ReadReport() {
        for (int i = 0; i < 1000; ++i) {
            pollfd readable{report_, POLLIN, 0};
            if (poll(&readable, 1, 10) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(report_, buffer, sizeof buffer);
            if (n == 0) return true;
            if (n > 0) report_text_.append(buffer, static_cast<std::size_t>(n));
        }
        return false;
    }
    const std::string& report() const { return report_text_; }

    bool Running() { return waitpid(child_, nullptr, WNOHANG) == 0; }
    // Kills the probe's process group, as a shell kills a job.
    void Kill() {
        kill(-child_, SIGKILL);
        waitpid(child_, nullptr, 0);
        reaped_ = true;
    }
    // A process of the probe's that outlives it, ended with the probe at the latest.
    void Adopt(pid_t helper) { helper_ = helper; }

    // The status of `pid` (a child of the test's) once it has ended; -1 when it is still there
    // after 10 s.
    int WaitForEnd(pid_t pid) {
        for (int i = 0; i < 1000; ++i) {
            Drain();
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                Drain();
                return status;
            }
            Pause(10);
        }
        return -1;
    }

    // What reached the terminal so far.
    const std::string& output() {
        Drain();
        return output_;
    }

  private:
    void Drain() { terminal_.ReadInto(output_); }

    conlib::test::PseudoTerminal terminal_;
    int master_;
    int report_ = -1;
    pid_t child_ = -1;
    pid_t helper_ = -1;
    bool reaped_ = false;
    std::string report_text_;
    std::string output_;
};

// What the guardian writes when it puts the terminal back after the probe's reset bytes.
std::string PutBack(bool inFrame, bool atLineStart) {
    return std::string("\x18") + (inFrame ? "\x1b[?2026l" : "") + "\x1b[m" + "\x1b[?1036l" +
           (atLineStart && !inFrame ? "" : "\r\n");
}

TEST(Guardian, PutsTheTerminalBackAtEachEndingTheProgramRunsNoCodeFor) {
    // A user-mode emulator of another processor (qemu running the 32-bit build) may not offer
    // it: without it the guardian's end cannot be watched.
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        GTEST_SKIP() << "this system cannot make the test a subreaper: " << std::strerror(errno);
    }
    const struct {
        const char* what;     // the probe's argument
        bool killed;          // with its process group by SIGKILL, once it has reported
        std::string written;  // by the guardian, to the terminal
        const char* settings;
    } endings[] = {
        // Killed with its job: the guardian, in a session of its own, is not.
        {"kill", true, PutBack(false, false), "original"},
        {"frame", false, PutBack(true, false), "original"},
        {"line-start", false, PutBack(false, true), "original"},
        {"handed-back", false, "", "raw"},
        {"changed", false, PutBack(false, false), "changed"},
        // The shell sleeps for longer than the test waits for the guardian: its exec is the
        // end the guardian sees.
        {"exec", false, PutBack(false, false), "changed"},
        // The child lives on, having let go of the guardian: only the probe kept it waiting,
        // and the child's own hand-back and frame are not the probe's.
        {"child", true, PutBack(false, false), "original"},
    };
    // "fork": the guardian made as where the system has no other way.
    for (const char* how : {"clone", "fork"}) {
        for (const auto& ending : endings) {
            SCOPED_TRACE(std::string(ending.what) + ", made by " + how);
            Probe probe(ending.what, how);
            // The pipe on the probe's standard output ends with the probe's own copy of it (the
            // probes that wait to be killed close it): the guardian holds none.
            ASSERT_TRUE(probe.ReadReport()) << probe.report();
            int guardian = -1;
            ASSERT_EQ(std::sscanf(probe.report().c_str(), "guardian %d", &guardian), 1)
                << probe.report();
            ASSERT_GT(guardian, 0);
            // No SIGCHLD, and no wait for any child of the probe's finds a process.
            EXPECT_NE(probe.report().find(" quiet\n"), std::string::npos) << probe.report();
            const std::size_t child = probe.report().find("child ");
            if (child != std::string::npos)
                probe.Adopt(std::atoi(probe.report().c_str() + child + 6));
            if (ending.killed) {
                EXPECT_TRUE(probe.Running());
                EXPECT_EQ(waitpid(guardian, nullptr, WNOHANG), 0) << "the guardian has gone";
                EXPECT_EQ(Visible(probe.output()), "");
                probe.Kill();
            }
            const int status = probe.WaitForEnd(guardian);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
            EXPECT_EQ(Visible(probe.output()), Visible(ending.written));
            EXPECT_EQ(Which(probe.Now(), probe.original()), ending.settings);
        }
    }
}

}  // namespace
