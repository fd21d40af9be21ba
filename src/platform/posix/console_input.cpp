// The console host's input: a queue of input records (platform::InputQueue), filled from the
// keyboard through the terminal-input decoder, and the console input calls served by it.
//
// Where the records come from:
// - a terminal: every byte it has ready is read and decoded at once, as a keyboard fills the
//   Windows console's queue as keys are typed, so a flush discards what was typed ahead;
// - a file or a pipe: bytes are read only as keys are asked for, each key once (the queue's
//   own way with a stream);
// - the headless console (CONLIB_CONSOLE): nothing but the records written into it.
// When the source has ended and the queue is empty, the input has ended: a wait returns.
//
// A line read (ReadConsoleA with line input on) is edited and echoed here, as the Windows
// console does it: characters (a control character shows as ^ and its letter, ^A for 0x01),
// Backspace (back across a wrapped row too), Escape (clears the line) and Enter, which hands
// the line over followed by CR LF. What the caller's count does not take stays pending for
// the next read. A file or a pipe gives its lines as they stand, a line feed alone or a
// carriage return and line feed ending each.
#include <cerrno>
#include <ctime>

#include <poll.h>
#include <unistd.h>

#include "console_host.hpp"
#include "handles.hpp"
#include "platform/common/input_queue.hpp"
#include "terminal.hpp"
#include "win.hpp"

namespace conlib::posix {

namespace {

using namespace win;
using platform::SequenceWaitMs;
using platform::WaitForever;

// The mode a console's output starts with.
constexpr DWORD DefaultOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

class ConsoleInput final : public platform::InputQueue {
  public:
    static ConsoleInput& Instance() {
        static ConsoleInput* input = new ConsoleInput();
        return *input;
    }

    // On a terminal, Ctrl+C is the interrupt key only with processed input.
    void SetMode(DWORD mode) {
        InputQueue::SetMode(mode);
        if (source_ == Source::Terminal) {
            terminal::SetInterruptKey((mode & ENABLE_PROCESSED_INPUT) != 0);
        }
    }

    // A terminal: all it has ready; a stream: the queue's own way, a key at a time.
    void Collect(bool wait) override {
        switch (source_) {
            case Source::None:
                return;
            case Source::Terminal:
                // A screen to redraw after the process was stopped is redrawn while it waits.
                ConsoleHost::Instance().Screen();
                CollectFromTerminal(wait);
                return;
            case Source::Stream:
                InputQueue::Collect(wait);
                return;
        }
    }

  private:
    enum class Source { None, Terminal, Stream };

    ConsoleInput() {
        if (ConsoleHost::Instance().mode() == ConsoleHost::Mode::Headless) {
            source_ = Source::None;
            EndSource();
        } else if (isatty(STDIN_FILENO)) {
            source_ = Source::Terminal;
            terminal::TakeOver((mode() & ENABLE_PROCESSED_INPUT) != 0);
        } else {
            source_ = Source::Stream;
        }
    }

    SourceRead ReadSource(unsigned char* buffer, std::size_t room, int timeoutMs) override {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        int ready = 0;
        do {
            ready = poll(&in, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return {0, false};
        ssize_t n = 0;
        do {
            n = read(STDIN_FILENO, buffer, room);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {0, false};
        if (n <= 0) return {0, true};  // end of file, or a terminal that hung up
        return {static_cast<std::size_t>(n), false};
    }

    // From the keyboard (a terminal, or the records written into a headless console), lines
    // are edited and echoed; a stream gives its lines as they stand.
    void AssembleText(bool lineInput, std::size_t count) override {
        if (source_ == Source::Stream) {
            InputQueue::AssembleText(lineInput, count);
        } else if (lineInput) {
            EditLine();
        } else {
            TakeCharacters(count);
        }
    }

    // The next input record, waiting for one; false when the input has ended.
    bool NextRecord(INPUT_RECORD& record) {
        Collect(true);
        return TakeRecord(record);
    }

    static bool IsKeyPress(const INPUT_RECORD& record) {
        return record.EventType == KEY_EVENT && (record.Event.KeyEvent.bKeyDown & 1) != 0;
    }

    // Shows typed text as the console echoes it: on the console's screen, or, when standard
    // output is redirected, on a terminal that standard error may still be.
    void Echo(const char* text, std::size_t length) {
        if ((mode() & ENABLE_ECHO_INPUT) == 0) return;
        ConsoleHost& host = ConsoleHost::Instance();
        if (host.mode() != ConsoleHost::Mode::Plain) {
            host.Write(text, length);
        } else if (isatty(STDERR_FILENO)) {
            WriteAll(STDERR_FILENO, text, length);
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
        if ((mode() & ENABLE_ECHO_INPUT) == 0) return;
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
                EndLine();
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

    // Without line input: the characters typed so far, at least one, waiting for it.
    void TakeCharacters(std::size_t count) {
        INPUT_RECORD record{};
        while (lineLength_ == 0 && NextRecord(record)) {
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                line_[lineLength_++] = record.Event.KeyEvent.uChar.AsciiChar;
            }
        }
        // Then whatever else is typed already, as far as the count goes.
        while (lineLength_ < count && lineLength_ < LineCapacity && TakeRecord(record)) {
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                line_[lineLength_++] = record.Event.KeyEvent.uChar.AsciiChar;
            }
        }
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
            if (SourceEnded()) Decode(true);
            if (!wait || size() > 0 || Ended()) return;
            ReadReady(WaitForever, ByteCapacity);
        }
    }

    Source source_ = Source::None;
};

// The console input behind `handle`, after storing 0 in `count` (where given); null, with
// the last error set, when `handle` is not the console's input.
ConsoleInput* InputFor(HANDLE handle, LPDWORD count = nullptr) {
    if (count != nullptr) *count = 0;
    if (!IsConsoleInput(handle)) {
        SetLastError(EBADF);
        return nullptr;
    }
    return &ConsoleInput::Instance();
}

DWORD OutputMode = DefaultOutputMode;

}  // namespace

}  // namespace conlib::posix

namespace conlib::win {

using posix::ConsoleInput;
using posix::InputFor;

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
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfCharsRead);
    if (input == nullptr) return FALSE;
    return input->ReadText(lpBuffer, nNumberOfCharsToRead, lpNumberOfCharsRead);
}

BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsRead);
    if (input == nullptr) return FALSE;
    return input->PeekRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsRead);
    if (input == nullptr) return FALSE;
    return input->ReadRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten) {
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsWritten);
    if (input == nullptr) return FALSE;
    return input->WriteRecords(lpBuffer, nLength, lpNumberOfEventsWritten);
}

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents) {
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEvents);
    if (input == nullptr) return FALSE;
    return input->CountRecords(lpNumberOfEvents);
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
