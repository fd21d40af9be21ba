// The renderer. Every byte sequence it writes to the terminal:
//
//   ESC [ m                      default colours (attribute 0x07), underline and reverse off
//   ESC [ P ; ... m              colours by parameter, only those that change (from ESC [ m,
//                                0 first when that is shorter): 30-37 and 90-97 foreground
//                                (intense), 40-47 and 100-107 background (intense), 39 and 49
//                                the terminal's own, 4 and 24 underscore on and off, 7 and 27
//                                reverse video on and off
//   ESC [ H  /  ESC [ R H  /  ESC [ R ; C H     cursor to row R, column C (counted from 1;
//                                a 1 left out)                                       CUP
//   ESC [ R d                    cursor to row R, same column                        VPA
//   ESC [ C G                    cursor to column C, same row                        CHA
//   ESC [ N A / B / C / D        cursor N rows up / down, N columns right / left (N left out
//                                when 1)                                     CUU CUD CUF CUB
//   CR  /  LF  /  BS             cursor to column 0 / one row down / one column left (the
//                                terminal does no output processing: LF keeps the column)
//   LF on the last row           the screen scrolls up one line, into the terminal's history:
//                                every row that leaves the window's top leaves this way
//   ESC [ K                      erase to the end of the line, in the current colours   EL
//   ESC [ N X                    erase N characters from the cursor, which stays        ECH
//   ESC [ J                      erase from the cursor (at a row's start, never the top
//                                row's) to the end of the screen, in the current colours ED
//   ESC [ ? 2026 h  /  l         begin / end a frame of synchronized output, where the
//                                terminal said it supports it
//   BEL                          the bell
//   UTF-8 text                   the code page 437 glyphs of the cells
//
// The screen is never erased whole (ED 2, or ED from the top left cell): some terminals copy
// what it showed into their history then, and a row would stand there twice.
#include "renderer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "handles.hpp"
#include "platform/common/cp437.hpp"

namespace conlib::posix {

namespace {

constexpr std::string_view BeginSynchronized = "\x1b[?2026h";
constexpr std::string_view EndSynchronized = "\x1b[?2026l";

// Line feeds and backspaces are one byte a row or a column; past this many a sequence is
// always as short.
constexpr int MostSingleSteps = 4;

constexpr Cell BlankCell{ScreenBuffer::Blank, ScreenBuffer::DefaultAttribute};

// The attribute bits a terminal does not fill erased cells with.
constexpr std::uint16_t UnderscoreBit = 0x8000;
constexpr std::uint16_t ReverseBit = 0x4000;

// A few bytes built on the stack: a cursor move or a colour change.
struct Short {
    char bytes[48];
    std::size_t size = 0;

