// The console's input calls, and what stands in for them when standard input is a file or a
// pipe: its bytes read as typed keys, through the same decoder that reads a terminal's keys on
// POSIX systems.
//
// Bytes are read only as keys are asked for, one key at a time and only when none is queued, so
// that a flush discards no more than the key in hand. A line read (ReadConsoleA with line
// input on) takes the bytes up to a line feed as they stand, a line feed alone or a carriage
// return and line feed ending each line, and hands the line over with CR LF; what the caller's
// count does not take stays for the next read. Once the input has ended and nothing is left,
// the calls that wait for input fail with ERROR_HANDLE_EOF, and so does the count of events,
// so that a wait for a key or a line returns.
#include <algorithm>
#include <cstddef>

#include "platform/common/vt_input.hpp"
#include "redirection.hpp"
#include "win.hpp"

namespace conlib::windows {

namespace {

using namespace win;
using platform::DecodeKey;
using platform::KeyEvents;

// How long the rest of an escape sequence may take to arrive before its start is taken for
// keys of its own.
constexpr DWORD SequenceWaitMs = 25;
constexpr DWORD NoTimeout = INFINITE;
// The mode a console's input starts with.
constexpr DWORD DefaultInputMode = 0x1F7;

class RedirectedInput {
  public:
    explicit RedirectedInput(HANDLE source)
        : source_(source), pipe_(::GetFileType(source) == FILE_TYPE_PIPE) {}

    DWORD mode() const { return mode_; }
    void SetMode(DWORD mode) { mode_ = mode; }

    bool Ended() const { return size_ == 0 && byteCount_ == 0 && ended_; }
    std::size_t size() const { return size_; }

    // Decodes the next key into the queue when the queue is empty; with `wait`, waits until
    // there is one or the input has ended.
    void Collect(bool wait) {
        while (size_ == 0 && !Ended()) {
            if (byteCount_ > 0 && Decode(false) && size_ > 0) return;
            const DWORD timeoutMs = byteCount_ > 0 ? SequenceWaitMs : (wait ? NoTimeout : 0);
            if (!ReadReady(timeoutMs, 1)) {
                // Nothing more now: what is held is taken as it is.
                Decode(true);
                if (!wait || byteCount_ == 0) return;
            }
        }
    }

    std::size_t Copy(INPUT_RECORD* records, std::size_t count, bool remove) {
        std::size_t done = 0;
        for (; done < count && done < size_; ++done) {
            records[done] = queue_[(head_ + done) % QueueCapacity];
        }
        if (remove) {
            head_ = (head_ + done) % QueueCapacity;
            size_ -= done;
        }
        return done;
    }

    std::size_t Append(const INPUT_RECORD* records, std::size_t count) {
        std::size_t done = 0;
        for (; done < count && size_ < QueueCapacity; ++done) {
            queue_[(head_ + size_) % QueueCapacity] = records[done];
            ++size_;
        }
        return done;
    }

    void Flush() {
        head_ = 0;
        size_ = 0;
        byteCount_ = 0;
    }

    // ReadConsoleA: false when the input ended before anything could be delivered.
    bool ReadText(char* buffer, std::size_t count, std::size_t& delivered) {
        delivered = 0;
        if (count == 0) return true;
        if (lineDelivered_ == lineLength_) {
            lineLength_ = 0;
            lineDelivered_ = 0;
            if ((mode_ & ENABLE_LINE_INPUT) != 0) {
                ReadLine();
            } else {
                TakeCharacters(count);
            }
            if (lineLength_ == 0) return false;
        }
        delivered = std::min(count, lineLength_ - lineDelivered_);
        std::copy_n(line_ + lineDelivered_, delivered, buffer);
        lineDelivered_ += delivered;
        return true;
    }

  private:
    static constexpr std::size_t QueueCapacity = 4096;
    static constexpr std::size_t ByteCapacity = 256;
    static constexpr std::size_t LineCapacity = 4096;

    // Reads a line into line_, handing it over with CR LF.
    void ReadLine() {
        // Bytes already taken from the input for keys come first.
        while (byteCount_ > 0 || ReadReady(NoTimeout, 1)) {
            const char ch = static_cast<char>(bytes_[0]);
            TakeBytes(1);
            if (ch == '\n') {
                if (lineLength_ > 0 && line_[lineLength_ - 1] == '\r') --lineLength_;
                line_[lineLength_++] = '\r';
                line_[lineLength_++] = '\n';
                return;
            }
            if (lineLength_ < LineCapacity - 2) line_[lineLength_++] = ch;
        }
    }

    // Without line input: the bytes there are, at least one, waiting for it.
    void TakeCharacters(std::size_t count) {
        if (byteCount_ == 0) ReadReady(NoTimeout, std::min(count, ByteCapacity));
        lineLength_ = std::min(byteCount_, count);
        std::copy_n(bytes_, lineLength_, line_);
        TakeBytes(lineLength_);
    }

