// The signal handlers that put the terminal back before a signal ends or stops the process.
#include "signals.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <pthread.h>

namespace conlib::posix::signals {

namespace {

bool Installed = false;
TerminalActions Actions{nullptr, nullptr};
// What each signal did before the library's handler: the program's handler, or the default.
struct sigaction Previous[NSIG];

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

bool IsHandler(const struct sigaction& action) {
    if ((action.sa_flags & SA_SIGINFO) != 0) return action.sa_sigaction != nullptr;
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

void Leave() {
    if (Actions.leave != nullptr) Actions.leave();
}

void Resume() {
    if (Actions.resume != nullptr) Actions.resume();
}

// Runs the program's own handler for `signal` as the system would have run it: with its mask
// added to the signals blocked, and once only when it asked to be reset.
void RunPrevious(int signal, siginfo_t* info, void* context) {
    const struct sigaction previous = Previous[signal];
    if ((static_cast<unsigned>(previous.sa_flags) & SA_RESETHAND) != 0) {
        Previous[signal] = {};
        Previous[signal].sa_handler = SIG_DFL;
    }
    sigset_t blocked;
    pthread_sigmask(SIG_BLOCK, &previous.sa_mask, &blocked);
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
    } else {
        previous.sa_handler(signal);
    }
    pthread_sigmask(SIG_SETMASK, &blocked, nullptr);
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

void OnSignal(int signal, siginfo_t* info, void* context);

void InstallHandler(int signal, int flags) {
    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | flags;
    sigaction(signal, &action, nullptr);
}

void OnStop(int signal, siginfo_t* info, void* context) {
    Leave();
    if (IsHandler(Previous[signal])) {
        RunPrevious(signal, info, context);
        Resume();
        return;
    }
    // Stop as the signal would have stopped the process, and take over again on return.
    TakeDefault(signal);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    // Stopped here; continued.
    InstallHandler(signal, Previous[signal].sa_flags & SA_RESTART);
    Resume();
}

void OnSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // A program that saved this handler and put it back through signal() has it called
    // without SA_SIGINFO: then `info` and `context` are no pointers at all.
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0) {
        info = nullptr;
        context = nullptr;
    }
    if (signal == SIGCONT) {
        // Stopped by a signal that could not be caught: take the terminal back.
        Resume();
        if (IsHandler(Previous[signal])) RunPrevious(signal, info, context);
    } else if (signal == SIGTSTP) {
        OnStop(signal, info, context);
    } else {
        Leave();
        if (IsHandler(Previous[signal])) {
            RunPrevious(signal, info, context);
            // The program's handler returned: the process goes on.
            Resume();
        } else {
            TakeDefault(signal);
        }
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
        if (!IsHandler(current) && current.sa_handler == SIG_IGN) continue;
        Previous[signal] = current;
        // The program's handler restarts interrupted calls if it asked for that; so does
        // SIGCONT's, which interrupts nothing the program would see otherwise.
        InstallHandler(signal, signal == SIGCONT ? SA_RESTART : (current.sa_flags & SA_RESTART));
    }
    ProvideAlternateStack();
    at_quick_exit(LeaveAtQuickExit);
}

}  // namespace conlib::posix::signals
