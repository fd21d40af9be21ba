// The console host's input: a queue of input records (platform::InputQueue), filled from the
// keyboard through the terminal-input decoder, and the console input calls served by it.
//
// Where the records come from:
// - a terminal: the host thread reads its bytes as they arrive and decodes them at once, as a
//   keyboard fills the Windows console's queue as keys are typed, so a flush discards what was
//   typed ahead; with processed input Ctrl+C is no key but the interrupt signal, by the mode in
//   force when it arrives;
// - a file or a pipe: bytes are read only as keys are asked for, each key once (the queue's
//   own way with a stream);
// - the headless console (CONLIB_CONSOLE): nothing but the records written into it.
// When the source has ended and the queue is empty, the input has ended: a wait returns.
//
// A line read (ReadConsoleA with line input on) from the keyboard is edited by the line
// editor (platform::LineEditor, which says what each key does) and echoed here, on the
// console's screen or, with standard output redirected, on a terminal on standard error. What
// the caller's count does not take stays pending for the next read. A file or a pipe gives its
// lines as they stand, a line feed alone or a carriage return and line feed ending each.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string_view>

#include <poll.h>
#include <unistd.h>

#include "console_host.hpp"
#include "handles.hpp"
#include "platform/common/input_queue.hpp"
#include "platform/common/line_editor.hpp"
#include "platform/posix/win.hpp"

namespace conlib::posix {

namespace {

using namespace win;

// The mode a console's output starts with.
constexpr DWORD DefaultOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

class ConsoleInput final : public platform::InputQueue, public KeyboardSink {
  public:
    static ConsoleInput& Instance() {
        static ConsoleInput* input = new ConsoleInput();
        return *input;
    }

    // The terminal is drawn before any look at the input. From a terminal the host thread
    // fills the queue (the keyboard is taken at the first look, when the output is no
    // terminal); a stream is read the queue's own way, a key at a time.
    void Collect(bool wait) override {
        ConsoleHost& host = ConsoleHost::Instance();
        if (source_ == Source::Terminal) host.TakeKeyboard();
        host.ShowNow();
        switch (source_) {
            case Source::None:
                return;
            case Source::Terminal:
                while (wait && size() == 0 && !Ended())
                    host.WaitForInput(host.InputCount());
                return;
            case Source::Stream:
                InputQueue::Collect(wait);
                return;
        }
    }

    // FlushConsoleInputBuffer: from a terminal, the start of a sequence whose rest is still
    // on its way is a key being typed, and stays.
    void FlushInput() {
        if (source_ == Source::Terminal) {
            FlushRecords();
        } else {
            Flush();
        }
    }

    // The host thread's bytes from the terminal.
    bool TakeKeyboardBytes(const unsigned char* bytes, std::size_t count,
                           bool cursorReportOwed) override {
        SetCursorReportOwed(cursorReportOwed);
        return !TakeBytes(bytes, count);
    }
    void TakeHeldBytes() override { Decode(true); }
    void KeyboardEnded() override {
        EndSource();
        Decode(true);
    }

  private:
    enum class Source { None, Terminal, Stream };

    ConsoleInput() {
        const ConsoleHost& host = ConsoleHost::Instance();
        if (host.mode() == ConsoleHost::Mode::Headless) {
            source_ = Source::None;
            EndSource();
        } else if (host.ReadsKeyboard()) {
            source_ = Source::Terminal;
        } else {
            source_ = Source::Stream;
        }
    }

    // Ctrl+C from the keyboard with processed input: the program's interrupt.
    bool TakeKey(const platform::KeyEvents& events) override {
        if (source_ != Source::Terminal || (mode() & ENABLE_PROCESSED_INPUT) == 0) return false;
        for (std::size_t i = 0; i < events.count; ++i) {
            const INPUT_RECORD& record = events.records[i];
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar == '\x03') {
                ConsoleHost::Instance().RequestInterrupt();
                return true;
            }
        }
        return false;
    }

