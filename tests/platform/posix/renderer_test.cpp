// The renderer's frames: their exact bytes for the cases that show each choice, and, through a
// small terminal that runs the bytes, that every frame makes the terminal show the buffer.
#include "platform/posix/renderer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/common/cp437.hpp"
#include "platform/posix/screen_buffer.hpp"

namespace conlib::posix {
namespace {

// A VT terminal as far as the renderer uses one: no output processing, a cursor whose wrap
// waits for the next glyph after the last column, erases in the current background.
class Terminal {
  public:
    struct Colours {
        unsigned foreground = 39;
        unsigned background = 49;
        bool underscore = false;
        bool reverse = false;
        friend bool operator==(const Colours&, const Colours&) = default;
    };
    struct Shown {
        std::string glyph = " ";
        Colours colours;
    };

    Terminal(int columns, int rows)
        : columns_(columns), rows_(rows), cells_(static_cast<std::size_t>(columns * rows)) {}

    void Run(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size();) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == 0x1b) {
                i = Sequence(bytes, i);
            } else if (byte == '\r') {
                x_ = 0;
                pending_ = false;
                ++i;
            } else if (byte == '\n') {
                LineFeed();
                pending_ = false;
                ++i;
            } else if (byte == '\b') {
                if (x_ > 0) --x_;
                pending_ = false;
                ++i;
            } else if (byte == '\a') {
                ++i;
            } else {
                const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : 3;
                Put(bytes.substr(i, length));
                i += length;
            }
        }
    }

    const Shown& At(int x, int y) const {
        return cells_[static_cast<std::size_t>(y * columns_ + x)];
    }
    // Row y's glyphs, without the blanks at its end.
    std::string Row(int y) const {
        std::string row;
        for (int x = 0; x < columns_; ++x)
            row += At(x, y).glyph;
        return row.erase(row.find_last_not_of(' ') + 1);
    }
    // The rows that scrolled off the top, oldest first, as Row gives them.
    const std::vector<std::string>& History() const { return history_; }
    int X() const { return x_; }
    int Y() const { return y_; }
    bool Pending() const { return pending_; }

  private:
    Shown& Cell(int x, int y) { return cells_[static_cast<std::size_t>(y * columns_ + x)]; }

    void LineFeed() {
        if (y_ + 1 < rows_) {
            ++y_;
            return;
        }
        history_.push_back(Row(0));
        cells_.erase(cells_.begin(), cells_.begin() + columns_);
        cells_.resize(cells_.size() + static_cast<std::size_t>(columns_), Erased());
    }

    Shown Erased() const {
        Shown blank;
        blank.colours.background = colours_.background;
        return blank;
    }

    void Put(const std::string& glyph) {
        if (pending_) {
            x_ = 0;
            LineFeed();
            pending_ = false;
        }
        Cell(x_, y_) = Shown{glyph, colours_};
        if (x_ + 1 < columns_) {
            ++x_;
        } else {
            pending_ = true;
        }
    }

    std::size_t Sequence(const std::string& bytes, std::size_t at) {
        EXPECT_EQ(bytes[at + 1], '[') << "only CSI sequences are expected";
        std::size_t i = at + 2;
        const bool priv = bytes[i] == '?';
        if (priv) ++i;
        std::vector<int> p;
        int value = -1;
        for (; i < bytes.size() && ((bytes[i] >= '0' && bytes[i] <= '9') || bytes[i] == ';'); ++i) {
            if (bytes[i] == ';') {
                p.push_back(value);
                value = -1;
            } else {
                value = (value < 0 ? 0 : value * 10) + (bytes[i] - '0');
            }
        }
        p.push_back(value);
        const char final = bytes[i];
        const auto param = [&](std::size_t n, int otherwise) {
            return n < p.size() && p[n] > 0 ? p[n] : otherwise;
        };
        if (priv) {
            EXPECT_TRUE(p[0] == 2026 && (final == 'h' || final == 'l')) << "mode " << p[0];
            return i + 1;
        }
        if (final != 'm' && final != 'K' && final != 'X' && final != 'J') pending_ = false;
        switch (final) {
            case 'm':
                for (const int v : p)
                    Select(v < 0 ? 0 : v);
                break;
            case 'H':
                y_ = std::min(param(0, 1), rows_) - 1;
                x_ = std::min(param(1, 1), columns_) - 1;
                break;
            case 'd':
                y_ = std::min(param(0, 1), rows_) - 1;
                break;
            case 'G':
                x_ = std::min(param(0, 1), columns_) - 1;
                break;
            case 'A':
                y_ = std::max(y_ - param(0, 1), 0);
                break;
            case 'B':
                y_ = std::min(y_ + param(0, 1), rows_ - 1);
                break;
            case 'C':
                x_ = std::min(x_ + param(0, 1), columns_ - 1);
                break;
            case 'D':
                x_ = std::max(x_ - param(0, 1), 0);
                break;
            case 'K':
                for (int x = x_; x < columns_; ++x)
                    Cell(x, y_) = Erased();
                break;
            case 'X':
                for (int x = x_; x < std::min(columns_, x_ + param(0, 1)); ++x)
                    Cell(x, y_) = Erased();
                break;
            case 'J':
                // Only an erase below, never from the top left cell, which some terminals
                // take as a clear that copies the screen into their history.
                EXPECT_LE(p[0], 0);
                EXPECT_FALSE(x_ == 0 && y_ == 0);
                for (int cell = y_ * columns_ + x_; cell < columns_ * rows_; ++cell)
                    cells_[static_cast<std::size_t>(cell)] = Erased();
                break;
            default:
                ADD_FAILURE() << "unexpected sequence final " << final;
        }
        return i + 1;
    }

    void Select(int v) {
        if (v == 0) {
            colours_ = Colours{};
        } else if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97) || v == 39) {
            colours_.foreground = static_cast<unsigned>(v);
        } else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107) || v == 49) {
            colours_.background = static_cast<unsigned>(v);
        } else if (v == 4 || v == 24) {
            colours_.underscore = v == 4;
        } else if (v == 7 || v == 27) {
            colours_.reverse = v == 7;
        } else {
            ADD_FAILURE() << "unexpected colour parameter " << v;
        }
    }

    int columns_;
    int rows_;
    std::vector<Shown> cells_;
    std::vector<std::string> history_;
    int x_ = 0;
    int y_ = 0;
    bool pending_ = false;
    Colours colours_;
};