    void Add(char ch) { bytes[size++] = ch; }
    void Add(std::string_view text) {
        std::memcpy(bytes + size, text.data(), text.size());
        size += text.size();
    }
    void AddNumber(unsigned value) {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0)
            Add(digits[--count]);
    }
    // CSI, then N when it is not 1, then the final byte.
    void AddCsi(unsigned count, char final) {
        Add("\x1b[");
        if (count != 1) AddNumber(count);
        Add(final);
    }
    std::string_view View() const { return {bytes, size}; }
};

// Whether the terminal shows `model[x]` already, as `front` records it: a cell the renderer
// did not draw is left as it is until the buffer's cell is written.
bool Shown(CellRow model, const Cell* front, int x) {
    return front[x].unknown ? !model.Written(x) : model[x] == front[x];
}

constexpr Cell UnknownCell{0, 0, true};

// A cell that the terminal can show by erasing it: a blank whose attribute has only colours.
bool Erasable(const Cell& cell) {
    return (cell.ch == ScreenBuffer::Blank || cell.ch == 0) &&
           (cell.attr & (UnderscoreBit | ReverseBit)) == 0;
}

bool ErasedAlike(const Cell& cell, std::uint16_t attribute) {
    return Erasable(cell) && cell.attr == attribute;
}

// Records cells [from, end) of `model` as shown.
void TakeCells(CellRow model, int from, int end, Cell* front) {
    for (int i = from; i < end; ++i)
        front[i] = model[i];
}

// The terminal's colour state for an attribute: SGR parameters.
struct Colours {
    unsigned foreground;  // 30-37, 90-97, or 39: the terminal's own
    unsigned background;  // 40-47, 100-107, or 49
    bool underscore;
    bool reverse;
};

// Windows colour bits are blue 1, green 2, red 4; terminal colour numbers are red 1, green 2,
// blue 4.
unsigned TerminalColour(unsigned bits) {
    return ((bits & 1u) << 2) | (bits & 2u) | ((bits & 4u) >> 2);
}

Colours ColoursOf(std::uint16_t attribute) {
    if (attribute == ScreenBuffer::DefaultAttribute) return {39, 49, false, false};
    const unsigned foreground = attribute & 0x0Fu;
    const unsigned background = (attribute >> 4) & 0x0Fu;
    return {(foreground & 8u ? 90u : 30u) + TerminalColour(foreground),
            (background & 8u ? 100u : 40u) + TerminalColour(background),
            (attribute & UnderscoreBit) != 0, (attribute & ReverseBit) != 0};
}

void AddParameter(Short& out, unsigned value, bool& first) {
    if (!first) out.Add(';');
    out.AddNumber(value);
    first = false;
}

// The sequence from the terminal's defaults (after ESC [ m) to `to`, with a leading 0 when
// `reset` (from any state).
void AddFromDefaults(Short& out, const Colours& to, bool reset) {
    out.Add("\x1b[");
    bool first = true;
    if (reset) AddParameter(out, 0, first);
    if (to.foreground != 39) AddParameter(out, to.foreground, first);
    if (to.background != 49) AddParameter(out, to.background, first);
    if (to.underscore) AddParameter(out, 4, first);
    if (to.reverse) AddParameter(out, 7, first);
    out.Add('m');
}

// The shortest sequence from attribute `from` (NoAttribute: unknown) to `to`; empty when
// nothing changes.
void AttributeChange(std::uint16_t from, std::uint16_t to, bool known, Short& out) {
    if (known && from == to) return;
    const Colours target = ColoursOf(to);
    if (to == ScreenBuffer::DefaultAttribute) {
        out.Add("\x1b[m");
        return;
    }
    Short reset;
    AddFromDefaults(reset, target, true);
    if (!known) {
        out.Add(reset.View());
        return;
    }
    const Colours source = ColoursOf(from);
    Short change;
    change.Add("\x1b[");
    bool first = true;
    if (source.foreground != target.foreground) AddParameter(change, target.foreground, first);
    if (source.background != target.background) AddParameter(change, target.background, first);
    if (source.underscore != target.underscore) {
        AddParameter(change, target.underscore ? 4 : 24, first);
    }
    if (source.reverse != target.reverse) AddParameter(change, target.reverse ? 7 : 27, first);
    change.Add('m');
    if (first) return;  // the same colours by another attribute
    out.Add(change.size <= reset.size ? change.View() : reset.View());
}

}  // namespace

void FrameBytes::Append(std::string_view text) {
    if (spillFd_ >= 0 && bytes_.size() + text.size() > bytes_.capacity()) {
        Spill();
        if (text.size() > bytes_.capacity()) {
            WriteAll(spillFd_, text.data(), text.size());
            return;
        }
    }
    bytes_.append(text);
}

void FrameBytes::Append(char ch, std::size_t count) {
    while (count-- > 0)
        Append(ch);
}

void FrameBytes::Spill() {
    if (spillFd_ >= 0) WriteAll(spillFd_, bytes_.data(), bytes_.size());
    bytes_.clear();
}

void Renderer::Reset(int columns, int rows, Start start) {
    columns_ = columns;
    rows_ = rows;
    front_.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                  start == Start::ScrollOut ? BlankCell : UnknownCell);
    cursorX_ = Unknown;
    cursorY_ = Unknown;
    wrapPending_ = false;
    attribute_ = NoAttribute;
    startPending_ = true;
    start_ = start;
    startColumn_ = 0;
    startRow_ = 0;
}

void Renderer::StartAt(int column, int row) {
    startColumn_ = std::clamp(column, 0, columns_ - 1);
    startRow_ = std::clamp(row, 0, rows_ - 1);
}

