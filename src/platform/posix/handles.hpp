// How the POSIX layer represents Windows handles.
//
// The console's input and output are two fixed handle values, served by the console host.
// A file handle carries its file descriptor: fd + FileHandleBase. No valid handle is all bits
// set, the value of INVALID_HANDLE_VALUE.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include <sys/types.h>

#include "platform/posix/win.hpp"

namespace conlib::posix {

inline constexpr std::uintptr_t ConsoleInputValue = 0x3;
inline constexpr std::uintptr_t ConsoleOutputValue = 0x7;
inline constexpr std::uintptr_t FileHandleBase = 0x10000;

inline win::HANDLE ConsoleInputHandle() {
    return reinterpret_cast<win::HANDLE>(ConsoleInputValue);
}
inline win::HANDLE ConsoleOutputHandle() {
    return reinterpret_cast<win::HANDLE>(ConsoleOutputValue);
}

inline bool IsConsoleInput(win::HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle) == ConsoleInputValue;
}
inline bool IsConsoleOutput(win::HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle) == ConsoleOutputValue;
}

inline win::HANDLE HandleFromDescriptor(int fd) {
    return reinterpret_cast<win::HANDLE>(FileHandleBase + static_cast<std::uintptr_t>(fd));
}

// The descriptor behind a file handle, or -1 when the handle is not one.
inline int DescriptorFromHandle(win::HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < FileHandleBase || value - FileHandleBase > static_cast<std::uintptr_t>(INT_MAX)) {
        return -1;
    }
    return static_cast<int>(value - FileHandleBase);
}

// Opens standard input, output and error on /dev/null where they are closed, once, so that no
// file opened later takes their numbers (and the console's text never goes into one). Runs
// before main, and again, doing nothing then, before the first use of the console's handles
// and every open of a file.
void OpenClosedStandardHandles();

// Sets the calling thread's last error code to errno's current value.
void SetLastErrorFromErrno();

// write(), except that a reader that has gone away makes it fail with EPIPE and raises no
// SIGPIPE: the signal is held back on the calling thread for the write, and the one the write
// raised is taken back. One pending before (from the program's own writes, or sent) stays,
// and SIGPIPE's action is never changed. Safe in a signal handler.
ssize_t WriteQuietly(int fd, const void* bytes, std::size_t length);

// Writes all `length` bytes to `fd` (with WriteQuietly), waiting while it is not ready; stops
// early, losing the rest, when the descriptor fails (a terminal that is gone, a reader that
// has gone away). Safe in a signal handler.
void WriteAll(int fd, const char* bytes, std::size_t length);

}  // namespace conlib::posix
