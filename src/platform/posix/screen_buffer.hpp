// The console host's screen buffer: cells of (character, attribute), a cursor and the current
// attribute, with the Windows console's default output processing, and the window: the part
// of the buffer a terminal shows.
//
// The characters and the attributes are kept in two arrays of their own, row after row, so that
// writing a run of either (as a clear does, for every row of a buffer thousands of rows tall)
// is a plain copy of memory.
//
// The window never leaves the buffer. When it follows the cursor (on a terminal), it moves as
// the Windows console's does: after a cursor move, a write or a change of size that leaves the
// cursor outside it, it moves the least distance that shows the cursor; it never moves
// otherwise. A line feed on the buffer's last row scrolls the whole buffer, as before.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace conlib::posix {

struct Cell {
    std::uint8_t ch;
    std::uint16_t attr;
    // Only in what a renderer remembers of a terminal: the cell shows something it did not
    // draw (the shell's text, or whatever a terminal shows after it was drawn over).
    bool unknown = false;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// A row of cells as the buffer stores them, from some column on: `[x]` is the cell x columns
// further right. Cells x with writtenFrom <= x < writtenEnd have been written since the
// buffer started; the others still stand for what the terminal showed before.
struct CellRow {
    const std::uint8_t* chars;
    const std::uint16_t* attrs;
    int writtenFrom = INT_MIN;
    int writtenEnd = INT_MAX;
    Cell operator[](int x) const { return Cell{chars[x], attrs[x]}; }
    bool Written(int x) const { return x >= writtenFrom && x < writtenEnd; }
};

// What changed since the renderer last looked.
struct ScreenChanges {
    // Lines the window's content moved up (capped at the row count): the buffer scrolled, or
    // the window moved down by less than its height. Any other move of the window marks all
    // its rows instead.
    int scrolled;
    int firstRow;  // buffer rows [firstRow, endRow) may differ from what was last shown
    int endRow;
    int bells;  // bell characters written
};

class ScreenBuffer {
  public:
    static constexpr std::uint16_t DefaultAttribute = 0x07;
    static constexpr std::uint8_t Blank = ' ';
    // Tab stops stand every this many columns.
    static constexpr int TabWidth = 8;

    // A buffer of this size with a window over all of it that does not follow the cursor.
    ScreenBuffer(int columns, int rows);

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    int CursorX() const { return cursorX_; }
    int CursorY() const { return cursorY_; }
    std::uint16_t Attribute() const { return attribute_; }
    void SetAttribute(std::uint16_t attribute) { attribute_ = attribute; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < columns_ && y < rows_; }

    // New size; the cells that fit keep their place at the top left, new cells are blank in
    // the current attribute and the cursor is kept inside the buffer. The window stays inside
    // it too, shrunk when it no longer fits.
    void Resize(int columns, int rows);

    // The window: its top left cell and its size.
    int WindowLeft() const { return windowLeft_; }
    int WindowTop() const { return windowTop_; }
    int WindowColumns() const { return windowColumns_; }
    int WindowRows() const { return windowRows_; }
    // A window of this size from where it stands, moved the least to stay inside the buffer
    // and, when it follows the cursor, to show it. A window wider or taller than the buffer
    // widens or heightens the buffer (new cells blank); a smaller one leaves the buffer as it
    // is, so that no cell is lost.
    void SetWindowSize(int columns, int rows);
    // Whether the window follows the cursor (it does on a terminal).
    void SetWindowFollowsCursor(bool follows);

    // Processed output: carriage return, line feed (which also returns to column 0),
    // backspace, tab and bell act; every other byte is put at the cursor in the current
    // attribute. A glyph in the last column wraps to the next line once the next glyph or tab
    // comes, or at the end of the write: a carriage return or line feed right after it stays
    // on its row, and a backspace steps back within the row. A line feed on the last row
    // scrolls the buffer up.
    void Write(const char* text, std::size_t length);

    // Moves the cursor; false (and no move) when the position is outside the buffer.
    bool SetCursor(int x, int y);