// The colours a console attribute shows in: 0x07 the terminal's own, any other explicitly
// (console colour bits are blue 1, green 2, red 4; the terminal's red 1, green 2, blue 4).
Terminal::Colours Expected(std::uint16_t attribute) {
    if (attribute == 0x07) return {};
    const auto swap = [](unsigned bits) {
        return ((bits & 1u) << 2) | (bits & 2u) | ((bits & 4u) >> 2);
    };
    const unsigned fg = attribute & 0xFu;
    const unsigned bg = (attribute >> 4) & 0xFu;
    return {(fg & 8u ? 90u : 30u) + swap(fg & 7u), (bg & 8u ? 100u : 40u) + swap(bg & 7u),
            (attribute & 0x8000u) != 0, (attribute & 0x4000u) != 0};
}

// Whether the terminal shows what the buffer holds, and its cursor where the buffer's is.
// Whether the terminal shows the buffer's window (all of the buffer unless it was given a
// smaller window) and its cursor.
::testing::AssertionResult ShowsBuffer(const Terminal& terminal, const ScreenBuffer& screen) {
    for (int y = 0; y < screen.WindowRows(); ++y) {
        for (int x = 0; x < screen.WindowColumns(); ++x) {
            const Cell cell = screen.At(screen.WindowLeft() + x, screen.WindowTop() + y);
            const Terminal::Shown& shown = terminal.At(x, y);
            const std::string glyph(platform::Cp437Glyph(cell.ch));
            const Terminal::Colours want = Expected(cell.attr);
            // A blank shows only its background, underscore and reverse.
            const bool blank = glyph == " " && shown.glyph == " ";
            const bool same = blank ? shown.colours.background == want.background &&
                                          shown.colours.underscore == want.underscore &&
                                          shown.colours.reverse == want.reverse
                                    : glyph == shown.glyph && shown.colours == want;
            if (!same) {
                return ::testing::AssertionFailure()
                       << "cell " << x << "," << y << ": shows \"" << shown.glyph << "\" in "
                       << shown.colours.foreground << "/" << shown.colours.background
                       << ", the buffer holds \"" << glyph << "\" in attribute " << std::hex
                       << cell.attr;
            }
        }
    }
    if (terminal.Pending() || terminal.X() != screen.CursorX() - screen.WindowLeft() ||
        terminal.Y() != screen.CursorY() - screen.WindowTop()) {
        return ::testing::AssertionFailure()
               << "cursor at " << terminal.X() << "," << terminal.Y()
               << (terminal.Pending() ? " (wrap pending)" : "") << ", the buffer's at "
               << screen.CursorX() << "," << screen.CursorY();
    }
    return ::testing::AssertionSuccess();
}

