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
// console does it. The line has an edit point, where typed characters go: in insert mode (each
// line starts in it) they push the rest of the line right, in overwrite mode (Insert toggles)
// they replace the character there. A control character is a character of the line, shown as ^
// and its letter (^A for 0x01). The keys:
//   Left, Right, Home, End          move the edit point; Ctrl+Left and Ctrl+Right by words
//                                   (to the start of a word; words are split by blanks)
//   Backspace, Delete               remove the character before, at the edit point
//   Ctrl+Home, Ctrl+End             remove the line before, from the edit point
//   Escape                          clears the line
//   Up, Down                        the lines entered before (LineHistory); Down past the
//                                   newest brings back the line that was being typed
//   F1, F3                          copy one character, the rest, of the last line entered from
//                                   the edit point on
//   Enter                           hands the line over followed by CR LF, wherever the edit
//                                   point is; a line that is not empty joins the history
// Other keys without a character (function keys, modifiers) are passed over. Characters typed
// when the line is full are dropped. What the caller's count does not take stays pending for
// the next read. A file or a pipe gives its lines as they stand, a line feed alone or a
// carriage return and line feed ending each.
#include <algorithm>
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

// The lines entered before, the newest last: at most MostLines of them, their text in a ring
// of ArenaBytes bytes, one line after the other. The oldest lines go when a new one needs the
// room.
class LineHistory {
  public:
    static constexpr std::size_t MostLines = 50;
    static constexpr std::size_t ArenaBytes = 16384;

    std::size_t size() const { return count_; }

    // Keeps a line that is not empty.
    void Add(const char* text, std::size_t length) {
        if (length == 0 || length > ArenaBytes) return;
        while (count_ == MostLines || used_ + length > ArenaBytes) {
            used_ -= lines_[first_].length;
            first_ = (first_ + 1) % MostLines;
            --count_;
        }
        const Line& newest = lines_[(first_ + count_ + MostLines - 1) % MostLines];
        const std::size_t start = count_ == 0 ? 0 : (newest.start + newest.length) % ArenaBytes;
        for (std::size_t i = 0; i < length; ++i)
            arena_[(start + i) % ArenaBytes] = text[i];
        lines_[(first_ + count_) % MostLines] = Line{start, length};
        ++count_;
        used_ += length;
    }

    // Copies line `index` (0 is the oldest) to `target`; returns its length.
    std::size_t Copy(std::size_t index, char* target) const {
        const Line& line = lines_[(first_ + index) % MostLines];
        for (std::size_t i = 0; i < line.length; ++i)
            target[i] = arena_[(line.start + i) % ArenaBytes];
        return line.length;
    }

