// A pseudo-terminal for tests that run a probe program on a terminal of its own: the master
// side, which the test reads and writes as the terminal's user, and a slave descriptor kept
// open, so that the terminal's settings can still be read once the probe is gone.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace conlib::test {

inline bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

inline void Pause(long milliseconds) {
    timespec rest{0, milliseconds * 1000000L};
    nanosleep(&rest, nullptr);
}

class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(grantpt(master_), 0);
        EXPECT_EQ(unlockpt(master_), 0);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        name_ = ptsname(master_);
        slave_ = open(name_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(slave_, 0);
        EXPECT_EQ(tcgetattr(slave_, &original_), 0);
    }
    ~PseudoTerminal() {
        close(master_);
        close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_; }
    int slave() const { return slave_; }
    // The slave's path, for a probe to open as its controlling terminal after setsid().
    const std::string& name() const { return name_; }
    // Appends to `out` what the probe has written and the test not yet read.
    void ReadInto(std::string& out) const {
        char buffer[512];
        ssize_t n = 0;
        while ((n = read(master_, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<std::size_t>(n));
    }
    // The settings before the probe, and now.
    const termios& original() const { return original_; }
    termios Now() const {
        termios now{};
        tcgetattr(slave_, &now);
        return now;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
    termios original_{};
};

}  // namespace conlib::test
