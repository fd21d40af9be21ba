// The probe of the shell session test (tests/e2e/session-tmux.sh): a program started from an
// interactive shell, in one of the modes given as its first argument:
//   line          writes "session line" and returns 0
//   rows N        writes the rows "row 0" to "row N-1", a line break between two of them (so
//                 that the last of them is the buffer's last row), then waits for a key and
//                 returns 0
//   timer         counts SIGALRM in a handler of its own, with a timer at 20 Hz; writes
//                 "timer", waits for a key, then writes "ticks N" and returns 0
//   destructor    writes "main line" and returns 0; a static object made before main writes
//                 "destructor text" when it is destroyed
//   moved FILE    writes "before the move", then puts FILE on standard output and standard
//                 input (freopen, dup2), writes "after the move" and returns 0: the console's
//                 text still reaches the terminal, and none of it the file
//   piped         with standard output a pipe: writes "piped text", writes "looking" on
//                 standard error after a second, then waits for a key and returns 0
//   ENDING        writes "ending ENDING", then "partial" with no line break, and ends:
//     return       returns 0                  exit         std::exit(3)
//     terminate    std::terminate             throw        an exception nobody catches
//     quick-exit   std::quick_exit(4)         abort        std::abort
//     segv         writes through a null pointer
//     _exit        _exit(5)                   exec         becomes /bin/true
//     kill         raises SIGKILL             term         raises SIGTERM
//     wait         waits for a key, Ctrl+C typed as a key aside, then returns 0: ended from
//                  outside by Ctrl+C or a signal, or by a key
// Status 2 for an unknown mode.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>

#include <sys/time.h>
#include <unistd.h>

#include "conlib/conlib.hpp"

namespace {

using namespace conlib;

void WriteLine(const char* text) {
    ConWriteText(text);
    ConNewLine();
}

// Made before main, destroyed after it has returned: its text comes after everything main
// wrote.
struct WritesWhenDestroyed {
    bool armed = false;
    ~WritesWhenDestroyed() {
        if (armed) WriteLine("destructor text");
    }
};
WritesWhenDestroyed destroyedLast;

volatile std::sig_atomic_t ticks = 0;

void CountTick(int) {
    ticks = ticks + 1;
}

void SetTimer(long microseconds) {
    itimerval timer{};
    timer.it_interval.tv_usec = microseconds;
    timer.it_value.tv_usec = microseconds;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

int Timer() {
    struct sigaction action {};
    action.sa_handler = CountTick;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    SetTimer(50'000);
    WriteLine("timer");
    KeyWaitChar();
    SetTimer(0);
    ConWriteText("ticks ");
    ConWriteUnsigned(static_cast<std::uint32_t>(ticks));
    ConNewLine();
    return 0;
}

int Rows(const char* count) {
    const unsigned long rows = count != nullptr ? std::strtoul(count, nullptr, 10) : 0;
    for (unsigned long row = 0; row < rows; ++row) {
        if (row > 0) ConNewLine();
        ConWriteText("row ");
        ConWriteUnsigned(static_cast<std::uint32_t>(row));
    }
    KeyWaitChar();
    return 0;
}

// A real fault: the pointer is read from volatile storage, so no compiler knows it is null.
__attribute__((no_sanitize("address", "undefined"))) void WriteThroughNull() {
    int* volatile target = nullptr;
    *target = 1;
}

int End(const char* how) {
    ConWriteText("ending ");
    WriteLine(how);
    ConWriteText("partial");
    const auto is = [how](const char* name) { return std::strcmp(how, name) == 0; };
    if (is("return")) return 0;
    if (is("exit")) std::exit(3);
    if (is("terminate")) std::terminate();
    if (is("throw")) throw std::runtime_error("nobody catches this");
    if (is("quick-exit")) std::quick_exit(4);
    if (is("abort")) std::abort();
    if (is("segv")) WriteThroughNull();
    if (is("_exit")) _exit(5);
    if (is("exec")) execl("/bin/true", "true", static_cast<char*>(nullptr));
    if (is("kill")) raise(SIGKILL);
    if (is("term")) raise(SIGTERM);
    if (is("wait")) {
        for (;;) {
            const KeyCode key = KeyWaitChar();
            // Ctrl+C that lands while a poll looks at the input is a key: it is typed again.
            if (key.ch != 0x03) return 0;
        }
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "line") == 0) {
        WriteLine("session line");
        return 0;
    }
    if (std::strcmp(mode, "rows") == 0) return Rows(argc > 2 ? argv[2] : nullptr);
    if (std::strcmp(mode, "timer") == 0) return Timer();
    if (std::strcmp(mode, "moved") == 0 && argc > 2) {
        WriteLine("before the move");
        if (std::freopen(argv[2], "w", stdout) == nullptr) return 3;
        if (dup2(STDOUT_FILENO, STDIN_FILENO) < 0) return 4;
        WriteLine("after the move");
        return 0;
    }
    if (std::strcmp(mode, "piped") == 0) {
        WriteLine("piped text");
        sleep(1);
        constexpr char Looking[] = "looking\n";
        if (write(STDERR_FILENO, Looking, sizeof Looking - 1) < 0) return 3;
        static_cast<void>(KeyWaitChar());
        return 0;
    }
    if (std::strcmp(mode, "destructor") == 0) {
        destroyedLast.armed = true;
        WriteLine("main line");
        return 0;
    }
    return End(mode);
}