void Renderer::Render(ScreenBuffer& screen, int windowTop, FrameBytes& out) {
    const std::size_t before = out.Size();
    if (synchronized_) out.Append(BeginSynchronized);
    const std::size_t opened = out.Size();

    ScreenChanges changes = screen.TakeChanges();
    const bool redraw = startPending_ && start_ != Start::AtCursor;
    if (startPending_) StartAfresh(out);
    if (changes.scrolled > 0) Scroll(screen, windowTop, changes, out);
    if (redraw) {
        changes.firstRow = windowTop;
        changes.endRow = windowTop + rows_;
    }

    const int firstRow = std::max(changes.firstRow - windowTop, 0);
    const int endRow = std::min(changes.endRow - windowTop, rows_);
    if (endRow == rows_ && endRow - firstRow >= 3) EraseBelow(screen, windowTop, firstRow, out);
    for (int y = firstRow; y < endRow; ++y)
        RenderRow(screen.RowFrom(screen.WindowLeft(), windowTop + y), y, out);
    if (changes.bells > 0) out.Append('\a');
    const int cursorRow = screen.CursorY() - windowTop;
    const int cursorColumn = screen.CursorX() - screen.WindowLeft();
    if (cursorRow >= 0 && cursorRow < rows_ && cursorColumn >= 0 && cursorColumn < columns_) {
        MoveTo(cursorColumn, cursorRow, out);
    }

    if (!synchronized_) return;
    if (out.Size() == opened) {
        out.Truncate(before);
    } else {
        out.Append(EndSynchronized);
    }
}

void Renderer::Finish(const ScreenBuffer* model, int windowTop, FrameBytes& out) {
    if (startPending_) return;  // nothing was drawn
    if (attribute_ != ScreenBuffer::DefaultAttribute) {
        SetAttribute(ScreenBuffer::DefaultAttribute, out);
    }
    if (model == nullptr) {
        if (!AtLineStart()) {
            if (cursorY_ == rows_ - 1) {
                LineFeedAtBottom(out, true);
            } else {
                out.Append("\r\n");
                cursorX_ = 0;
                wrapPending_ = false;
                if (cursorY_ != Unknown) ++cursorY_;
            }
        }
        return;
    }
    // The line after the lowest of the cursor's and the rows that show output.
    const ScreenBuffer& screen = *model;
    const int left = screen.WindowLeft();
    int target = std::clamp(screen.CursorY() - windowTop, 0, rows_ - 1);
    if (screen.CursorX() != left) ++target;
    for (int y = rows_ - 1; y >= target; --y) {
        const CellRow row = screen.RowFrom(left, windowTop + y);
        bool output = false;
        for (int x = 0; x < columns_ && !output; ++x) {
            output = row.Written(x) && !(Erasable(row[x]) && row[x].attr == BlankCell.attr);
        }
        if (output) {
            target = y + 1;
            break;
        }
    }
    if (target < rows_) {
        MoveTo(0, target, out);
        return;
    }
    MoveTo(0, rows_ - 1, out);
    LineFeedAtBottom(out, true);
}

void Renderer::StartAfresh(FrameBytes& out) {
    startPending_ = false;
    switch (start_) {
        case Start::AtCursor:
            cursorX_ = startColumn_;
            cursorY_ = startRow_;
            wrapPending_ = false;
            return;
        case Start::Redraw:
            std::fill(front_.begin(), front_.end(), UnknownCell);
            SetAttribute(ScreenBuffer::DefaultAttribute, out);
            out.Append("\x1b[H");
            break;
        case Start::ScrollOut:
            // From the last row, one line feed per row moves everything shown into the history.
            std::fill(front_.begin(), front_.end(), BlankCell);
            SetAttribute(ScreenBuffer::DefaultAttribute, out);
            MoveTo(0, rows_ - 1, out);
            out.Append('\n', static_cast<std::size_t>(rows_));
            out.Append("\x1b[H");
            break;
    }
    cursorX_ = 0;
    cursorY_ = 0;
    wrapPending_ = false;
}

void Renderer::LineFeedAtBottom(FrameBytes& out, bool keepRows) {
    // The line a scroll brings in takes the current colours: make them the default ones.
    SetAttribute(ScreenBuffer::DefaultAttribute, out);
    out.Append(cursorX_ == 0 && !wrapPending_ ? "\n" : "\r\n");
    cursorX_ = 0;
    wrapPending_ = false;
    // Without `keepRows` the rows above are left as they were recorded: every one of them is
    // replaced by later line feeds of the same frame.
    if (keepRows) std::copy(front_.begin() + columns_, front_.end(), front_.begin());
    std::fill(front_.end() - columns_, front_.end(), BlankCell);
}

