// The console host's input: a queue of input records, filled from the keyboard through the
// terminal-input decoder, and the console input calls served by it.
//
// Where the records come from:
// - a terminal: every byte it has ready is read and decoded at once, as a keyboard fills the
//   Windows console's queue as keys are typed, so a flush discards what was typed ahead;
// - a file or a pipe: bytes are read only as keys are asked for, each key once;
// - the headless console (CONLIB_CONSOLE): nothing but the records written into it.
// When the source has ended and the queue is empty, the input has ended: a wait returns.
//
// A line read (ReadConsoleA with line input on) is edited and echoed here, as the Windows
// console does it: characters (a control character shows as ^ and its letter, ^A for 0x01),
// Backspace (back across a wrapped row too), Escape (clears the line) and Enter, which hands
// the line over followed by CR LF. What the caller's count does not take stays pending for
// the next read. A file or a pipe gives its lines as they stand, a line feed alone or a
// carriage return and line feed ending each.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "console_host.hpp"
#include "handles.hpp"
#include "platform/common/vt_input.hpp"
#include "terminal.hpp"
#include "win.hpp"

namespace conlib::posix {

namespace {

using namespace win;
using platform::DecodeKey;
using platform::KeyEvents;

// How long the rest of an escape sequence may take to arrive before its start is taken for
// keys of its own (a lone ESC for the Escape key).
constexpr int SequenceWaitMs = 25;
// The modes a console starts with.
constexpr DWORD DefaultInputMode = 0x1F7;
constexpr DWORD DefaultOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

class ConsoleInput {
  public:
    static ConsoleInput& Instance() {
        static ConsoleInput* input = new ConsoleInput();
        return *input;
    }

    DWORD mode() const { return mode_; }

    void SetMode(DWORD mode) {
        mode_ = mode;
        if (source_ == Source::Terminal) {
            terminal::SetInterruptKey((mode & ENABLE_PROCESSED_INPUT) != 0);
        }
    }

    // Moves what the source has ready into the queue; with `wait`, waits until there is at
    // least one record or the input has ended.
    void Collect(bool wait) {
        switch (source_) {
            case Source::None:
                return;
            case Source::Terminal:
                // A screen to redraw after the process was stopped is redrawn while it waits.
                ConsoleHost::Instance().Screen();
                CollectFromTerminal(wait);
                return;
            case Source::Stream:
                CollectFromStream(wait);
                return;
        }
    }

    bool Ended() const { return size_ == 0 && byteCount_ == 0 && ended_; }

    std::size_t Copy(INPUT_RECORD* records, std::size_t count, bool remove) {
        std::size_t done = 0;
        for (; done < count && done < size_; ++done) {
            records[done] = queue_[(head_ + done) % queue_.size()];
        }
        if (remove) {
            head_ = (head_ + done) % queue_.size();
            size_ -= done;
        }
        return done;
    }

    std::size_t Append(const INPUT_RECORD* records, std::size_t count) {
        std::size_t done = 0;
        for (; done < count && size_ < queue_.size(); ++done) {
            queue_[(head_ + size_) % queue_.size()] = records[done];
            ++size_;
        }
        return done;
    }

    std::size_t size() const { return size_; }

    // Discards every record and byte taken from the source so far. A terminal's ready bytes
    // were all taken at the last look, so what was typed ahead goes; bytes arriving after that
    // look stay for the next one, so a key pressed just as a poll ends is not lost.
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
                if (source_ == Source::Stream) {
                    ReadStreamLine();
                } else {
                    EditLine();
                }
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
    enum class Source { None, Terminal, Stream };
    static constexpr std::size_t QueueCapacity = 4096;
    static constexpr std::size_t ByteCapacity = 256;

    ConsoleInput() : queue_(QueueCapacity) {
        if (ConsoleHost::Instance().mode() == ConsoleHost::Mode::Headless) {
            source_ = Source::None;
            ended_ = true;
        } else if (isatty(STDIN_FILENO)) {
            source_ = Source::Terminal;
            terminal::TakeOver((mode_ & ENABLE_PROCESSED_INPUT) != 0);
        } else {
            source_ = Source::Stream;
        }
    }

    static constexpr std::size_t LineCapacity = 4096;

    // The next input record, waiting for one; false when the input has ended.
    bool NextRecord(INPUT_RECORD& record) {
        Collect(true);
        if (size_ == 0) return false;
        Copy(&record, 1, true);
        return true;
    }

    static bool IsKeyPress(const INPUT_RECORD& record) {
        return record.EventType == KEY_EVENT && (record.Event.KeyEvent.bKeyDown & 1) != 0;
    }

    // Shows typed text as the console echoes it: on the console's screen, or, when standard
    // output is redirected, on a terminal that standard error may still be.
    void Echo(const char* text, std::size_t length) {
        if ((mode_ & ENABLE_ECHO_INPUT) == 0) return;
        ConsoleHost& host = ConsoleHost::Instance();
        if (host.mode() != ConsoleHost::Mode::Plain) {
            host.Write(text, length);
        } else if (isatty(STDERR_FILENO)) {
            while (length > 0) {
                const ssize_t n = write(STDERR_FILENO, text, length);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return;
                text += n;
                length -= static_cast<std::size_t>(n);
            }
        }
    }