// A 10x4 terminal that has already been taken over, with the cursor at the top left.
class RendererTest : public ::testing::Test {
  protected:
    RendererTest() : screen(10, 4) {
        renderer.Reset(10, 4, Renderer::Start::Redraw);
        Frame();
    }

    std::string Frame() {
        FrameBytes out;
        renderer.Render(screen, 0, out);
        return out.Text();
    }
    void Write(const std::string& text) { screen.Write(text.data(), text.size()); }
    void Clear(std::uint16_t attribute = 0x07) {
        const std::string blanks(static_cast<std::size_t>(screen.Columns()), ' ');
        const std::vector<std::uint16_t> attributes(blanks.size(), attribute);
        for (int y = 0; y < screen.Rows(); ++y) {
            screen.WriteCharacters(blanks.data(), blanks.size(), 0, y);
            screen.WriteAttributes(attributes.data(), attributes.size(), 0, y);
        }
        screen.SetCursor(0, 0);
    }

    ScreenBuffer screen;
    Renderer renderer;
};

TEST(RendererStart, ScrollsTheOldContentIntoHistory) {
    ScreenBuffer screen(10, 3);
    Renderer renderer;
    renderer.Reset(10, 3, Renderer::Start::ScrollOut);
    screen.Write("hi", 2);
    FrameBytes out;
    renderer.Render(screen, 0, out);
    EXPECT_EQ(out.Text(),
              "\x1b[m"   // default colours
              "\x1b[3H"  // last row
              "\n\n\n"   // everything shown moves up out of view
              "\x1b[H"   // top left
              "hi");     // the cursor ends behind the text: no move
}

TEST_F(RendererTest, ResetAfterAResizeRedrawsWithoutAClear) {
    Write("ab");
    Frame();
    renderer.Reset(10, 4, Renderer::Start::Redraw);
    EXPECT_EQ(Frame(),
              "\x1b[m\x1b[H"  // default colours, top left
              "\n\x1b[J"      // the blank rows erased from the second row on
              "\x1b[H"
              "ab\x1b[K");  // the first row drawn, the rest of it erased
}

TEST_F(RendererTest, AFrameIsTheDifference) {
    EXPECT_EQ(Frame(), "");
    Write("abc");
    EXPECT_EQ(Frame(), "abc");
    // Cleared and written again as it was: nothing to show.
    Clear();
    Write("abc");
    EXPECT_EQ(Frame(), "");
    Write("\r\n");
    EXPECT_EQ(Frame(), "\r\n");  // only the cursor moved: CR, then LF, which keeps the column
}

