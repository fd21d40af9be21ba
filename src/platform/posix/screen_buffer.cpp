#include "screen_buffer.hpp"

#include <algorithm>
#include <cstring>

namespace conlib::posix {

ScreenBuffer::ScreenBuffer(int columns, int rows)
    : chars_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), Blank),
      attrs_(chars_.size(), DefaultAttribute),
      columns_(columns),
      rows_(rows),
      windowColumns_(columns),
      windowRows_(rows) {
    MarkRows(0, rows_);
}

void ScreenBuffer::Resize(int columns, int rows) {
    const std::size_t size = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    std::vector<std::uint8_t> chars(size, Blank);
    std::vector<std::uint16_t> attrs(size, attribute_);
    const int keepRows = std::min(rows, rows_);
    const auto keepColumns = static_cast<std::size_t>(std::min(columns, columns_));
    for (int y = 0; y < keepRows; ++y) {
        const std::size_t from = RowOffset(y);
        const std::size_t to = static_cast<std::size_t>(y) * static_cast<std::size_t>(columns);
        std::copy_n(&chars_[from], keepColumns, &chars[to]);
        std::copy_n(&attrs_[from], keepColumns, &attrs[to]);
    }
    chars_ = std::move(chars);
    attrs_ = std::move(attrs);
    kept_.clear();
    columns_ = columns;
    rows_ = rows;
    top_ = 0;
    cursorX_ = std::min(cursorX_, columns_ - 1);
    cursorY_ = std::min(cursorY_, rows_ - 1);
    changes_.scrolled = 0;
    windowColumns_ = std::min(windowColumns_, columns_);
    windowRows_ = std::min(windowRows_, rows_);
    PlaceWindow();
    MarkRows(0, rows_);
}

void ScreenBuffer::SetWindowSize(int columns, int rows) {
    columns = std::max(columns, 1);
    rows = std::max(rows, 1);
    if (columns == windowColumns_ && rows == windowRows_) return;
    // No cell is lost: the buffer only grows, to hold a window wider or taller than it.
    if (columns > columns_ || rows > rows_)
        Resize(std::max(columns, columns_), std::max(rows, rows_));
    windowColumns_ = columns;
    windowRows_ = rows;
    // What the window shows now is drawn afresh.
    MarkRows(windowTop_, std::min(windowTop_ + windowRows_, rows_));
    PlaceWindow();
}

void ScreenBuffer::SetWindowFollowsCursor(bool follows) {
    windowFollows_ = follows;
    PlaceWindow();
}

void ScreenBuffer::PlaceWindow() {
    int left = std::clamp(windowLeft_, 0, columns_ - windowColumns_);
    int top = std::clamp(windowTop_, 0, rows_ - windowRows_);
    if (windowFollows_) {
        left = std::clamp(left, cursorX_ - windowColumns_ + 1, cursorX_);
        top = std::clamp(top, cursorY_ - windowRows_ + 1, cursorY_);
    }
    MoveWindow(left, top);
}

void ScreenBuffer::MoveWindow(int left, int top) {
    if (left == windowLeft_ && top == windowTop_) return;
    const bool sideways = left != windowLeft_;
    const int down = top - windowTop_;
    windowLeft_ = left;
    windowTop_ = top;
    const int bottom = windowTop_ + windowRows_;
    if (!sideways && down > 0) {
        // Shown as a scroll of the terminal, however far: every row that leaves the window's
        // top goes into the terminal's history, and the rows it brings in are drawn.
        changes_.scrolled = std::min(changes_.scrolled + down, rows_);
        MarkRows(std::max(bottom - down, windowTop_), bottom);
        return;
    }
    MarkRows(windowTop_, bottom);
}

void ScreenBuffer::Write(const char* text, std::size_t length) {
    // True while the last glyph written went into the last column: the cursor stays there and
    // the move to the next line waits for what follows, at the latest the end of this write.
    bool wrapPending = false;
    for (std::size_t i = 0; i < length; ++i) {
        const auto ch = static_cast<std::uint8_t>(text[i]);
        switch (ch) {
            case '\r':
                wrapPending = false;
                cursorX_ = 0;
                break;
            case '\n':
                wrapPending = false;
                cursorX_ = 0;
                LineFeed();
                break;
            case '\b':
                wrapPending = false;
                if (cursorX_ > 0) --cursorX_;
                break;
            case '\t': {
                if (wrapPending) Wrap(wrapPending);
                // Blanks up to the next tab stop, or to the end of the line.
                int blanks = TabWidth - cursorX_ % TabWidth;
                while (blanks-- > 0 && !wrapPending)
                    wrapPending = PutGlyph(Blank);
                break;
            }
            case '\a':
                ++changes_.bells;
                break;
            default:
                if (wrapPending) Wrap(wrapPending);
                wrapPending = PutGlyph(ch);
                break;
        }
    }
    if (wrapPending) Wrap(wrapPending);
    PlaceWindow();
}

void ScreenBuffer::Wrap(bool& wrapPending) {
    wrapPending = false;
    cursorX_ = 0;
    LineFeed();
}

bool ScreenBuffer::SetCursor(int x, int y) {
    if (!Contains(x, y)) return false;
    cursorX_ = x;
    cursorY_ = y;
    PlaceWindow();
    return true;
}