    // Put characters or attributes into consecutive cells from (x, y), row after row, up to
    // the end of the buffer; the cursor stays. Return the number of cells written.
    std::size_t WriteCharacters(const char* chars, std::size_t count, int x, int y);
    std::size_t WriteAttributes(const std::uint16_t* attrs, std::size_t count, int x, int y);
    std::size_t ReadCharacters(char* chars, std::size_t count, int x, int y) const;
    std::size_t ReadAttributes(std::uint16_t* attrs, std::size_t count, int x, int y) const;

    // One cell; (x, y) must lie inside the buffer.
    Cell At(int x, int y) const {
        const std::size_t cell = RowOffset(y) + static_cast<std::size_t>(x);
        return Cell{chars_[cell], attrs_[cell]};
    }
    // Row y from column x on; (x, y) must lie inside the buffer.
    CellRow RowFrom(int x, int y) const {
        const std::size_t cell = RowOffset(y) + static_cast<std::size_t>(x);
        CellRow row{&chars_[cell], &attrs_[cell]};
        if (static_cast<std::size_t>(y) < kept_.size()) {
            row.writtenFrom = kept_[static_cast<std::size_t>(y)].from - x;
            row.writtenEnd = kept_[static_cast<std::size_t>(y)].end - x;
        }
        return row;
    }
    // The `count` cells of row y from column x on, as far as the row goes; the rest of `cells`
    // is left as it is. Returns the number copied.
    int CopyRow(int y, int x, int count, Cell* cells) const;

    // The changes since the last call, which starts a new record.
    ScreenChanges TakeChanges();
    // The lines the window's content moved up since the last TakeChanges.
    int PendingScroll() const { return changes_.scrolled; }

    // Rows [0, rows) stand for what a terminal shows where the buffer starts: until a cell of
    // theirs is written, it is left as the terminal shows it. The written cells of a row are
    // kept as the span from the first to the last written. Forgotten (every cell counts as
    // written) by a resize of the buffer and by ForgetTerminalRows.
    void KeepTerminalRows(int rows);
    void ForgetTerminalRows() { kept_.clear(); }
    // Records every row as changed.
    void MarkAllChanged() { MarkRows(0, rows_); }

  private:
    std::size_t RowOffset(int y) const {
        return static_cast<std::size_t>((top_ + y) % rows_) * static_cast<std::size_t>(columns_);
    }
    // Puts a glyph at the cursor and moves right; true (and no move) in the last column.
    bool PutGlyph(std::uint8_t ch);
    void Wrap(bool& wrapPending);
    void LineFeed();
    void ScrollUp();
    void MarkRows(int first, int end);
    // Calls step(offset in storage, run, offset in the caller's array) for each straight run
    // of at most `count` cells from (x, y) along the rows to the end of the buffer.
    template <class Step>
    std::size_t ForEachRun(std::size_t count, int x, int y, Step step) const;
    // Marks the rows that `cells` cells written from (x, y) on cover.
    void MarkWritten(int y, int x, std::size_t cells);
    // Notes cells [from, end) of row y as written, in a row kept as the terminal shows it.
    void NoteWritten(int y, int from, int end) {
        if (static_cast<std::size_t>(y) >= kept_.size()) return;
        Span& span = kept_[static_cast<std::size_t>(y)];
        span.from = span.from < span.end ? std::min(span.from, from) : from;
        span.end = std::max(span.end, end);
    }
    // Moves the window to (left, top), recording what the move shows.
    void MoveWindow(int left, int top);
    // Moves the window the least that brings it inside the buffer and, when it follows the
    // cursor, shows the cursor.
    void PlaceWindow();
    std::size_t CellCount() const {
        return static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    }

    std::vector<std::uint8_t> chars_;
    std::vector<std::uint16_t> attrs_;
    int columns_;
    int rows_;
    int top_ = 0;  // the storage row that holds screen row 0: scrolling moves it, not the cells
    int cursorX_ = 0;
    int cursorY_ = 0;
    std::uint16_t attribute_ = DefaultAttribute;
    int windowLeft_ = 0;
    int windowTop_ = 0;
    int windowColumns_;
    int windowRows_;
    bool windowFollows_ = false;
    ScreenChanges changes_ = {0, 0, 0, 0};
    // The written span of each row kept as the terminal shows it, from row 0; from >= end
    // when none is written.
    struct Span {
        int from;
        int end;
    };
    std::vector<Span> kept_;
};

}  // namespace conlib::posix