TEST_F(RendererTest, CursorMovesTakeTheShortestForm) {
    struct Move {
        int x;
        int y;
        const char* bytes;
    };
    // From (0, 0), each move starting where the previous one ended.
    const Move moves[] = {
        {5, 0, "\x1b[6G"},     // along the row: CHA, as short as CUF
        {6, 0, "\x1b[C"},      // one right: CUF without a count
        {3, 0, "\b\b\b"},      // three left: backspaces
        {0, 0, "\r"},          // column 0
        {0, 2, "\n\n"},        // two down: line feeds
        {0, 3, "\n"},          //
        {0, 0, "\x1b[H"},      // top left: CUP without parameters
        {0, 3, "\n\n\n"},      // three down: line feeds are still shorter than CUD or VPA
        {0, 1, "\x1b[2H"},     // up to column 0: CUP with the column left out
        {4, 1, "\x1b[5G"},     // right: CHA, as short as CUF
        {9, 0, "\x1b[1;10H"},  // both ways: CUP is shorter than CHA and CUU
        {9, 2, "\n\n"},        //
        {8, 3, "\b\n"},        // both ways, one step each
        {2, 1, "\x1b[2;3H"},   //
        {0, 3, "\r\n\n"},      //
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(testing::Message() << "to " << move.x << "," << move.y);
        ASSERT_TRUE(screen.SetCursor(move.x, move.y));
        EXPECT_EQ(Frame(), move.bytes);
    }
}

TEST_F(RendererTest, GapsAreWrittenAgainWhenThatIsShorterThanAMove) {
    Write("abcdefghij");
    screen.SetCursor(0, 1);
    Frame();
    screen.WriteCharacters("A", 1, 1, 0);
    screen.WriteCharacters("D", 1, 3, 0);  // one unchanged cell between: written again
    screen.WriteCharacters("J", 1, 9, 0);  // five between: a move is shorter
    EXPECT_EQ(Frame(),
              "\x1b[1;2H"  // up to row 0, column 1
              "AcD"        // c is written again
              "\x1b[5C"    // over e to i
              "J"          // the last column: the wrap is pending, so ...
              "\r\n");     // ... the way back takes a move that does not depend on the column
}

TEST_F(RendererTest, BlanksAreErased) {
    Write("0123456789\r\n0123456789\r\n0123456789");
    screen.SetCursor(0, 3);
    Frame();
    // The end of row 0, ten blanks inside row 1 (with ECH), all of row 2.
    screen.WriteCharacters("   ", 3, 7, 0);
    screen.WriteCharacters("        ", 8, 1, 1);
    screen.WriteCharacters("          ", 10, 0, 2);
    EXPECT_EQ(Frame(),
              "\x1b[1;8H\x1b[K"   // row 0 from column 7: EL
              "\x1b[2G\n\x1b[8X"  // row 1 from column 1: eight erased with ECH
              "\r\n\x1b[K"        // row 2: EL
              "\n");              // the cursor back to row 3
}

TEST_F(RendererTest, BlanksWithUnderscoreOrReverseAreWritten) {
    screen.SetAttribute(0x4007);
    Write("          ");
    screen.SetCursor(0, 1);
    EXPECT_EQ(Frame(), "\x1b[37;40;7m          \r\n");
}

TEST_F(RendererTest, AClearedScreenIsErasedBelowItsFirstRowAndThatRowAlone) {
    Write("aaaaaaaaaa\r\nbbbbbbbbbb\r\ncccccccccc\r\ndddddddddd");
    Frame();
    Clear(0x17);
    EXPECT_EQ(Frame(), "\x1b[2H\x1b[37;44m\x1b[J\x1b[H\x1b[K");
}

