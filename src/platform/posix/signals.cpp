// The signal handlers that hand the terminal back before a signal ends or stops the process.
#include "signals.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <initializer_list>

#include <pthread.h>

namespace conlib::posix::signals {

namespace {

bool Installed = false;
TerminalActions Actions{nullptr, nullptr};
// The flags each signal's handler was installed with, for its reinstallation after a stop.
int InstalledFlags[NSIG];

// Whether the default action of `signal` ends the process: all signals but those it ignores
// and those that stop or continue it.
bool EndsProcess(int signal) {
    switch (signal) {
        case SIGCHLD:
        case SIGURG:
        case SIGWINCH:
        case SIGCONT:
        case SIGSTOP:
        case SIGTSTP:
        case SIGTTIN:
        case SIGTTOU:
#ifdef SIGINFO
        case SIGINFO:
#endif
            return false;
        default:
            return true;
    }
}

bool ByDefault(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

void Leave() {
    if (Actions.leave != nullptr) Actions.leave();
}

void Resume() {
    if (Actions.resume != nullptr) Actions.resume();
}

// The default action of `signal`, taken once this handler returns: the signal is blocked while
// it runs, so the one raised here stays pending until then. A fault that recurs on return (a
// division by zero, a bad address) meets the same default action.
void TakeDefault(int signal) {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(signal, &defaults, nullptr);
    raise(signal);
}

void OnSignal(int signal);

void InstallHandler(int signal, int flags) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK | flags;
    InstalledFlags[signal] = flags;
    sigaction(signal, &action, nullptr);
}

void OnStop(int signal) {
    Leave();
    // Stop as the signal would have stopped the process, and take over again on return.
    TakeDefault(signal);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    // Stopped here; continued.
    InstallHandler(signal, InstalledFlags[signal]);
    Resume();
}

void OnSignal(int signal) {
    const int savedErrno = errno;
    if (signal == SIGCONT) {
        // Continued after a stop that could not be caught, or after our own: the screen may
        // have been drawn over.
        Resume();
    } else if (signal == SIGTSTP) {
        OnStop(signal);
    } else {
        Leave();
        TakeDefault(signal);
    }
    errno = savedErrno;
}

void LeaveAtQuickExit() {
    Leave();
}

// A stack for the handlers when the process's own has run out (a runaway recursion), unless
// the program has given the thread one of its own.
alignas(16) char AlternateStack[64 * 1024];

void ProvideAlternateStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
    stack_t ours{};
    ours.ss_sp = AlternateStack;
    ours.ss_size = sizeof AlternateStack;
    sigaltstack(&ours, nullptr);
}

}  // namespace

void Install(TerminalActions actions) {
    if (Installed) return;
    Installed = true;
    Actions = actions;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP) continue;
        if (!EndsProcess(signal) && signal != SIGTSTP && signal != SIGCONT) continue;
        struct sigaction current {};
        // Signals the system keeps for itself cannot be asked about.
        if (sigaction(signal, nullptr, &current) != 0) continue;
        if (!ByDefault(current)) continue;
        // Calls that the signal interrupts are restarted where the system can: by default they
        // would never have been interrupted at all.
        InstallHandler(signal, SA_RESTART);
    }
    ProvideAlternateStack();
    at_quick_exit(LeaveAtQuickExit);
}

void UnblockFaults(sigset_t& mask) {
    for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
        sigdelset(&mask, fault);
}

}  // namespace conlib::posix::signals
