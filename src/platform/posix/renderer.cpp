// The renderer. Every byte sequence it writes to the terminal:
//
//   ESC [ 0 m                    attribute 0x07: the terminal's own default colours
//   ESC [ 0 ; F ; B [;4] [;7] m  any other attribute: foreground F (30-37, 90-97 intense),
//                                background B (40-47, 100-107 intense), 4 underscore,
//                                7 reverse video
//   ESC [ H                      cursor to the top-left cell
//   ESC [ R H  /  ESC [ R ; C H  cursor to row R, column 1 / column C (counted from 1)
//   ESC [ N A  /  ESC [ N B      cursor N rows up / down (N left out when 1)
//   ESC [ N C  /  ESC [ N D      cursor N columns right / left (N left out when 1)
//   CR  /  CR LF  /  BS          cursor to column 0 / to column 0 of the next row / one left
//   LF on the last row           the screen scrolls up one line
//   ESC [ 2 J                    erase the screen, when its size changed
//   BEL                          the bell
//   UTF-8 text                   the code page 437 glyphs of the cells
#include "renderer.hpp"

#include <algorithm>
#include <cstdint>

#include "platform/common/cp437.hpp"

namespace conlib::posix {

namespace {

// Unchanged cells between two changed ones are written again rather than skipped with a
// cursor move, as long as the gap is this short: a move costs three bytes or more.
constexpr int MaxRewrittenGap = 3;

void AppendNumber(unsigned value, std::string& out) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        out += digits[--count];
}

// CSI, then N when it is not 1, then the final byte.
void AppendCsiCount(int count, char final, std::string& out) {
    out += "\x1b[";
    if (count != 1) AppendNumber(static_cast<unsigned>(count), out);
    out += final;
}

// Windows colour bits are blue 1, green 2, red 4; terminal colour numbers are red 1, green 2,
// blue 4.
unsigned TerminalColour(unsigned bits) {
    return ((bits & 1u) << 2) | (bits & 2u) | ((bits & 4u) >> 2);
}

}  // namespace

void AppendAttributeSequence(std::uint16_t attribute, std::string& out) {
    if (attribute == ScreenBuffer::DefaultAttribute) {
        out += "\x1b[0m";
        return;
    }
    const unsigned foreground = attribute & 0x0Fu;
    const unsigned background = (attribute >> 4) & 0x0Fu;
    out += "\x1b[0;";
    AppendNumber((foreground & 8u ? 90u : 30u) + TerminalColour(foreground), out);
    out += ';';
    AppendNumber((background & 8u ? 100u : 40u) + TerminalColour(background), out);
    if (attribute & 0x8000u) out += ";4";
    if (attribute & 0x4000u) out += ";7";
    out += 'm';
}

void Renderer::Reset(int columns, int rows, Start start) {
    columns_ = columns;
    rows_ = rows;
    front_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                  Cell{ScreenBuffer::Blank, ScreenBuffer::DefaultAttribute});
    cursorX_ = Unknown;
    cursorY_ = Unknown;
    attribute_ = NoAttribute;
    startPending_ = true;
    start_ = start;
}

void Renderer::Render(ScreenBuffer& screen, std::string& out) {
    ScreenChanges changes = screen.TakeChanges();
    if (changes.scrolled >= rows_) {
        // Nothing shown survives the scroll: start from an empty screen.
        startPending_ = true;
        start_ = Start::Erase;
    }
    if (startPending_) {
        StartAfresh(out);
        changes.firstRow = 0;
        changes.endRow = rows_;
    } else if (changes.scrolled > 0) {
        ScrollUp(changes.scrolled, out);
    }

    const int endRow = std::min(changes.endRow, rows_);
    for (int y = changes.firstRow; y < endRow; ++y)
        RenderRow(screen, y, out);
    if (changes.bells > 0) out += '\a';
    MoveTo(screen.CursorX(), screen.CursorY(), out);
}

void Renderer::Finish(std::string& out) {
    if (attribute_ != ScreenBuffer::DefaultAttribute && attribute_ != NoAttribute) {
        SetAttribute(ScreenBuffer::DefaultAttribute, out);
    }
    if (cursorX_ != 0) {
        out += "\r\n";
        cursorX_ = 0;
    }
}