TEST_F(RendererTest, ColoursChangeOnlyWhatDiffers) {
    struct Step {
        std::uint16_t attribute;
        const char* bytes;
    };
    const Step steps[] = {
        {0x1F, "\x1b[97;44m"},      // from the terminal's own: both colours
        {0x1E, "\x1b[93m"},         // only the foreground
        {0x2E, "\x1b[42m"},         // only the background
        {0x802E, "\x1b[4m"},        // underscore on
        {0x402E, "\x1b[24;7m"},     // underscore off, reverse on
        {0x07, "\x1b[m"},           // back to the terminal's own
        {0x0C, "\x1b[91;40m"},      // bright red: red is 4 in the console, 1 on terminals
        {0x4070, "\x1b[30;47;7m"},  // black on light grey, reversed
        {0x21, "\x1b[0;34;42m"},    // reverse off, both colours: starting from 0 is as short
    };
    int x = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "attribute " << std::hex << step.attribute);
        screen.SetAttribute(step.attribute);
        Write("x");
        EXPECT_EQ(Frame(), std::string(step.bytes) + "x");
        ++x;
    }
}

TEST_F(RendererTest, ScrollingMovesTheTerminalToo) {
    Write("1\r\n2\r\n3\r\n4");
    Frame();
    Write("\r\n5");
    EXPECT_EQ(Frame(),
              "\r\n"  // the terminal scrolls as the buffer did, from column 0
              "5");   // only the new row is drawn
}

TEST_F(RendererTest, ScrollingMoreThanTheBufferScrollsOutWhatIsShown) {
    Write("x");
    Frame();
    Write("\n\n\n\n\n\n\n\nend");  // three moves down, then five scrolls of a 4-row buffer
    // What the terminal showed leaves into its history; the rows the buffer lost are gone.
    EXPECT_EQ(Frame(), "\x1b[4H\n\n\n\nend");
}

// A window that moves down over a tall buffer, by less than its height and by more than it in
// one frame, and on at the buffer's end, where the buffer itself scrolls: every row that leaves
// the window's top reaches the terminal's history once, in order, as long as frames come before
// the buffer loses rows (the console host sees to that).
TEST(RendererScroll, EveryRowThatLeavesTheWindowReachesTheHistory) {
    constexpr int BufferRows = 60;
    constexpr int Written = 250;
    for (const int rowsPerFrame : {1, 3, 4, 9, 40, 56}) {
        SCOPED_TRACE(testing::Message() << rowsPerFrame << " rows a frame");
        ScreenBuffer screen(12, BufferRows);
        screen.SetWindowSize(12, 4);
        screen.SetWindowFollowsCursor(true);
        Renderer renderer;
        renderer.Reset(12, 4, Renderer::Start::Redraw);
        Terminal terminal(12, 4);
        std::string bytes;
        for (int row = 0; row < Written; ++row) {
            const std::string line = "row " + std::to_string(row) + (row % 7 == 0 ? "" : "\n");
            screen.Write(line.data(), line.size());
            if (row % 7 == 0) screen.Write("\r\n", 2);
            if (row % rowsPerFrame == rowsPerFrame - 1 || row == Written - 1) {
                FrameBytes out;
                renderer.Render(screen, screen.WindowTop(), out);
                terminal.Run(out.Text());
                bytes += out.Text();
                ASSERT_TRUE(ShowsBuffer(terminal, screen)) << "after row " << row;
            }
        }
        std::vector<std::string> seen = terminal.History();
        for (int y = 0; y < 4; ++y)
            seen.push_back(terminal.Row(y));
        ASSERT_EQ(seen.back(), "");  // the cursor's row
        seen.pop_back();
        std::vector<std::string> expected;
        for (int row = 0; row < Written; ++row)
            expected.push_back("row " + std::to_string(row));
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(bytes.find("\x1b[2J"), std::string::npos);
    }
}