    // The cells that a character of the line takes on the screen: a control character shows
    // as ^ and its letter.
    static std::size_t CellsOf(char ch) { return static_cast<unsigned char>(ch) < 0x20 ? 2 : 1; }

    void EchoCharacter(char ch) {
        if (CellsOf(ch) == 1) {
            Echo(&ch, 1);
            return;
        }
        const char shown[2] = {'^', static_cast<char>(ch + '@')};
        Echo(shown, 2);
    }

    // Takes back the echo of the line's last `count` cells: blanks them and leaves the cursor
    // on the first, back across the start of a row to the end of the row above.
    void Unecho(std::size_t count) {
        if ((mode_ & ENABLE_ECHO_INPUT) == 0) return;
        ConsoleHost& host = ConsoleHost::Instance();
        if (host.mode() == ConsoleHost::Mode::Plain) {
            for (; count > 0; --count)
                Echo("\b \b", 3);
            return;
        }
        ScreenBuffer& screen = host.Screen();
        for (; count > 0; --count) {
            int x = screen.CursorX();
            int y = screen.CursorY();
            if (x > 0) {
                --x;
            } else if (y > 0) {
                x = screen.Columns() - 1;
                --y;
            } else {
                break;
            }
            screen.SetCursor(x, y);
            screen.WriteCharacters(" ", 1, x, y);
        }
        host.Show();
    }

    // Reads a line from the keyboard into line_, editing and echoing it, up to Enter (the
    // line then ends with CR LF) or the end of the input (it then has no line end). Keys
    // without a character (arrows, function keys, modifiers) are passed over.
    void EditLine() {
        INPUT_RECORD record{};
        while (NextRecord(record)) {
            if (!IsKeyPress(record)) continue;
            const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
            const char ch = key.uChar.AsciiChar;
            // A line feed (Ctrl+Enter, Ctrl+J) is a character of the line like any other.
            if (ch == '\r' || (key.wVirtualKeyCode == VK_RETURN && ch == '\0')) {
                line_[lineLength_++] = '\r';
                line_[lineLength_++] = '\n';
                Echo("\r\n", 2);
                return;
            }
            if (key.wVirtualKeyCode == VK_BACK || ch == '\b') {
                if (lineLength_ > 0) Unecho(CellsOf(line_[--lineLength_]));
            } else if (key.wVirtualKeyCode == VK_ESCAPE) {
                std::size_t cells = 0;
                for (; lineLength_ > 0; --lineLength_)
                    cells += CellsOf(line_[lineLength_ - 1]);
                Unecho(cells);
            } else if (ch != '\0' && lineLength_ < LineCapacity - 2) {
                line_[lineLength_++] = ch;
                EchoCharacter(ch);
            }
        }
    }

    // Reads a line of a file or a pipe into line_, handing it over with CR LF.
    void ReadStreamLine() {
        // Bytes already taken from the stream for keys come first.
        while (byteCount_ > 0 || ReadReady(-1, 1)) {
            const char ch = static_cast<char>(bytes_[0]);
            for (std::size_t i = 1; i < byteCount_; ++i)
                bytes_[i - 1] = bytes_[i];
            --byteCount_;
            if (ch == '\n') {
                if (lineLength_ > 0 && line_[lineLength_ - 1] == '\r') --lineLength_;
                line_[lineLength_++] = '\r';
                line_[lineLength_++] = '\n';
                return;
            }
            if (lineLength_ < LineCapacity - 2) line_[lineLength_++] = ch;
        }
    }

    // Without line input: the characters typed so far, at least one, waiting for it.
    void TakeCharacters(std::size_t count) {
        if (source_ == Source::Stream) {
            if (byteCount_ == 0) ReadReady(-1, std::min(count, ByteCapacity));
            lineLength_ = std::min(byteCount_, count);
            std::copy_n(bytes_, lineLength_, line_);
            for (std::size_t i = lineLength_; i < byteCount_; ++i)
                bytes_[i - lineLength_] = bytes_[i];
            byteCount_ -= lineLength_;
            return;
        }
        INPUT_RECORD record{};
        while (lineLength_ == 0 && NextRecord(record)) {
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                line_[lineLength_++] = record.Event.KeyEvent.uChar.AsciiChar;
            }
        }
        // Then whatever else is typed already, as far as the count goes.
        while (lineLength_ < count && lineLength_ < LineCapacity && size_ > 0) {
            Copy(&record, 1, true);
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                line_[lineLength_++] = record.Event.KeyEvent.uChar.AsciiChar;
            }
        }
    }

    bool HasRoom() const { return queue_.size() - size_ >= KeyEvents::Capacity; }

