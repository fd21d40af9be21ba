// Standard handles, the last error code, handle closing and process exit.
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include "handles.hpp"
#include "platform/posix/win.hpp"

namespace conlib::win {

namespace {
thread_local DWORD LastError = 0;
}  // namespace

DWORD GetLastError() {
    return LastError;
}

void SetLastError(DWORD dwErrCode) {
    LastError = dwErrCode;
}

HANDLE GetStdHandle(DWORD nStdHandle) {
    posix::OpenClosedStandardHandles();
    switch (nStdHandle) {
        case STD_INPUT_HANDLE:
            return posix::ConsoleInputHandle();
        case STD_OUTPUT_HANDLE:
            return posix::ConsoleOutputHandle();
        case STD_ERROR_HANDLE:
            return posix::HandleFromDescriptor(STDERR_FILENO);
        default:
            SetLastError(EINVAL);
            return INVALID_HANDLE_VALUE;
    }
}

BOOL CloseHandle(HANDLE hObject) {
    // The console's handles belong to the process for its whole life. So does the all-bits-set
    // value, which on Windows is also the handle of the process itself: closing it does nothing.
    if (posix::IsConsoleInput(hObject) || posix::IsConsoleOutput(hObject) ||
        hObject == INVALID_HANDLE_VALUE) {
        return TRUE;
    }
    const int fd = posix::DescriptorFromHandle(hObject);
    if (fd < 0) {
        SetLastError(EBADF);
        return FALSE;
    }
    // The descriptor is released even when close reports an error, so it is never retried.
    if (close(fd) != 0 && errno != EINTR) {
        posix::SetLastErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

void ExitProcess(UINT uExitCode) {
    // std::exit runs the handlers that put the terminal back as it was.
    std::exit(static_cast<int>(uExitCode));
}

}  // namespace conlib::win

namespace conlib::posix {

void OpenClosedStandardHandles() {
    static const bool opened = [] {
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
            if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
            // The lowest free number is `fd`, the ones below it being open.
            const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd) {
                dup2(null, fd);
                close(null);
            }
        }
        return true;
    }();
    static_cast<void>(opened);
}

namespace {

// Before main, and so before any open of the program's.
[[gnu::constructor(101)]] void OpenClosedStandardHandlesAtStart() {
    const int savedErrno = errno;
    OpenClosedStandardHandles();
    errno = savedErrno;
}

}  // namespace

void SetLastErrorFromErrno() {
    win::SetLastError(static_cast<win::DWORD>(errno));
}

ssize_t WriteQuietly(int fd, const void* bytes, std::size_t length) {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, &brokenPipe, &mask);
    sigset_t pending;
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    const ssize_t n = write(fd, bytes, length);
    const int error = errno;
    if (n < 0 && error == EPIPE && !pendingBefore) {
        // The signal this write raised is taken back before the thread's mask is put back.
        const timespec now{0, 0};
        while (sigtimedwait(&brokenPipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    errno = error;
    return n;
}

void WriteAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = WriteQuietly(fd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd out{fd, POLLOUT, 0};
            poll(&out, 1, -1);
        } else {
            return;
        }
    }
}

}  // namespace conlib::posix