// At the start the terminal shows the shell's text, and its cursor is at a known place: what
// the program does not write is left as it is, even in the cursor's own row; a clear erases it.
TEST(RendererStart, AtTheCursorLeavesWhatTheTerminalShows) {
    Terminal terminal(10, 4);
    terminal.Run("$ one\r\nout\r\n$ ab");  // the shell's text; its cursor at (4, 2)
    ScreenBuffer screen(10, 4);
    screen.KeepTerminalRows(4);
    ASSERT_TRUE(screen.SetCursor(4, 2));
    static_cast<void>(screen.TakeChanges());
    Renderer renderer;
    renderer.Reset(10, 4, Renderer::Start::AtCursor);
    renderer.StartAt(4, 2);
    screen.Write("X\nnext", 6);
    FrameBytes out;
    renderer.Render(screen, 0, out);
    terminal.Run(out.Text());
    EXPECT_EQ(out.Text(), "\x1b[mX\r\nnext");  // the shell's colours are not known: set
    EXPECT_EQ(terminal.Row(0), "$ one");
    EXPECT_EQ(terminal.Row(1), "out");
    EXPECT_EQ(terminal.Row(2), "$ abX");
    EXPECT_EQ(terminal.Row(3), "next");
    // A cell write in the middle of a row leaves the shell's text on both sides of it.
    screen.WriteCharacters("Z", 1, 2, 0);
    FrameBytes write;
    renderer.Render(screen, 0, write);
    terminal.Run(write.Text());
    EXPECT_EQ(terminal.Row(0), "$ Zne");
    // The console's clear writes every cell: the whole window is erased.
    const std::string blanks(10, ' ');
    for (int y = 0; y < 4; ++y)
        screen.WriteCharacters(blanks.data(), blanks.size(), 0, y);
    FrameBytes clear;
    renderer.Render(screen, 0, clear);
    terminal.Run(clear.Text());
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(terminal.Row(y), "") << y;
    EXPECT_EQ(clear.Text().find("\x1b[2J"), std::string::npos);
}

TEST_F(RendererTest, GlyphsAreCodePage437InUtf8) {
    screen.WriteCharacters("\x9e\x9d\x9c\x01\xdb", 5, 0, 0);
    // Cell writes leave the cursor at the top left: a carriage return brings it back.
    EXPECT_EQ(Frame(), "\xe2\x82\xa7\xc2\xa5\xc2\xa3\xe2\x98\xba\xe2\x96\x88\r");
}

TEST_F(RendererTest, BellRingsOnce) {
    Write("a\a\ab");
    EXPECT_EQ(Frame(), "ab\a");
}

TEST_F(RendererTest, SynchronizedOutputWrapsFramesThatWriteSomething) {
    renderer.SetSynchronized(true);
    EXPECT_EQ(Frame(), "");
    Write("a");
    EXPECT_EQ(Frame(), "\x1b[?2026ha\x1b[?2026l");
}

TEST_F(RendererTest, FinishLeavesDefaultColoursOnAFreshLine) {
    screen.SetAttribute(0x1F);
    Write("ab");
    Frame();
    FrameBytes out;
    renderer.Finish(&screen, 0, out);
    EXPECT_EQ(out.Text(), "\x1b[m\r\n");
}

TEST(FrameBytesTest, SpillsInsteadOfGrowingOnceToldTo) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    FrameBytes out;
    out.Reserve(8);
    const std::size_t capacity = out.Text().capacity();
    out.SpillTo(pipeFds[1]);
    const std::string text(capacity * 3 + 5, 'x');
    for (const char ch : text)
        out.Append(ch);
    out.Append(std::string_view(text));
    EXPECT_EQ(out.Text().capacity(), capacity);
    out.Spill();
    std::string read(text.size() * 2, '\0');
    EXPECT_EQ(::read(pipeFds[0], read.data(), read.size()), static_cast<ssize_t>(read.size()));
    EXPECT_EQ(read, text + text);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