template <class Step>
std::size_t ScreenBuffer::ForEachRun(std::size_t count, int x, int y, Step step) const {
    if (!Contains(x, y)) return 0;
    std::size_t done = 0;
    for (; y < rows_ && done < count; ++y, x = 0) {
        const std::size_t run = std::min(static_cast<std::size_t>(columns_ - x), count - done);
        step(RowOffset(y) + static_cast<std::size_t>(x), run, done);
        done += run;
    }
    return done;
}

std::size_t ScreenBuffer::WriteCharacters(const char* chars, std::size_t count, int x, int y) {
    const std::size_t done =
        ForEachRun(count, x, y, [this, chars](std::size_t cell, std::size_t run, std::size_t from) {
            std::memcpy(&chars_[cell], chars + from, run);
        });
    if (done > 0) MarkWritten(y, x, done);
    return done;
}

std::size_t ScreenBuffer::WriteAttributes(const std::uint16_t* attrs, std::size_t count, int x,
                                          int y) {
    const std::size_t done =
        ForEachRun(count, x, y, [this, attrs](std::size_t cell, std::size_t run, std::size_t from) {
            std::copy_n(attrs + from, run, &attrs_[cell]);
        });
    if (done > 0) MarkWritten(y, x, done);
    return done;
}

std::size_t ScreenBuffer::ReadCharacters(char* chars, std::size_t count, int x, int y) const {
    return ForEachRun(count, x, y,
                      [this, chars](std::size_t cell, std::size_t run, std::size_t from) {
                          std::memcpy(chars + from, &chars_[cell], run);
                      });
}

std::size_t ScreenBuffer::ReadAttributes(std::uint16_t* attrs, std::size_t count, int x,
                                         int y) const {
    return ForEachRun(count, x, y,
                      [this, attrs](std::size_t cell, std::size_t run, std::size_t from) {
                          std::copy_n(&attrs_[cell], run, attrs + from);
                      });
}

int ScreenBuffer::CopyRow(int y, int x, int count, Cell* cells) const {
    if (!Contains(x, y)) return 0;
    const int copied = std::min(count, columns_ - x);
    const std::size_t first = RowOffset(y) + static_cast<std::size_t>(x);
    for (int i = 0; i < copied; ++i) {
        const std::size_t cell = first + static_cast<std::size_t>(i);
        cells[i] = Cell{chars_[cell], attrs_[cell]};
    }
    return copied;
}

void ScreenBuffer::MarkWritten(int y, int x, std::size_t cells) {
    const std::size_t end = static_cast<std::size_t>(x) + cells;
    const auto width = static_cast<std::size_t>(columns_);
    const int endRow = y + static_cast<int>((end + width - 1) / width);
    MarkRows(y, endRow);
    for (int row = y; row < endRow && static_cast<std::size_t>(row) < kept_.size(); ++row) {
        const std::size_t rowStart = static_cast<std::size_t>(row - y) * width;
        const std::size_t from = row == y ? static_cast<std::size_t>(x) : 0;
        NoteWritten(row, static_cast<int>(from), static_cast<int>(std::min(width, end - rowStart)));
    }
}

void ScreenBuffer::KeepTerminalRows(int rows) {
    kept_.assign(static_cast<std::size_t>(std::clamp(rows, 0, rows_)), Span{0, 0});
}

ScreenChanges ScreenBuffer::TakeChanges() {
    const ScreenChanges changes = changes_;
    changes_ = {0, 0, 0, 0};
    return changes;
}

bool ScreenBuffer::PutGlyph(std::uint8_t ch) {
    const std::size_t cell = RowOffset(cursorY_) + static_cast<std::size_t>(cursorX_);
    chars_[cell] = ch;
    attrs_[cell] = attribute_;
    MarkRows(cursorY_, cursorY_ + 1);
    NoteWritten(cursorY_, cursorX_, cursorX_ + 1);
    if (cursorX_ + 1 == columns_) return true;
    ++cursorX_;
    return false;
}

void ScreenBuffer::LineFeed() {
    if (cursorY_ + 1 < rows_) {
        ++cursorY_;
    } else {
        ScrollUp();
    }
}

void ScreenBuffer::ScrollUp() {
    // The top row leaves; its storage becomes the new bottom row.
    top_ = (top_ + 1) % rows_;
    const std::size_t bottom = RowOffset(rows_ - 1);
    std::fill_n(&chars_[bottom], columns_, Blank);
    std::fill_n(&attrs_[bottom], columns_, attribute_);
    if (!kept_.empty()) {
        kept_.erase(kept_.begin());
        if (kept_.size() + 1 == static_cast<std::size_t>(rows_)) kept_.push_back({0, columns_});
    }
    changes_.scrolled = std::min(changes_.scrolled + 1, rows_);
    // Rows changed before the scroll have moved up with it.
    if (changes_.firstRow < changes_.endRow) {
        changes_.firstRow = std::max(changes_.firstRow - 1, 0);
        changes_.endRow = std::max(changes_.endRow - 1, 0);
    }
    // The new bottom row, and the row that came into the window from below it.
    MarkRows(rows_ - 1, rows_);
    MarkRows(windowTop_ + windowRows_ - 1, windowTop_ + windowRows_);
}

void ScreenBuffer::MarkRows(int first, int end) {
    if (changes_.firstRow >= changes_.endRow) {
        changes_.firstRow = first;
        changes_.endRow = end;
        return;
    }
    changes_.firstRow = std::min(changes_.firstRow, first);
    changes_.endRow = std::max(changes_.endRow, end);
}

}  // namespace conlib::posix