  private:
    struct Line {
        std::size_t start;
        std::size_t length;
    };
    Line lines_[MostLines] = {};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::size_t used_ = 0;
    char arena_[ArenaBytes] = {};
};

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

    // The line being edited: line_[0, lineLength_), with the edit point at cursor_. Each edit
    // changes the text from some index on and redraws the echo from there (ShowFrom).
    static constexpr std::size_t MostCharacters = LineCapacity - 2;  // room for CR LF

    // Reads a line from the keyboard into line_, editing and echoing it, up to Enter (the
    // line then ends with CR LF) or the end of the input (it then has no line end).
    void EditLine() {
        StartEcho();
        cursor_ = 0;
        insert_ = true;
        browsed_ = history_.size();
        INPUT_RECORD record{};
        while (NextRecord(record)) {
            if (!IsKeyPress(record)) continue;
            const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
            const char ch = key.uChar.AsciiChar;
            const WORD vk = key.wVirtualKeyCode;
            const bool ctrl =
                (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
            // A line feed (Ctrl+Enter, Ctrl+J) is a character of the line like any other.
            if (ch == '\r' || (vk == VK_RETURN && ch == '\0')) {
                history_.Add(line_, lineLength_);
                EndEcho();
                EndLine();
                return;
            }
            if (vk == VK_BACK || ch == '\b') {
                if (cursor_ > 0) Remove(cursor_ - 1, cursor_);
            } else if (vk == VK_ESCAPE) {
                Remove(0, lineLength_);
            } else if (ch != '\0') {
                Put(ch);
            } else {
                EditKey(vk, ctrl);
            }
        }
    }

    // A key without a character.
    void EditKey(WORD vk, bool ctrl) {
        switch (vk) {
            case VK_LEFT:
                MoveTo(ctrl ? WordLeft() : cursor_ - (cursor_ > 0 ? 1 : 0));
                break;
            case VK_RIGHT:
                MoveTo(ctrl ? WordRight() : cursor_ + (cursor_ < lineLength_ ? 1 : 0));
                break;
            case VK_HOME:
                if (ctrl) {
                    Remove(0, cursor_);
                } else {
                    MoveTo(0);
                }
                break;
            case VK_END:
                if (ctrl) {
                    Remove(cursor_, lineLength_);
                } else {
                    MoveTo(lineLength_);
                }
                break;
            case VK_DELETE:
                if (cursor_ < lineLength_) Remove(cursor_, cursor_ + 1);
                break;
            case VK_INSERT:
                insert_ = !insert_;
                break;
            case VK_UP:
                if (browsed_ == 0) break;
                // The line being typed is kept, for Down to bring back.
                if (browsed_ == history_.size()) {
                    std::copy_n(line_, lineLength_, typed_);
                    typedLength_ = lineLength_;
                }
                --browsed_;
                Recall(browsed_);
                break;
            case VK_DOWN:
                if (browsed_ >= history_.size()) break;
                ++browsed_;
                Recall(browsed_);
                break;
            case VK_F1:
            case VK_F3:
                CopyFromLast(vk == VK_F1 ? 1 : MostCharacters);
                break;
            default:
                break;
        }
    }

    // Puts a typed character at the edit point: inserted, or over the character there.
    void Put(char ch) {
        if (insert_ || cursor_ == lineLength_) {
            if (lineLength_ == MostCharacters) return;
            std::copy_backward(line_ + cursor_, line_ + lineLength_, line_ + lineLength_ + 1);
            ++lineLength_;
        }
        line_[cursor_++] = ch;
        ShowFrom(cursor_ - 1);
    }

    // Removes the characters [from, to) of the line; the edit point goes to `from`.
    void Remove(std::size_t from, std::size_t to) {
        if (from == to) return;
        std::copy(line_ + to, line_ + lineLength_, line_ + from);
        lineLength_ -= to - from;
        cursor_ = from;
        ShowFrom(from);
    }

    void MoveTo(std::size_t index) {
        cursor_ = index;
        ShowCursor();
    }

    static bool IsBlank(char ch) { return ch == ' '; }

    // The start of the word before the edit point (of the word it stands in).
    std::size_t WordLeft() const {
        std::size_t i = cursor_;
        while (i > 0 && IsBlank(line_[i - 1]))
            --i;
        while (i > 0 && !IsBlank(line_[i - 1]))
            --i;
        return i;
    }

    // The start of the next word after the edit point, or the end of the line.
    std::size_t WordRight() const {
        std::size_t i = cursor_;
        while (i < lineLength_ && !IsBlank(line_[i]))
            ++i;
        while (i < lineLength_ && IsBlank(line_[i]))
            ++i;
        return i;
    }

    // Replaces the line with the history's line `index`, or with the line that was being
    // typed when `index` is past the newest; the edit point goes to its end.
    void Recall(std::size_t index) {
        if (index < history_.size()) {
            lineLength_ = history_.Copy(index, line_);
        } else {
            std::copy_n(typed_, typedLength_, line_);
            lineLength_ = typedLength_;
        }
        cursor_ = lineLength_;
        ShowFrom(0);
    }

    // Copies at most `most` characters of the last line entered, from the edit point's index
    // on, over the line from the edit point.
    void CopyFromLast(std::size_t most) {
        if (history_.size() == 0) return;
        const std::size_t length = history_.Copy(history_.size() - 1, last_);
        if (cursor_ >= length) return;
        const std::size_t count = std::min(most, length - cursor_);
        const std::size_t from = cursor_;
        std::copy_n(last_ + from, count, line_ + from);
        cursor_ = from + count;
        lineLength_ = std::max(lineLength_, cursor_);
        ShowFrom(from);
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

    // The cells that a character of the line takes on the screen: a control character shows
    // as ^ and its letter.
    static std::size_t CellsOf(char ch) { return static_cast<unsigned char>(ch) < 0x20 ? 2 : 1; }

    std::size_t CellsBetween(std::size_t from, std::size_t to) const {
        std::size_t cells = 0;
        for (std::size_t i = from; i < to; ++i)
            cells += CellsOf(line_[i]);
        return cells;
    }

    // Echo bytes are gathered in echoBytes_ and written out in pieces.
    void Emit(char ch) {
        if (echoCount_ == sizeof echoBytes_) FlushEcho();
        echoBytes_[echoCount_++] = ch;
    }
    void EmitGlyphs(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (CellsOf(line_[i]) == 2) {
                Emit('^');
                Emit(static_cast<char>(line_[i] + '@'));
            } else {
                Emit(line_[i]);
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
        for (std::size_t i = 0; i < lineLength_; ++i) {
            const std::size_t width = CellsOf(line_[i]);
            if (cell < at + width) {
                if (width == 1) return line_[i];
                return cell == at ? '^' : static_cast<char>(line_[i] + '@');
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

    // Enter: the cursor to the line's end, then a line break.
    void EndEcho() {
        cursor_ = lineLength_;
        ShowCursor();
        EchoText("\r\n", 2);
    }

    // Draws the line from character `from` to its end, blanks the cells its echo took
    // beyond that before, and puts the cursor at the edit point.
    void ShowFrom(std::size_t from) {
        if (!Echoing()) return;
        const std::size_t cells = CellsBetween(0, lineLength_);
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
        while (i < lineLength_ && Linear(cell, columns) < 0)
            cell += CellsOf(line_[i++]);
        if (i < lineLength_) {
            // Drawing starts one cell early at the start of a row, on the last cell of the row
            // above: its wrap, pending there, then moves the echo on and scrolls if need be.
            if (cell > 0 && Column(cell, columns) == 0 && Linear(cell - 1, columns) >= 0) {
                PlaceCursor(screen, cell - 1);
                Emit(ByteAtCell(cell - 1));
            } else {
                PlaceCursor(screen, cell);
            }
            EmitGlyphs(i, lineLength_);
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
        PlaceCursor(screen, CellsBetween(0, cursor_));
        host.Show();
    }

    // Moves the cursor to the edit point.
    void ShowCursor() {
        if (!Echoing()) return;
        if (Plain()) {
            MovePlainCursor(cursor_);
            FlushEcho();
            return;
        }
        ConsoleHost& host = ConsoleHost::Instance();
        ScreenBuffer& screen = host.Screen();
        PlaceCursor(screen, CellsBetween(0, cursor_));
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
        EmitGlyphs(from, lineLength_);
        for (std::size_t n = freed; n > 0; --n)
            Emit(' ');
        for (std::size_t n = freed + CellsBetween(cursor_, lineLength_); n > 0; --n)
            Emit('\b');
        shownCursor_ = cursor_;
        shownCursorCells_ = CellsBetween(0, cursor_);
        FlushEcho();
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

    std::size_t cursor_ = 0;  // the edit point, an index in line_
    bool insert_ = true;
    LineHistory history_;
    std::size_t browsed_ = 0;  // the history line shown; history_.size() for the one typed
    char typed_[LineCapacity] = {};
    std::size_t typedLength_ = 0;
    char last_[LineCapacity] = {};  // the last line entered, for F1 and F3

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