    void TakeBytes(std::size_t count) {
        std::copy(bytes_ + count, bytes_ + byteCount_, bytes_);
        byteCount_ -= count;
    }

    bool HasRoom() const { return QueueCapacity - size_ >= KeyEvents::Capacity; }

    // Waits up to `timeoutMs` for a pipe to hold bytes; true when it does, or when it has
    // closed (the read then finds the end). Files never keep a read waiting.
    bool WaitForBytes(DWORD timeoutMs) const {
        if (!pipe_ || timeoutMs == NoTimeout) return true;
        for (DWORD waited = 0;; ++waited) {
            DWORD available = 0;
            if (::PeekNamedPipe(source_, nullptr, 0, nullptr, &available, nullptr) == FALSE ||
                available > 0) {
                return true;
            }
            if (waited >= timeoutMs) return false;
            ::Sleep(1);
        }
    }

    // Reads what the input has ready, at most `most` bytes and what the byte buffer holds;
    // false when nothing was read (none ready, or the input ended).
    bool ReadReady(DWORD timeoutMs, std::size_t most) {
        if (ended_ || byteCount_ == ByteCapacity || !WaitForBytes(timeoutMs)) return false;
        const auto room = static_cast<DWORD>(std::min(ByteCapacity - byteCount_, most));
        DWORD count = 0;
        if (::ReadFile(source_, bytes_ + byteCount_, room, &count, nullptr) == FALSE ||
            count == 0) {
            ended_ = true;  // end of file, a closed pipe, or an input that cannot be read
            return false;
        }
        byteCount_ += count;
        return true;
    }

    // Decodes the keys at the start of the byte buffer into the queue; false when what is
    // left is the start of a sequence that needs more bytes.
    bool Decode(bool final) {
        std::size_t used = 0;
        bool complete = true;
        while (used < byteCount_ && HasRoom()) {
            KeyEvents events{};
            const std::size_t n = DecodeKey(bytes_ + used, byteCount_ - used, final, events);
            if (n == 0) {
                complete = false;
                break;
            }
            used += n;
            Append(events.records, events.count);
        }
        TakeBytes(used);
        return complete;
    }

    HANDLE source_;
    bool pipe_;
    INPUT_RECORD queue_[QueueCapacity] = {};
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    unsigned char bytes_[ByteCapacity] = {};
    std::size_t byteCount_ = 0;
    bool ended_ = false;
    DWORD mode_ = DefaultInputMode;
    // The line being handed over, and how much of it the caller has taken.
    char line_[LineCapacity] = {};
    std::size_t lineLength_ = 0;
    std::size_t lineDelivered_ = 0;
};

// The stand-in for the console's input when `handle` is a standard input that is not a
// console; null for any other handle, which the system serves.
RedirectedInput* RedirectedFor(HANDLE handle) {
    if (!IsRedirected(handle, STD_INPUT_HANDLE)) return nullptr;
    static RedirectedInput input(handle);
    return &input;
}

void Store(LPDWORD place, std::size_t value) {
    if (place != nullptr) *place = static_cast<DWORD>(value);
}

}  // namespace

}  // namespace conlib::windows

namespace conlib::win {

using windows::RedirectedFor;
using windows::RedirectedInput;
using windows::Store;

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
    Store(lpNumberOfCharsRead, 0);
    std::size_t delivered = 0;
    if (!input->ReadText(static_cast<char*>(lpBuffer), nNumberOfCharsToRead, delivered)) {
        ::SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfCharsRead, delivered);
    return TRUE;
}

BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::PeekConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsRead);
    }
    input->Collect(false);
    Store(lpNumberOfEventsRead, input->Copy(lpBuffer, nLength, false));
    return TRUE;
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::ReadConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsRead);
    }
    Store(lpNumberOfEventsRead, 0);
    input->Collect(true);
    if (nLength > 0 && input->Ended()) {
        ::SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfEventsRead, input->Copy(lpBuffer, nLength, true));
    return TRUE;
}

BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) {
        return ::WriteConsoleInputA(hConsoleInput, lpBuffer, nLength, lpNumberOfEventsWritten);
    }
    Store(lpNumberOfEventsWritten, input->Append(lpBuffer, nLength));
    return TRUE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) return ::GetNumberOfConsoleInputEvents(hConsoleInput, lpNumberOfEvents);
    Store(lpNumberOfEvents, 0);
    input->Collect(false);
    if (input->Ended()) {
        ::SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfEvents, input->size());
    return TRUE;
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
    RedirectedInput* input = RedirectedFor(hConsoleInput);
    if (input == nullptr) return ::FlushConsoleInputBuffer(hConsoleInput);
    input->Flush();
    return TRUE;
}

}  // namespace conlib::win
