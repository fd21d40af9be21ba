// The console's input calls, and what stands in for them when standard input is a file or a
// pipe: its bytes read as typed keys and lines by platform::InputQueue, through the same
// decoder that reads a terminal's keys on POSIX systems. Here only the reading and waiting:
// ReadFile, and PeekNamedPipe to wait a while for a pipe.
#include <cstddef>

#include "platform/common/input_queue.hpp"
#include "platform/windows/win.hpp"
#include "redirection.hpp"

namespace conlib::windows {

namespace {

using namespace win;
using platform::WaitForever;

class RedirectedInput final : public platform::InputQueue {
  public:
    explicit RedirectedInput(HANDLE source)
        : source_(source), pipe_(::GetFileType(source) == FILE_TYPE_PIPE) {}

  private:
    SourceRead ReadSource(unsigned char* buffer, std::size_t room, int timeoutMs) override {
        if (!WaitForBytes(timeoutMs)) return {0, false};
        DWORD count = 0;
        if (::ReadFile(source_, buffer, static_cast<DWORD>(room), &count, nullptr) == FALSE ||
            count == 0) {
            return {0, true};  // end of file, a closed pipe, or an input that cannot be read
        }
        return {count, false};
    }

    // Waits up to `timeoutMs` for a pipe to hold bytes; true when it does, or when it has
    // closed (the read then finds the end). Files never keep a read waiting.
    bool WaitForBytes(int timeoutMs) const {
        if (!pipe_ || timeoutMs == WaitForever) return true;
        for (int waited = 0;; ++waited) {
            DWORD available = 0;
            if (::PeekNamedPipe(source_, nullptr, 0, nullptr, &available, nullptr) == FALSE ||
                available > 0) {
                return true;
            }
            if (waited >= timeoutMs) return false;
            ::Sleep(1);
        }
    }

    HANDLE source_;
    bool pipe_;
};

// The stand-in for the console's input when `handle` is a standard input that is not a
// console; null for any other handle, which the system serves.
RedirectedInput* RedirectedFor(HANDLE handle) {
    if (!IsRedirected(handle, STD_INPUT_HANDLE)) return nullptr;
    static RedirectedInput input(handle);
    return &input;
}

}  // namespace

}  // namespace conlib::windows

namespace conlib::win {

using windows::RedirectedFor;
using windows::RedirectedInput;

BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
    RedirectedInput* input = RedirectedFor(hConsoleHandle);
    if (input == nullptr) return ::GetConsoleMode(hConsoleHandle, lpMode);
    *lpMode = input->mode();
    return TRUE;
}

BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode) {
    RedirectedInput* input = RedirectedFor(hConsoleHandle);
    if (input == nullptr) return ::SetConsoleMode(hConsoleHandle, dwMode);
    input->SetMode(dwMode);
    return TRUE;
}

BOOL ReadConsoleA(HANDLE hConsoleInput, LPVOID lpBuffer, DWORD nNumberOfCharsToRead,
                  LPDWORD lpNumberOfCharsRead, LPVOID pInputControl) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::ReadConsoleA(hConsoleInput, lpBuffer, nNumberOfCharsToRead, lpNumberOfCharsRead,
                              pInputControl);
    }
    return input->ReadText(lpBuffer, nNumberOfCharsToRead, lpNumberOfCharsRead);
}

BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::PeekConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsRead);
    }
    return input->PeekRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::ReadConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsRead);
    }
    return input->ReadRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::WriteConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsWritten);
    }
    return input->WriteRecords(lpBuffer, nLength, lpNumberOfEventsWritten);
}

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) return ::GetNumberOfConsoleInputEvents(hConsoleInput, lpNumberOfEvents);
    return input->CountRecords(lpNumberOfEvents);
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) return ::FlushConsoleInputBuffer(hConsoleInput);
    input->Flush();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    RedirectedInput* input = RedirectedFor(hHandle);
    if (input == nullptr) return ::WaitForSingleObject(hHandle, dwMilliseconds);
    return input->WaitForRecords(dwMilliseconds);
}

}  // namespace conlib::win
