// The probe of the signal tests, on a terminal. It takes the keyboard over (a key poll does),
// then, by its argument:
//   wait             waits for keys
//   divide           divides by zero
//   quick-exit       ends through quick_exit(7)
//   handler-before   installs a SIGUSR1 handler of its own first, then waits for keys
//   handler-after    installs a SIGUSR2 handler of its own after, then waits for keys
// Its handlers write "handled N" (N the signal) and return.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "conlib/conlib.hpp"

namespace {

void Report(int signal) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "handled %d\n", signal);
    if (write(STDERR_FILENO, text, static_cast<std::size_t>(length)) < 0) _exit(3);
}

void PlainHandler(int signal) {
    Report(signal);
}

void InfoHandler(int signal, siginfo_t* info, void*) {
    if (info == nullptr || info->si_signo != signal) _exit(4);
    Report(signal);
}

// Both operands are read through volatile, so that no optimiser can turn the division into a
// comparison (a constant dividend of 1 lets it) and the processor really divides by zero.
__attribute__((noinline, no_sanitize("undefined"))) int Divide(int a, int b) {
    volatile int dividend = a;
    volatile int divisor = b;
    return dividend / divisor;
}

[[noreturn]] void WaitForKeys() {
    std::fputs("ready\n", stderr);
    for (;;)
        conlib::KeyWaitChar();
}

}  // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "wait";
    if (std::strcmp(what, "handler-before") == 0) {
        struct sigaction action {};
        action.sa_sigaction = InfoHandler;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, nullptr);
    }
    static_cast<void>(conlib::KeyPoll());
    if (std::strcmp(what, "divide") == 0) {
        volatile int zero = 0;
        return Divide(1, zero);
    }
    if (std::strcmp(what, "quick-exit") == 0) std::quick_exit(7);
    if (std::strcmp(what, "handler-after") == 0) std::signal(SIGUSR2, PlainHandler);
    WaitForKeys();
}