    // A stream: read without the host's lock, which the host thread may need meanwhile.
    SourceRead ReadSource(unsigned char* buffer, std::size_t room, int timeoutMs) override {
        HostUnlocked unlocked(ConsoleHost::Lock());
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

    // The terminal's replies go to the host, whose queries they answer.
    void TakeReport(const platform::TerminalReport& report) override {
        ConsoleHost::Instance().TakeReport(report);
    }

    // From the keyboard (a terminal, or the records written into a headless console), lines
    // are edited and echoed; a stream gives its lines as they stand.
    void AssembleText(bool lineInput, std::size_t count) override {
        if (source_ == Source::Stream) {
            InputQueue::AssembleText(lineInput, count);
        } else if (lineInput) {
            EditLine(count);
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

    // Reads a line from the keyboard into line_, editing and echoing it, up to Enter (the
    // line then ends with CR LF) or the end of the input (it then has no line end). The line
    // holds as many characters as the caller's `count` asks for, and never fewer than a line
    // of LineCapacity.
    void EditLine(std::size_t count) {
        StartEcho();
        editor_.Start(MostLineCharacters(count));
        INPUT_RECORD record{};
        bool entered = false;
        // The echo waits while more keys are queued (a paste): it then shows their changes at
        // once, from the first character any of them changed.
        constexpr std::size_t Nothing = static_cast<std::size_t>(-1);
        std::size_t changedFrom = Nothing;
        bool pointMoved = false;
        const auto echo = [&] {
            if (changedFrom != Nothing) {
                ShowFrom(changedFrom);
            } else if (pointMoved) {
                ShowCursor();
            }
            changedFrom = Nothing;
            pointMoved = false;
        };
        while (!entered && NextRecord(record)) {
            if (record.EventType != KEY_EVENT) continue;
            const platform::LineChange change = editor_.Key(record.Event.KeyEvent);
            switch (change.kind) {
                case platform::LineChange::Kind::None:
                    break;
                case platform::LineChange::Kind::Point:
                    pointMoved = true;
                    break;
                case platform::LineChange::Kind::Text:
                    changedFrom = std::min(changedFrom, change.from);
                    break;
                case platform::LineChange::Kind::Entered:
                    echo();
                    EndEcho();
                    entered = true;
                    break;
            }
            if (size() == 0) echo();
        }
        echo();
        const std::string_view text = editor_.line();
        ReserveLine(text.size());
        lineLength_ = text.copy(line_.data(), text.size());
        if (entered) EndLine();
    }

    // The echo. On the console's screen the line's first cell is at (startX_, startY_); the
    // cells of its characters follow row after row. When the echo scrolls the screen, the
    // start moves up with it, above row 0 for a line longer than the screen: cells that are
    // gone are not drawn. When standard output is redirected, the echo goes to standard error
    // if that is a terminal, as bytes: the terminal's cursor is moved back with backspaces
    // and forward by writing the characters again.

    static bool Plain() { return ConsoleHost::Instance().mode() == ConsoleHost::Mode::Plain; }
    bool Echoing() const { return (mode() & ENABLE_ECHO_INPUT) != 0 && (!Plain() || plainEcho_); }

    void StartEcho() {
        shownCells_ = 0;
        shownCursor_ = 0;
        shownCursorCells_ = 0;
        plainEcho_ = Plain() && isatty(STDERR_FILENO) != 0;
        if (!Echoing() || Plain()) return;
        const ScreenBuffer& screen = ConsoleHost::Instance().Screen();
        startX_ = screen.CursorX();
        startY_ = screen.CursorY();
    }

    // Shows text as the console echoes it, where its cursor is.
    void EchoText(const char* text, std::size_t length) {
        if (!Echoing()) return;
        if (Plain()) {
            WriteAll(STDERR_FILENO, text, length);
        } else {
            ConsoleHost::Instance().Write(text, length);
        }
    }

    // The line as the editor holds it now.
    std::string_view Text() const { return editor_.line(); }

    // The cells that a character of the line takes on the screen: a control character shows
    // as ^ and its letter.
    static std::size_t CellsOf(char ch) { return static_cast<unsigned char>(ch) < 0x20 ? 2 : 1; }

    std::size_t CellsBetween(std::size_t from, std::size_t to) const {
        std::size_t cells = 0;
        for (std::size_t i = from; i < to; ++i)
            cells += CellsOf(Text()[i]);
        return cells;
    }

    // Echo bytes are gathered in echoBytes_ and written out in pieces.
    void Emit(char ch) {
        if (echoCount_ == sizeof echoBytes_) FlushEcho();
        echoBytes_[echoCount_++] = ch;
    }
    void EmitGlyphs(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (CellsOf(Text()[i]) == 2) {
                Emit('^');
                Emit(static_cast<char>(Text()[i] + '@'));
            } else {
                Emit(Text()[i]);
            }
        }
    }
    void FlushEcho() {
        if (echoCount_ > 0) EchoText(echoBytes_, echoCount_);
        echoCount_ = 0;
    }

    // The place of the line's cell `cell` along the screen's rows, counted from the screen's
    // first cell; negative above the screen.
    long Linear(std::size_t cell, int columns) const {
        return static_cast<long>(startY_) * columns + startX_ + static_cast<long>(cell);
    }

    // The column of the line's cell `cell`.
    long Column(std::size_t cell, int columns) const {
        return (Linear(cell, columns) % columns + columns) % columns;
    }

    // The echo byte in the line's cell `cell`: a character, or either half of ^X.
    char ByteAtCell(std::size_t cell) const {
        std::size_t at = 0;
        for (std::size_t i = 0; i < Text().size(); ++i) {
            const std::size_t width = CellsOf(Text()[i]);
            if (cell < at + width) {
                if (width == 1) return Text()[i];
                return cell == at ? '^' : static_cast<char>(Text()[i] + '@');
            }
            at += width;
        }
        return ' ';
    }

    // Puts the screen's cursor on the line's cell `cell`: on the screen's first cell when that
    // cell has scrolled away, on its last when the cell lies just past the bottom row.
    void PlaceCursor(ScreenBuffer& screen, std::size_t cell) const {
        const long columns = screen.Columns();
        const long at = std::max(0L, Linear(cell, screen.Columns()));
        if (at / columns >= screen.Rows()) {
            screen.SetCursor(screen.Columns() - 1, screen.Rows() - 1);
            return;
        }
        screen.SetCursor(static_cast<int>(at % columns), static_cast<int>(at / columns));
    }

    // Enter: the cursor to the line's end (the edit point is there), then a line break.
    void EndEcho() {
        ShowCursor();
        EchoText("\r\n", 2);
    }

    // Draws the line from character `from` to its end, blanks the cells its echo took
    // beyond that before, and puts the cursor at the edit point.
    void ShowFrom(std::size_t from) {
        if (!Echoing()) return;
        const std::size_t cells = CellsBetween(0, Text().size());
        const std::size_t freed = shownCells_ > cells ? shownCells_ - cells : 0;
        shownCells_ = cells;
        if (Plain()) {
            ShowPlainFrom(from, freed);
            return;
        }
        ConsoleHost& host = ConsoleHost::Instance();
        ScreenBuffer& screen = host.Screen();
        const int columns = screen.Columns();
        // Characters whose cells have scrolled away above the screen are not drawn.
        std::size_t i = from;
        std::size_t cell = CellsBetween(0, from);
        while (i < Text().size() && Linear(cell, columns) < 0)
            cell += CellsOf(Text()[i++]);
        if (i < Text().size()) {
            // Drawing starts one cell early at the start of a row, on the last cell of the row
            // above: its wrap, pending there, then moves the echo on and scrolls if need be.
            if (cell > 0 && Column(cell, columns) == 0 && Linear(cell - 1, columns) >= 0) {
                PlaceCursor(screen, cell - 1);
                Emit(ByteAtCell(cell - 1));
            } else {
                PlaceCursor(screen, cell);
            }
            EmitGlyphs(i, Text().size());
            // A line that ends at the end of a row keeps its wrap pending, as the echo of a
            // line does: its last cell is put in place without moving the cursor on.
            const bool rowFilled = Column(cells, columns) == 0;
            const char held = rowFilled ? echoBytes_[--echoCount_] : '\0';
            FlushEcho();
            if (rowFilled) {
                const std::uint16_t attribute = screen.Attribute();
                screen.WriteCharacters(&held, 1, screen.CursorX(), screen.CursorY());
                screen.WriteAttributes(&attribute, 1, screen.CursorX(), screen.CursorY());
            }
            // Where the echo ended tells how many rows it scrolled the screen.
            const long ended = static_cast<long>(screen.CursorY()) * columns + screen.CursorX();
            const long shift = Linear(rowFilled ? cells - 1 : cells, columns) - ended;
            if (shift > 0) startY_ -= static_cast<int>(shift / columns);
        }
        // The freed cells, as far as they are on the screen.
        const long first = std::max(0L, Linear(cells, columns));
        const long end =
            std::min(Linear(cells + freed, columns), static_cast<long>(columns) * screen.Rows());
        static constexpr char Blanks[] = "                                ";
        for (long at = first; at < end;) {
            const std::size_t count =
                std::min<std::size_t>(sizeof Blanks - 1, static_cast<std::size_t>(end - at));
            screen.WriteCharacters(Blanks, count, static_cast<int>(at % columns),
                                   static_cast<int>(at / columns));
            at += static_cast<long>(count);
        }
        PlaceCursor(screen, CellsBetween(0, editor_.point()));
        host.Show();
    }

    // Moves the cursor to the edit point.
    void ShowCursor() {
        if (!Echoing()) return;
        if (Plain()) {
            MovePlainCursor(editor_.point());
            FlushEcho();
            return;
        }
        ConsoleHost& host = ConsoleHost::Instance();
        ScreenBuffer& screen = host.Screen();
        PlaceCursor(screen, CellsBetween(0, editor_.point()));
        host.Show();
    }

    // The terminal on standard error: its cursor to character `index` of the line. The text
    // before the lower of `index` and the edit point it stood at is as that terminal shows it.
    void MovePlainCursor(std::size_t index) {
        const std::size_t cells = CellsBetween(0, index);
        if (cells < shownCursorCells_) {
            for (std::size_t n = shownCursorCells_ - cells; n > 0; --n)
                Emit('\b');
        } else {
            EmitGlyphs(shownCursor_, index);
        }
        shownCursor_ = index;
        shownCursorCells_ = cells;
    }

    void ShowPlainFrom(std::size_t from, std::size_t freed) {
        MovePlainCursor(from);
        EmitGlyphs(from, Text().size());
        for (std::size_t n = freed; n > 0; --n)
            Emit(' ');
        for (std::size_t n = freed + CellsBetween(editor_.point(), Text().size()); n > 0; --n)
            Emit('\b');
        shownCursor_ = editor_.point();
        shownCursorCells_ = CellsBetween(0, editor_.point());
        FlushEcho();
    }

    // Without line input: the characters typed so far, at least one, waiting for it.
    void TakeCharacters(std::size_t count) {
        INPUT_RECORD record{};
        while (lineLength_ == 0 && NextRecord(record)) {
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                PutLineCharacter(record.Event.KeyEvent.uChar.AsciiChar);
            }
        }
        // Then whatever else is typed already, as far as the count goes.
        while (lineLength_ < count && TakeRecord(record)) {
            if (IsKeyPress(record) && record.Event.KeyEvent.uChar.AsciiChar != '\0') {
                PutLineCharacter(record.Event.KeyEvent.uChar.AsciiChar);
            }
        }
    }

    Source source_ = Source::None;

    platform::LineEditor editor_;

    int startX_ = 0;
    int startY_ = 0;
    std::size_t shownCells_ = 0;  // the cells the line's echo takes
    // On a terminal on standard error: the character its cursor is at, and the cells before.
    std::size_t shownCursor_ = 0;
    std::size_t shownCursorCells_ = 0;
    bool plainEcho_ = false;
    char echoBytes_[256] = {};
    std::size_t echoCount_ = 0;
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

KeyboardSink& ConsoleKeyboard() {
    return ConsoleInput::Instance();
}

}  // namespace conlib::posix

namespace conlib::win {

using posix::ConsoleInput;
using posix::InputFor;

BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
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
    posix::HostGuard guard(posix::ConsoleHost::Lock());
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
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfCharsRead);
    if (input == nullptr) return FALSE;
    // Drawn also when the text is there already and nothing is waited for.
    posix::ConsoleHost::Instance().ShowNow();
    return input->ReadText(lpBuffer, nNumberOfCharsToRead, lpNumberOfCharsRead);
}

BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsRead);
    if (input == nullptr) return FALSE;
    return input->PeekRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsRead);
    if (input == nullptr) return FALSE;
    return input->ReadRecords(lpBuffer, nLength, lpNumberOfEventsRead);
}

BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEventsWritten);
    if (input == nullptr) return FALSE;
    return input->WriteRecords(lpBuffer, nLength, lpNumberOfEventsWritten);
}

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput, lpNumberOfEvents);
    if (input == nullptr) return FALSE;
    return input->CountRecords(lpNumberOfEvents);
}

BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hConsoleInput);
    if (input == nullptr) return FALSE;
    input->FlushInput();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    ConsoleInput* input = InputFor(hHandle);
    if (input == nullptr) return WAIT_FAILED;
    // The wait lets go of the lock while it sleeps: the host thread wakes it with the input.
    return input->WaitForRecords(dwMilliseconds);
}

void Sleep(DWORD dwMilliseconds) {
    // What the program has written is on the terminal before the wait begins.
    if (posix::ConsoleHost* host = posix::ConsoleHost::Started()) {
        posix::HostGuard guard(posix::ConsoleHost::Lock());
        host->ShowNow();
    }
    timespec rest{static_cast<time_t>(dwMilliseconds / 1000),
                  static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

}  // namespace conlib::win