    // Reads what standard input has ready, at most what the byte buffer holds; false when
    // nothing was read (none ready, or the input ended).
    bool ReadReady(int timeoutMs, std::size_t most) {
        if (ended_ || byteCount_ == ByteCapacity) return false;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        int ready = 0;
        do {
            ready = poll(&in, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        const std::size_t room = std::min(ByteCapacity - byteCount_, most);
        ssize_t n = 0;
        do {
            n = read(STDIN_FILENO, bytes_ + byteCount_, room);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (n <= 0) {
            ended_ = true;  // end of file, or a terminal that hung up
            return false;
        }
        byteCount_ += static_cast<std::size_t>(n);
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
        for (std::size_t i = used; i < byteCount_; ++i)
            bytes_[i - used] = bytes_[i];
        byteCount_ -= used;
        return complete;
    }

    void CollectFromTerminal(bool wait) {
        for (;;) {
            while (HasRoom() && ReadReady(0, ByteCapacity))
                Decode(false);
            if (!Decode(false)) {
                // A sequence cut short: wait a moment for the rest, then take it as it is.
                while (HasRoom() && ReadReady(SequenceWaitMs, ByteCapacity)) {
                    if (Decode(false)) break;
                }
                Decode(true);
            }
            if (ended_) Decode(true);
            if (!wait || size_ > 0 || Ended()) return;
            ReadReady(-1, ByteCapacity);
        }
    }

    void CollectFromStream(bool wait) {
        // One key at a time, and only when none is queued: keys behind it stay unread, so a
        // flush discards no more than the key in hand.
        while (size_ == 0 && !Ended()) {
            if (byteCount_ > 0 && Decode(false) && size_ > 0) return;
            const int timeoutMs = byteCount_ > 0 ? SequenceWaitMs : (wait ? -1 : 0);
            if (!ReadReady(timeoutMs, 1)) {
                // Nothing more now: what is held is taken as it is.
                Decode(true);
                if (!wait || byteCount_ == 0) return;
            }
        }
    }

    std::vector<INPUT_RECORD> queue_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    unsigned char bytes_[ByteCapacity] = {};
    std::size_t byteCount_ = 0;
    Source source_ = Source::None;
    bool ended_ = false;
    DWORD mode_ = DefaultInputMode;
    // The line being read or handed over, and how much of it the caller has taken.
    char line_[LineCapacity] = {};
    std::size_t lineLength_ = 0;
    std::size_t lineDelivered_ = 0;
};

ConsoleInput* InputFor(HANDLE handle) {
    if (!IsConsoleInput(handle)) {
        SetLastError(EBADF);
        return nullptr;
    }
    return &ConsoleInput::Instance();
}

DWORD OutputMode = DefaultOutputMode;

void Store(LPDWORD place, std::size_t value) {
    if (place != nullptr) *place = static_cast<DWORD>(value);
}

}  // namespace

}  // namespace conlib::posix

namespace conlib::win {

using posix::ConsoleInput;
using posix::InputFor;
using posix::Store;

BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
    if (posix::IsConsoleOutput(hConsoleHandle)) {
        *lpMode = posix::OutputMode;
        return TRUE;
    }
    ConsoleInput* input = InputFor(hConsoleHandle);
    if (input == nullptr) return FALSE;
    *lpMode = input->mode();
    return TRUE;
}

BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode) {
    if (posix::IsConsoleOutput(hConsoleHandle)) {
        posix::OutputMode = dwMode;
        return TRUE;
    }
    ConsoleInput* input = InputFor(hConsoleHandle);
    if (input == nullptr) return FALSE;
    input->SetMode(dwMode);
    return TRUE;
}

BOOL ReadConsoleA(HANDLE hConsoleInput, LPVOID lpBuffer, DWORD nNumberOfCharsToRead,
                  LPDWORD lpNumberOfCharsRead, void*) {
    Store(lpNumberOfCharsRead, 0);
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    std::size_t delivered = 0;
    if (!input->ReadText(static_cast<char*>(lpBuffer), nNumberOfCharsToRead, delivered)) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfCharsRead, delivered);
    return TRUE;
}

BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    Store(lpNumberOfEventsRead, 0);
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    input->Collect(false);
    Store(lpNumberOfEventsRead, input->Copy(lpBuffer, nLength, false));
    return TRUE;
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    Store(lpNumberOfEventsRead, 0);
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    input->Collect(true);
    if (nLength > 0 && input->Ended()) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfEventsRead, input->Copy(lpBuffer, nLength, true));
    return TRUE;
}

BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten) {
    Store(lpNumberOfEventsWritten, 0);
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    Store(lpNumberOfEventsWritten, input->Append(lpBuffer, nLength));
    return TRUE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents) {
    Store(lpNumberOfEvents, 0);
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    input->Collect(false);
    if (input->Ended()) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(lpNumberOfEvents, input->size());
    return TRUE;
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    input->Flush();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    timespec rest{static_cast<time_t>(dwMilliseconds / 1000),
                  static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

}  // namespace conlib::win
