// The console host's message box as drawn into a screen buffer: frame and title, the text
// broken and wrapped, icon and buttons, the focus, and clipping to the window and the buffer.
#include "platform/posix/message_box.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/screen_buffer.hpp"

namespace conlib::posix {
namespace {

using namespace win;

constexpr std::uint16_t Fill = 0x07;

// A buffer filled with dots, so that every cell the box draws shows.
ScreenBuffer Dotted(int columns, int rows) {
    ScreenBuffer screen(columns, rows);
    const std::string dots(static_cast<std::size_t>(columns * rows), '.');
    screen.WriteCharacters(dots.data(), dots.size(), 0, 0);
    return screen;
}

// A row with the frame's glyphs shown as + = |.
std::string RowText(const ScreenBuffer& screen, int y) {
    std::string text;
    for (int x = 0; x < screen.Columns(); ++x) {
        const auto ch = screen.At(x, y).ch;
        switch (ch) {
            case 0xC9:
            case 0xBB:
            case 0xC8:
            case 0xBC:
                text += '+';
                break;
            case 0xCD:
                text += '=';
                break;
            case 0xBA:
                text += '|';
                break;
            default:
                text += static_cast<char>(ch);
        }
    }
    return text;
}

std::vector<std::uint16_t> RowAttributes(const ScreenBuffer& screen, int y, int x, int count) {
    std::vector<std::uint16_t> attributes;
    for (int i = 0; i < count; ++i)
        attributes.push_back(screen.At(x + i, y).attr);
    return attributes;
}

std::vector<std::uint16_t> Repeated(std::uint16_t attribute, int count) {
    return std::vector<std::uint16_t>(static_cast<std::size_t>(count), attribute);
}

// `middle` at column `left` of a row of dots `columns` wide.
std::string Dots(int left, const std::string& middle, int columns) {
    return std::string(static_cast<std::size_t>(left), '.') + middle +
           std::string(static_cast<std::size_t>(columns - left) - middle.size(), '.');
}

// The question "Shall we?" titled "Question", with the first button focused, as in a window of
// 40 x 12 cells.
const std::vector<std::string> QuestionBox = {
    "+==== Question =====+",  //
    "|                   |",  //
    "|   ?  Shall we?    |",  //
    "|                   |",  //
    "|  [ Yes ]    No    |",  //
    "+===================+",
};

TEST(MessageBoxLayout, QuestionCentredWithIconAndFocusedButton) {
    ScreenBuffer screen = Dotted(40, 12);
    const MessageBoxArea area =
        DrawMessageBox(screen, 40, 12, "Shall we?", "Question", MB_YESNO | MB_ICONQUESTION, 0);
    EXPECT_EQ(area, (MessageBoxArea{9, 3, 21, 6}));
    for (int y = 0; y < 12; ++y) {
        SCOPED_TRACE(y);
        const bool inBox = y >= 3 && y < 9;
        EXPECT_EQ(
            RowText(screen, y),
            inBox ? Dots(9, QuestionBox[static_cast<std::size_t>(y - 3)], 40) : Dots(0, "", 40));
    }
    // The box's colours; the icon and the focused button stand out.
    EXPECT_EQ(RowAttributes(screen, 3, 9, 21), Repeated(MessageBoxAttribute, 21));
    EXPECT_EQ(RowAttributes(screen, 5, 12, 3), Repeated(MessageBoxIconAttribute, 3));
    EXPECT_EQ(RowAttributes(screen, 7, 12, 7), Repeated(MessageBoxFocusAttribute, 7));
    EXPECT_EQ(RowAttributes(screen, 7, 21, 6), Repeated(MessageBoxAttribute, 6));
    EXPECT_EQ(RowAttributes(screen, 7, 0, 9), Repeated(Fill, 9));
    EXPECT_EQ(RowAttributes(screen, 7, 30, 10), Repeated(Fill, 10));

    // The focus on the second button.
    DrawMessageBox(screen, 40, 12, "Shall we?", "Question", MB_YESNO | MB_ICONQUESTION, 1);
    EXPECT_EQ(RowText(screen, 7), Dots(9, "|    Yes    [ No ]  |", 40));
    EXPECT_EQ(RowAttributes(screen, 7, 12, 7), Repeated(MessageBoxAttribute, 7));
    EXPECT_EQ(RowAttributes(screen, 7, 21, 6), Repeated(MessageBoxFocusAttribute, 6));
}

TEST(MessageBoxLayout, TitleIsTheCaptionEvenABlankOne) {
    struct Case {
        const char* caption;
        std::string top;
    };
    // An OK box of 16 columns (its text sets the width), in a window of 20; a caption too
    // long for that widens the box to the window.
    const Case cases[] = {
        {" ", "+=====   ======+"},
        {"", "+======  ======+"},
        {"Note", "+==== Note ====+"},
        // Cut to what the border holds, one stroke on either side.
        {"A caption much too long", "+= A caption much =+"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ScreenBuffer screen = Dotted(20, 8);
        const MessageBoxArea area =
            DrawMessageBox(screen, 20, 8, "Ten chars!", c.caption, MB_OK, 0);
        ASSERT_EQ(area.columns, static_cast<int>(c.top.size()));
        EXPECT_EQ(
            RowText(screen, area.top).substr(static_cast<std::size_t>(area.left), c.top.size()),
            c.top);
    }
}

TEST(MessageBoxLayout, TextIsBrokenAtLineBreaksAndWrappedToTheWindow) {
    // 24 columns: text 18 wide between the borders and margins.
    ScreenBuffer screen = Dotted(24, 20);
    const MessageBoxArea area = DrawMessageBox(
        screen, 24, 20, "one\r\ntwo\nthree\rfour five six seven\n\nabcdefghijklmnopqrstuvwxyz", "T",
        MB_OKCANCEL, 1);
    const std::vector<std::string> box = {
        "+========= T ==========+",  //
        "|                      |",  //
        "|  one                 |",  //
        "|  two                 |",  //
        "|  three               |",  //
        "|  four five six       |",  //
        "|  seven               |",  //
        "|                      |",  //
        "|  abcdefghijklmnopqr  |",  //
        "|  stuvwxyz            |",  //
        "|                      |",  //
        "|    OK    [ Cancel ]  |",  //
        "+======================+",
    };
    EXPECT_EQ(area, (MessageBoxArea{0, 3, 24, 13}));
    for (std::size_t i = 0; i < box.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(RowText(screen, 3 + static_cast<int>(i)), box[i]);
    }
}

TEST(MessageBoxLayout, TextBeyondTheWindowsRowsIsLeftOut) {
    ScreenBuffer screen = Dotted(40, 9);
    const MessageBoxArea area =
        DrawMessageBox(screen, 40, 9, "1\n2\n3\n4\n5\n6\n7\n8", "Many", MB_OK, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.rows, 9);
    EXPECT_EQ(RowText(screen, 5).substr(static_cast<std::size_t>(area.left), 4), "|  4");
    EXPECT_EQ(RowText(screen, 7).substr(static_cast<std::size_t>(area.left), 7), "|  [ OK");
}

TEST(MessageBoxLayout, NothingIsDrawnOutsideTheWindowOrTheBuffer) {
    struct Case {
        const char* name;
        int bufferColumns;
        int bufferRows;
        int windowColumns;
        int windowRows;
    };
    const Case cases[] = {
        {"window smaller than the buffer", 30, 12, 14, 4},
        {"one cell", 1, 1, 1, 1},
        {"one row", 50, 1, 50, 1},
        {"one column", 1, 30, 1, 30},
        {"a window said to be larger than the buffer", 6, 3, 80, 25},
        {"a wide buffer, the box as wide as it may be", 200, 60, 200, 60},
    };
    const std::string text(300, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenBuffer screen = Dotted(c.bufferColumns, c.bufferRows);
        const MessageBoxArea area = DrawMessageBox(screen, c.windowColumns, c.windowRows,
                                                   text.c_str(), "Caption", MB_YESNOCANCEL, 2);
        const int right = std::min(c.windowColumns, c.bufferColumns);
        const int bottom = std::min(c.windowRows, c.bufferRows);
        EXPECT_GE(area.left, 0);
        EXPECT_GE(area.top, 0);
        EXPECT_LE(area.left + area.columns, right);
        EXPECT_LE(area.top + area.rows, bottom);
        EXPECT_LE(area.columns, 78);
        for (int y = 0; y < c.bufferRows; ++y) {
            for (int x = 0; x < c.bufferColumns; ++x) {
                const bool inside = x >= area.left && x < area.left + area.columns &&
                                    y >= area.top && y < area.top + area.rows;
                if (inside) continue;
                ASSERT_EQ(screen.At(x, y), (Cell{'.', Fill})) << x << "," << y;
            }
        }
    }
}

// A window that has followed the cursor down the buffer, or sideways along a buffer wider than
// it, has the box in its middle, not at the buffer's top left.
TEST(MessageBoxLayout, CentredInTheWindowWhereItStands) {
    struct Case {
        const char* name;
        int bufferColumns;
        int bufferRows;
        int cursorX;
        int cursorY;
        int windowLeft;  // where the cursor takes the 40 x 12 window
        int windowTop;
    };
    const Case cases[] = {
        {"window at the top", 40, 50, 0, 0, 0, 0},
        {"window down the buffer", 40, 50, 0, 30, 0, 19},
        {"window at the buffer's bottom", 40, 50, 0, 49, 0, 38},
        {"window to the right of a wide buffer", 60, 50, 55, 30, 16, 19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenBuffer screen = Dotted(c.bufferColumns, c.bufferRows);
        screen.SetWindowFollowsCursor(true);
        screen.SetWindowSize(40, 12);
        ASSERT_TRUE(screen.SetCursor(c.cursorX, c.cursorY));
        ASSERT_EQ(screen.WindowLeft(), c.windowLeft);
        ASSERT_EQ(screen.WindowTop(), c.windowTop);

        const MessageBoxArea area =
            DrawMessageBox(screen, 40, 12, "Shall we?", "Question", MB_YESNO | MB_ICONQUESTION, 0);
        EXPECT_EQ(area, (MessageBoxArea{c.windowLeft + 9, c.windowTop + 3, 21, 6}));
        for (int y = 0; y < c.bufferRows; ++y) {
            SCOPED_TRACE(y);
            const int boxRow = y - area.top;
            EXPECT_EQ(RowText(screen, y),
                      boxRow >= 0 && boxRow < 6
                          ? Dots(area.left, QuestionBox[static_cast<std::size_t>(boxRow)],
                                 c.bufferColumns)
                          : Dots(0, "", c.bufferColumns));
        }
    }
}

TEST(MessageBoxLayout, UnknownStylesDrawNothing) {
    ScreenBuffer screen = Dotted(20, 5);
    EXPECT_EQ(DrawMessageBox(screen, 20, 5, "text", "caption", 0x2, 0),
              (MessageBoxArea{0, 0, 0, 0}));
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(RowText(screen, y), Dots(0, "", 20));
}

}  // namespace
}  // namespace conlib::posix
