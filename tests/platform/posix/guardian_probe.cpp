// The probe of the guardian tests, on a terminal of its own (standard input and error), with
// standard output on a pipe to the test. It catches SIGCHLD, lets go of the guardian in the
// children it forks (as the console host does), sets the terminal raw, starts the guardian with
// "\x1b[?1036l" as the reset bytes and writes "guardian G quiet": G the guardian's id, "quiet"
// when neither a SIGCHLD nor a wait for any child told it of a process (or else what it saw).
// Then, by its first argument:
//   kill          closes its standard output and waits to be killed
//   frame         starts a frame and ends through _exit
//   line-start    writes a frame that leaves the cursor at column 0, and ends through _exit
//   handed-back   hands the terminal back and ends through _exit
//   changed       sets settings of its own (echo, still no line editing), and ends through _exit
//   exec          becomes a shell that sets those settings, writes "set" and sleeps for 20 s
//   child         forks a child that leaves the session, hands the terminal back and starts a
//                 frame in its copy of the library, and lives on; writes "child C", C the
//                 child's id, and goes on as kill
// A second argument "fork" makes the guardian as where the system has nothing but fork().
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/guardian.hpp"

namespace {

namespace guardian = conlib::posix::guardian;

volatile sig_atomic_t ChildSignals = 0;

void CountChildSignal(int) {
    ChildSignals = ChildSignals + 1;
}

void Report(const char* text) {
    if (write(STDOUT_FILENO, text, std::strlen(text)) < 0) _exit(3);
}

// A wait for any child, as a program's own would do it; "ECHILD" when there is none.
const char* WaitForAny(int options) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG | options);
    if (pid < 0 && errno == ECHILD) return "ECHILD";
    return pid == 0 ? "a child running" : "a child ended";
}

[[noreturn]] void WaitToBeKilled() {
    close(STDOUT_FILENO);
    for (;;)
        pause();
}

}  // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "kill";
    if (argc > 2 && std::strcmp(argv[2], "fork") == 0) guardian::UseForkForTests();

    struct sigaction action {};
    action.sa_handler = CountChildSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGCHLD, &action, nullptr);
    pthread_atfork(nullptr, nullptr, guardian::DropInChild);

    // The terminal on a descriptor of the probe's own, as the console host holds it.
    const int terminal = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    termios original{};
    if (terminal < 0 || tcgetattr(terminal, &original) != 0) return 2;
    termios raw = original;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | BRKINT | INPCK | ISTRIP);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    termios ours{};
    if (tcsetattr(terminal, TCSANOW, &raw) != 0 || tcgetattr(terminal, &ours) != 0) return 2;
    static constexpr char Resets[] = "\x1b[?1036l";
    if (!guardian::Start(terminal, original, ours, Resets, sizeof Resets - 1)) {
        Report("no guardian\n");
        return 2;
    }

    const char* plain = WaitForAny(0);
    const char* any = WaitForAny(__WALL);
    char line[160];
    if (ChildSignals == 0 && std::strcmp(plain, "ECHILD") == 0 && std::strcmp(any, "ECHILD") == 0) {
        std::snprintf(line, sizeof line, "guardian %d quiet\n",
                      static_cast<int>(guardian::ProcessForTests()));
    } else {
        std::snprintf(line, sizeof line, "guardian %d: %d SIGCHLD, wait: %s, wait all: %s\n",
                      static_cast<int>(guardian::ProcessForTests()), static_cast<int>(ChildSignals),
                      plain, any);
    }
    Report(line);

    if (std::strcmp(what, "frame") == 0) {
        guardian::FrameStarted();
        _exit(0);
    }
    if (std::strcmp(what, "line-start") == 0) {
        guardian::FrameStarted();
        guardian::FrameEnded(true);
        _exit(0);
    }
    if (std::strcmp(what, "handed-back") == 0) {
        guardian::SetHeld(false);
        _exit(0);
    }
    if (std::strcmp(what, "changed") == 0) {
        termios theirs = ours;
        theirs.c_lflag |= ECHO;
        if (tcsetattr(terminal, TCSANOW, &theirs) != 0) _exit(4);
        _exit(0);
    }
    if (std::strcmp(what, "exec") == 0) {
        execl("/bin/sh", "sh", "-c", "stty echo -icanon && echo set && exec sleep 20 >&-",
              static_cast<char*>(nullptr));
        _exit(5);
    }
    if (std::strcmp(what, "child") == 0) {
        const pid_t child = fork();
        if (child == 0) {
            // Out of the probe's job first: the test kills that once the pipe has ended.
            setsid();
            close(STDOUT_FILENO);
            guardian::SetHeld(false);
            guardian::FrameStarted();
            for (;;)
                pause();
        }
        std::snprintf(line, sizeof line, "child %d\n", static_cast<int>(child));
        Report(line);
    }
    WaitToBeKilled();
}