void Renderer::Scroll(const ScreenBuffer& screen, int windowTop, const ScreenChanges& changes,
                      FrameBytes& out) {
    // The window's content moved up by `scrolled` rows: the rows that leave its top are shown
    // as they are now where they stand, then go into the terminal's history by line feeds on
    // the last row, each row below them drawn there as it comes in, as printed text scrolls.
    const int left = screen.WindowLeft();
    const int oldTop = windowTop - changes.scrolled;
    const int leaving = std::min(changes.scrolled, rows_);
    for (int y = 0; y < leaving; ++y) {
        if (oldTop + y >= 0) RenderRow(screen.RowFrom(left, oldTop + y), y, out);
    }
    // Rows the buffer no longer holds are gone: the first row brought in is the oldest still
    // there.
    const int first = std::max(oldTop + rows_, 0);
    const int end = windowTop + rows_;
    for (int row = first; row < end; ++row) {
        MoveTo(cursorX_ != Unknown && cursorY_ == rows_ - 1 ? cursorX_ : 0, rows_ - 1, out);
        LineFeedAtBottom(out, end - row <= rows_);
        RenderRow(screen.RowFrom(left, row), rows_ - 1, out);
    }
}

void Renderer::EraseBelow(const ScreenBuffer& screen, int windowTop, int firstRow,
                          FrameBytes& out) {
    // The rows from some row to the bottom that are to be blanks of one attribute (as after a
    // clear) are erased with one ED from the start of that row, when at least three of them
    // show something else. Never from the top left cell: some terminals copy the screen into
    // their history then. Cells left as the terminal showed them are never erased.
    const int left = screen.WindowLeft();
    const int width = std::min(columns_, screen.Columns() - left);
    if (width < columns_) return;
    std::uint16_t blank = NoAttribute;
    int top = rows_;
    int differing = 0;
    for (int y = rows_ - 1; y >= std::max(firstRow, 1); --y) {
        const CellRow model = screen.RowFrom(left, windowTop + y);
        const Cell* front = FrontRow(y);
        if (blank == NoAttribute) blank = model[0].attr;
        bool erasable = true;
        bool shown = true;
        for (int x = 0; x < columns_ && erasable; ++x) {
            erasable = ErasedAlike(model[x], blank) && (!front[x].unknown || model.Written(x));
            shown = shown && Shown(model, front, x);
        }
        if (!erasable) break;
        top = y;
        if (!shown) ++differing;
    }
    if (differing < 3) return;
    MoveTo(0, top, out);
    SetAttribute(blank, out);
    out.Append("\x1b[J");
    std::fill(front_.begin() + static_cast<std::ptrdiff_t>(top) * columns_, front_.end(),
              Cell{ScreenBuffer::Blank, blank});
}

void Renderer::RenderRow(CellRow model, int y, FrameBytes& out) {
    Cell* front = FrontRow(y);
    int lastChange = -1;
    for (int x = columns_ - 1; x >= 0 && lastChange < 0; --x) {
        if (!Shown(model, front, x)) lastChange = x;
    }
    if (lastChange < 0) return;
    // Cells the renderer did not draw and must leave as they are stand before the row's
    // written span and after it: no erase to the end of the line may reach them.
    int lastKept = -1;
    for (int x = columns_ - 1; x > lastChange && lastKept < 0; --x) {
        if (front[x].unknown && !model.Written(x)) lastKept = x;
    }
    // The cells from tailStart to the end of the row are blanks that an erase can show.
    int tailStart = columns_;
    if (Erasable(model[columns_ - 1])) {
        const std::uint16_t attribute = model[columns_ - 1].attr;
        tailStart = columns_ - 1;
        while (tailStart > 0 && ErasedAlike(model[tailStart - 1], attribute))
            --tailStart;
    }

    int x = 0;
    for (;;) {
        int next = x;
        bool unknownBetween = false;
        while (next <= lastChange && Shown(model, front, next)) {
            unknownBetween = unknownBetween || front[next].unknown;
            ++next;
        }
        if (next > lastChange) return;
        if (next > x && cursorY_ == y && cursorX_ == x && !wrapPending_ && !unknownBetween) {
            // The cells between are as shown: writing them again may be shorter than a move.
            char move[48];
            const std::size_t moveCost = BestMove(next, y, move);
            std::size_t rewriteCost = 0;
            std::uint16_t attribute = attribute_;
            for (int i = x; i < next && rewriteCost <= moveCost; ++i) {
                rewriteCost += AttributeCost(attribute, model[i].attr) +
                               platform::Cp437Glyph(model[i].ch).size();
                attribute = model[i].attr;
            }
            if (rewriteCost <= moveCost) {
                for (int i = x; i < next; ++i)
                    PutCell(model[i], out);
            }
        }
        x = next;

        if (x >= tailStart && lastKept < 0) {
            // Only blanks from here on: an erase to the end of the line, when it is shorter
            // than writing them (and always at the last column, which leaves no wrap pending).
            const std::uint16_t attribute = model[x].attr;
            const std::size_t written = static_cast<std::size_t>(lastChange - x + 1);
            if (lastChange == columns_ - 1 || AttributeCost(attribute_, attribute) + 3 < written) {
                MoveTo(x, y, out);
                SetAttribute(attribute, out);
                out.Append("\x1b[K");
                TakeCells(model, x, columns_, front);
                return;
            }
        }
        if (Erasable(model[x])) {
            // A run of blanks: erased, with the cursor moved past them after, when that is
            // shorter than writing them.
            const std::uint16_t attribute = model[x].attr;
            int end = x;
            int lastInRun = x;
            while (end <= lastChange && ErasedAlike(model[end], attribute)) {
                if (!Shown(model, front, end)) lastInRun = end;
                ++end;
            }
            const int count = lastInRun - x + 1;
            if (count >= 8) {
                MoveTo(x, y, out);
                SetAttribute(attribute, out);
                Short erase;
                erase.AddCsi(static_cast<unsigned>(count), 'X');
                out.Append(erase.View());
                TakeCells(model, x, x + count, front);
                x += count;
                continue;
            }
        }
        MoveTo(x, y, out);
        PutCell(model[x], out);
        front[x] = model[x];
        ++x;
    }
}

