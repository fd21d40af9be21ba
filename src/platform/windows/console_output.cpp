// Console text output, written as plain bytes when standard output is a file or a pipe.
#include "platform/windows/win.hpp"
#include "redirection.hpp"

namespace conlib::windows {

namespace {

// What is known of a standard handle: a handle keeps its kind while it is open, so the system
// is asked once per handle, not at every console call.
struct KnownHandle {
    HANDLE handle;
    bool redirected;
};
KnownHandle KnownInput = {nullptr, false};
KnownHandle KnownOutput = {nullptr, false};

}  // namespace

bool IsRedirected(win::HANDLE handle, win::DWORD standardHandle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        handle != ::GetStdHandle(standardHandle)) {
        return false;
    }
    KnownHandle& known = standardHandle == STD_INPUT_HANDLE ? KnownInput : KnownOutput;
    if (known.handle != handle) {
        const DWORD lastError = ::GetLastError();
        DWORD mode = 0;
        known.redirected =
            ::GetConsoleMode(handle, &mode) == FALSE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
        known.handle = handle;
        ::SetLastError(lastError);
    }
    return known.redirected;
}

}  // namespace conlib::windows

namespace conlib::win {

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved) {
    if (::WriteConsoleA(hConsoleOutput, lpBuffer, nNumberOfCharsToWrite, lpNumberOfCharsWritten,
                        lpReserved) != FALSE) {
        return TRUE;
    }
    if (!windows::IsRedirected(hConsoleOutput, STD_OUTPUT_HANDLE)) return FALSE;

    // The text goes out as it is, every byte of it: the count is one of bytes.
    const auto* bytes = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfCharsToWrite) {
        DWORD written = 0;
        const BOOL ok = ::WriteFile(hConsoleOutput, bytes + done, nNumberOfCharsToWrite - done,
                                    &written, nullptr);
        if (ok == FALSE || written == 0) {
            // A write that moves nothing without an error would loop for ever.
            if (ok != FALSE) ::SetLastError(ERROR_WRITE_FAULT);
            if (lpNumberOfCharsWritten != nullptr) *lpNumberOfCharsWritten = done;
            return FALSE;
        }
        done += written;
    }
    if (lpNumberOfCharsWritten != nullptr) *lpNumberOfCharsWritten = done;
    return TRUE;
}

}  // namespace conlib::win