void Renderer::StartAfresh(std::string& out) {
    std::fill(front_.begin(), front_.end(),
              Cell{ScreenBuffer::Blank, ScreenBuffer::DefaultAttribute});
    SetAttribute(ScreenBuffer::DefaultAttribute, out);
    if (start_ == Start::ScrollOut) {
        // From the last row, one line feed per row moves everything shown into the history.
        MoveTo(0, rows_ - 1, out);
        out.append(static_cast<std::size_t>(rows_), '\n');
        out += "\x1b[H";
    } else {
        out += "\x1b[H\x1b[2J";
    }
    cursorX_ = 0;
    cursorY_ = 0;
    startPending_ = false;
}

void Renderer::ScrollUp(int lines, std::string& out) {
    // The lines a scroll brings in take the current colours: make them the default ones.
    SetAttribute(ScreenBuffer::DefaultAttribute, out);
    MoveTo(0, rows_ - 1, out);
    out.append(static_cast<std::size_t>(lines), '\n');
    const auto shift = static_cast<std::ptrdiff_t>(lines) * columns_;
    std::copy(front_.begin() + shift, front_.end(), front_.begin());
    std::fill(front_.end() - shift, front_.end(),
              Cell{ScreenBuffer::Blank, ScreenBuffer::DefaultAttribute});
}

void Renderer::RenderRow(const ScreenBuffer& screen, int y, std::string& out) {
    const int width = std::min(columns_, screen.Columns());
    const Cell* model = screen.Row(y);
    Cell* front = FrontRow(y);
    int x = 0;
    while (x < width) {
        if (model[x] == front[x]) {
            ++x;
            continue;
        }
        // A run of changed cells, with the short unchanged gaps inside it.
        int last = x;
        for (int i = x + 1; i < width && i - last <= MaxRewrittenGap; ++i) {
            if (!(model[i] == front[i])) last = i;
        }
        MoveTo(x, y, out);
        for (; x <= last; ++x) {
            SetAttribute(model[x].attr, out);
            out += platform::Cp437Glyph(model[x].ch);
            front[x] = model[x];
        }
        // After the last column the terminal's cursor may stand there or on the next line.
        cursorX_ = x < columns_ ? x : Unknown;
        if (cursorX_ == Unknown) cursorY_ = Unknown;
    }
}

void Renderer::MoveTo(int x, int y, std::string& out) {
    if (x == cursorX_ && y == cursorY_) return;
    if (cursorX_ != Unknown && cursorY_ != Unknown) {
        if (y == cursorY_) {
            if (x == 0) {
                out += '\r';
            } else if (x < cursorX_ && cursorX_ - x <= 2) {
                out.append(static_cast<std::size_t>(cursorX_ - x), '\b');
            } else if (x > cursorX_) {
                AppendCsiCount(x - cursorX_, 'C', out);
            } else {
                AppendCsiCount(cursorX_ - x, 'D', out);
            }
        } else if (x == 0 && y == cursorY_ + 1) {
            out += "\r\n";
        } else if (x == cursorX_) {
            AppendCsiCount(y > cursorY_ ? y - cursorY_ : cursorY_ - y, y > cursorY_ ? 'B' : 'A',
                           out);
        } else {
            cursorX_ = Unknown;
        }
    }
    if (cursorX_ == Unknown || cursorY_ == Unknown) {
        out += "\x1b[";
        if (x != 0 || y != 0) AppendNumber(static_cast<unsigned>(y + 1), out);
        if (x != 0) {
            out += ';';
            AppendNumber(static_cast<unsigned>(x + 1), out);
        }
        out += 'H';
    }
    cursorX_ = x;
    cursorY_ = y;
}

void Renderer::SetAttribute(std::uint16_t attribute, std::string& out) {
    if (attribute == attribute_) return;
    AppendAttributeSequence(attribute, out);
    attribute_ = attribute;
}

}  // namespace conlib::posix