// Frames after random output, cell writes, cursor moves, colours, clears and scrolls, each run
// through the terminal: it must show the buffer after every one.
// Random output, cell writes, cursor moves and clears, each frame checked against the window.
// From seed 41 on the buffer is wider and taller than the window, which follows the cursor:
// frames show its moves as scrolls of the terminal or as redraws.
TEST(RendererFrames, EveryFrameShowsTheBuffer) {
    for (unsigned seed = 1; seed <= 80; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const auto below = [&](int n) {
            return static_cast<int>(random() % static_cast<unsigned>(n));
        };
        const int windowColumns = 1 + below(30);
        const int windowRows = 1 + below(12);
        const bool windowed = seed > 40;
        const int columns = windowColumns + (windowed ? below(8) : 0);
        const int rows = windowRows + (windowed ? below(40) : 0);
        ScreenBuffer screen(columns, rows);
        screen.SetWindowSize(windowColumns, windowRows);
        screen.SetWindowFollowsCursor(windowed);
        Renderer renderer;
        renderer.Reset(windowColumns, windowRows, Renderer::Start::Redraw);
        renderer.SetSynchronized(seed % 2 == 0);
        Terminal terminal(windowColumns, windowRows);
        constexpr std::uint16_t Attributes[] = {0x07, 0x1F, 0x17, 0x70, 0x8007, 0x4017, 0x0C};
        for (int step = 0; step < 300; ++step) {
            switch (below(8)) {
                case 0:
                case 1: {
                    std::string text;
                    for (int n = below(2 * columns); n > 0; --n) {
                        const int kind = below(10);
                        text += kind == 0   ? '\n'
                                : kind == 1 ? '\r'
                                : kind == 2 ? ' '
                                : kind == 3 ? static_cast<char>(0x80 + below(128))
                                            : static_cast<char>('a' + below(26));
                    }
                    screen.Write(text.data(), text.size());
                    break;
                }
                case 2: {
                    const std::string text(
                        static_cast<std::size_t>(below(columns) + 1),
                        below(3) == 0 ? ' ' : static_cast<char>('A' + below(26)));
                    screen.WriteCharacters(text.data(), text.size(), below(columns), below(rows));
                    break;
                }
                case 3:
                    screen.SetCursor(below(columns), below(rows));
                    break;
                case 4:
                    screen.SetAttribute(Attributes[below(7)]);
                    break;
                case 5: {
                    const std::string blanks(static_cast<std::size_t>(columns), ' ');
                    const std::vector<std::uint16_t> attributes(blanks.size(), screen.Attribute());
                    for (int y = 0; y < rows; ++y) {
                        screen.WriteCharacters(blanks.data(), blanks.size(), 0, y);
                        screen.WriteAttributes(attributes.data(), attributes.size(), 0, y);
                    }
                    break;
                }
                default: {
                    FrameBytes out;
                    renderer.Render(screen, screen.WindowTop(), out);
                    terminal.Run(out.Text());
                    ASSERT_TRUE(ShowsBuffer(terminal, screen)) << "after step " << step;
                    break;
                }
            }
        }
    }
}

TEST(CodePage437, GlyphsOfEveryKindOfByte) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    };
    const Case cases[] = {
        {0x00, " "},      {0x01, "\u263A"}, {0x07, "\u2022"}, {0x0A, "\u25D9"}, {0x1B, "\u2190"},
        {0x41, "A"},      {0x7F, "\u2302"}, {0x80, "\u00C7"}, {0x9E, "\u20A7"}, {0xB3, "\u2502"},
        {0xDB, "\u2588"}, {0xE0, "\u03B1"}, {0xFE, "\u25A0"}, {0xFF, "\u00A0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte " << static_cast<int>(c.byte));
        EXPECT_EQ(platform::Cp437Glyph(c.byte), c.utf8);
    }
    for (int byte = 0; byte < 256; ++byte) {
        const auto glyph = platform::Cp437Glyph(static_cast<unsigned char>(byte));
        EXPECT_FALSE(glyph.empty());
        EXPECT_LE(glyph.size(), 3u);
    }
}

}  // namespace
}  // namespace conlib::posix