void Renderer::PutCell(const Cell& cell, FrameBytes& out) {
    SetAttribute(cell.attr, out);
    out.Append(platform::Cp437Glyph(cell.ch));
    if (cursorX_ + 1 < columns_) {
        ++cursorX_;
    } else {
        wrapPending_ = true;
    }
}

std::size_t Renderer::BestMove(int x, int y, char* move) const {
    Short best;
    // Absolute: CUP.
    best.Add("\x1b[");
    if (x != 0 || y != 0) best.AddNumber(static_cast<unsigned>(y + 1));
    if (x != 0) {
        best.Add(';');
        best.AddNumber(static_cast<unsigned>(x + 1));
    }
    best.Add('H');

    if (cursorX_ != Unknown && cursorY_ != Unknown) {
        // Along the row, then along the column.
        Short across;
        if (x != cursorX_ || wrapPending_) {
            Short column;  // CHA
            column.AddCsi(static_cast<unsigned>(x + 1), 'G');
            across = column;
            if (x == 0) {
                across = Short{};
                across.Add('\r');
            } else if (!wrapPending_) {
                Short relative;
                if (x < cursorX_ && cursorX_ - x <= MostSingleSteps) {
                    for (int i = x; i < cursorX_; ++i)
                        relative.Add('\b');
                } else {
                    relative.AddCsi(
                        static_cast<unsigned>(x > cursorX_ ? x - cursorX_ : cursorX_ - x),
                        x > cursorX_ ? 'C' : 'D');
                }
                if (relative.size < across.size) across = relative;
            }
        }
        Short down;
        if (y != cursorY_) {
            down.AddCsi(static_cast<unsigned>(y + 1), 'd');  // VPA
            Short relative;
            if (y > cursorY_ && y - cursorY_ <= MostSingleSteps) {
                for (int i = cursorY_; i < y; ++i)
                    relative.Add('\n');
            } else {
                relative.AddCsi(static_cast<unsigned>(y > cursorY_ ? y - cursorY_ : cursorY_ - y),
                                y > cursorY_ ? 'B' : 'A');
            }
            if (relative.size < down.size) down = relative;
        }
        if (across.size + down.size < best.size) {
            best = across;
            best.Add(down.View());
        }
    }
    std::memcpy(move, best.bytes, best.size);
    return best.size;
}

void Renderer::MoveTo(int x, int y, FrameBytes& out) {
    if (x == cursorX_ && y == cursorY_ && !wrapPending_) return;
    char move[48];
    const std::size_t size = BestMove(x, y, move);
    out.Append(std::string_view(move, size));
    cursorX_ = x;
    cursorY_ = y;
    wrapPending_ = false;
}

std::size_t Renderer::AttributeCost(std::uint16_t from, std::uint16_t to) const {
    Short change;
    AttributeChange(from, to, from != NoAttribute, change);
    return change.size;
}

void Renderer::SetAttribute(std::uint16_t attribute, FrameBytes& out) {
    if (attribute == attribute_) return;
    Short change;
    AttributeChange(attribute_, attribute, attribute_ != NoAttribute, change);
    out.Append(change.View());
    attribute_ = attribute;
}

}  // namespace conlib::posix
