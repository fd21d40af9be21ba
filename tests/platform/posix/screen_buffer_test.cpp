// The console host's screen buffer: processed output, wrapping, scrolling and cell access.
#include "platform/posix/screen_buffer.hpp"

#include <gtest/gtest.h>

#include <string>

namespace conlib::posix {
namespace {

std::string RowText(const ScreenBuffer& screen, int y) {
    std::string text;
    for (int x = 0; x < screen.Columns(); ++x)
        text += static_cast<char>(screen.At(x, y).ch);
    return text;
}

struct OutputCase {
    const char* name;
    std::string written;
    std::string row0;
    std::string row1;
    int cursorX;
    int cursorY;
};

TEST(ScreenBuffer, ProcessedOutput) {
    // 8 columns, 3 rows; rows shown without their trailing blanks cut.
    const OutputCase cases[] = {
        {"plain text", "abc", "abc     ", "        ", 3, 0},
        {"carriage return overwrites", "abc\rX", "Xbc     ", "        ", 1, 0},
        {"line feed also returns", "ab\ncd", "ab      ", "cd      ", 2, 1},
        {"CR LF", "ab\r\ncd", "ab      ", "cd      ", 2, 1},
        {"backspace does not erase", "abc\b\bX", "aXc     ", "        ", 2, 0},
        {"backspace stops at column 0", "\b\bX", "X       ", "        ", 1, 0},
        {"tab to the next stop", "a\tb", "a       ", "b       ", 1, 1},
        {"tab from a stop", "\tb", "        ", "b       ", 1, 1},
        {"bell shows nothing", "a\ab", "ab      ", "        ", 2, 0},
        {"wrap at the end of the line", "abcdefghij", "abcdefgh", "ij      ", 2, 1},
        {"full line then CR LF ends that line", "abcdefgh\r\nx", "abcdefgh", "x       ", 1, 1},
        {"carriage return after the last column", "abcdefgh\rX", "Xbcdefgh", "        ", 1, 0},
        {"backspace after the last column", "abcdefgh\bX", "abcdefXh", "        ", 7, 0},
        {"tab after the last column", "abcdefgh\t", "abcdefgh", "        ", 0, 2},
        {"wrap made at the end of the write", "abcdefgh", "abcdefgh", "        ", 0, 1},
        {"other control bytes are glyphs", std::string("\x01\x1b\x00\x7f", 4),
         std::string("\x01\x1b\x00\x7f    ", 8), "        ", 4, 0},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenBuffer screen(8, 3);
        screen.Write(c.written.data(), c.written.size());
        EXPECT_EQ(RowText(screen, 0), c.row0);
        EXPECT_EQ(RowText(screen, 1), c.row1);
        EXPECT_EQ(screen.CursorX(), c.cursorX);
        EXPECT_EQ(screen.CursorY(), c.cursorY);
    }
}

TEST(ScreenBuffer, TabMidLineUsesStopsOfEight) {
    ScreenBuffer screen(20, 2);
    screen.Write("abc\tX\tY", 7);
    EXPECT_EQ(RowText(screen, 0), "abc     X       Y   ");
    EXPECT_EQ(screen.CursorX(), 17);
}

TEST(ScreenBuffer, LineFeedOnLastRowScrollsInCurrentAttribute) {
    ScreenBuffer screen(4, 3);
    screen.Write("a\nb\nc", 5);
    screen.TakeChanges();
    screen.SetAttribute(0x1E);
    screen.Write("\nd", 2);
    EXPECT_EQ(RowText(screen, 0), "b   ");
    EXPECT_EQ(RowText(screen, 1), "c   ");
    EXPECT_EQ(RowText(screen, 2), "d   ");
    EXPECT_EQ(screen.At(3, 2).attr, 0x1E);  // the new line's blanks
    EXPECT_EQ(screen.At(3, 1).attr, ScreenBuffer::DefaultAttribute);
    EXPECT_EQ(screen.CursorY(), 2);

    const ScreenChanges changes = screen.TakeChanges();
    EXPECT_EQ(changes.scrolled, 1);
    EXPECT_EQ(changes.endRow, 3);
}

TEST(ScreenBuffer, WritingTheLastCellScrollsAtOnce) {
    // The wrap still due at the end of the write is made: the buffer scrolls.
    ScreenBuffer screen(3, 2);
    screen.Write("abcdef", 6);
    EXPECT_EQ(RowText(screen, 0), "def");
    EXPECT_EQ(RowText(screen, 1), "   ");
    EXPECT_EQ(screen.CursorX(), 0);
    EXPECT_EQ(screen.CursorY(), 1);
}

TEST(ScreenBuffer, ManyScrollsAreCappedAtTheRowCount) {
    ScreenBuffer screen(2, 3);
    screen.TakeChanges();
    const std::string lines(50, '\n');
    screen.Write(lines.data(), lines.size());
    const ScreenChanges changes = screen.TakeChanges();
    EXPECT_EQ(changes.scrolled, 3);
    EXPECT_EQ(changes.firstRow, 0);
    EXPECT_EQ(changes.endRow, 3);
}

TEST(ScreenBuffer, CellWritesRunOnAcrossRowsAndStopAtTheEnd) {
    ScreenBuffer screen(4, 2);
    screen.SetCursor(1, 1);
    EXPECT_EQ(screen.WriteCharacters("abcdef", 6, 2, 0), 6u);
    EXPECT_EQ(RowText(screen, 0), "  ab");
    EXPECT_EQ(RowText(screen, 1), "cdef");
    EXPECT_EQ(screen.WriteCharacters("xyz", 3, 3, 1), 1u);
    EXPECT_EQ(RowText(screen, 1), "cdex");
    EXPECT_EQ(screen.CursorX(), 1);  // cell writes leave the cursor
    EXPECT_EQ(screen.CursorY(), 1);

    const std::uint16_t attrs[] = {0x10, 0x20, 0x30};
    EXPECT_EQ(screen.WriteAttributes(attrs, 3, 3, 0), 3u);
    std::uint16_t back[4] = {};
    EXPECT_EQ(screen.ReadAttributes(back, 4, 2, 0), 4u);
    EXPECT_EQ(back[0], ScreenBuffer::DefaultAttribute);
    EXPECT_EQ(back[1], 0x10);
    EXPECT_EQ(back[2], 0x20);
    EXPECT_EQ(back[3], 0x30);
    EXPECT_EQ(RowText(screen, 1), "cdex");  // attributes leave the characters

    char chars[8] = {};
    EXPECT_EQ(screen.ReadCharacters(chars, 8, 2, 1), 2u);
    EXPECT_EQ(std::string(chars, 2), "ex");
}

TEST(ScreenBuffer, PositionsOutsideTheBufferAreRefused) {
    ScreenBuffer screen(4, 2);
    EXPECT_FALSE(screen.SetCursor(4, 0));
    EXPECT_FALSE(screen.SetCursor(0, 2));
    EXPECT_FALSE(screen.SetCursor(-1, 0));
    EXPECT_EQ(screen.CursorX(), 0);
    EXPECT_EQ(screen.WriteCharacters("a", 1, 0, 2), 0u);
    EXPECT_TRUE(screen.SetCursor(3, 1));
}

TEST(ScreenBuffer, ResizeKeepsTheTopLeftAndTheCursorInside) {
    ScreenBuffer screen(5, 3);
    screen.Write("abcd\nefgh\nij", 12);
    screen.Resize(2, 2);
    EXPECT_EQ(RowText(screen, 0), "ab");
    EXPECT_EQ(RowText(screen, 1), "ef");
    EXPECT_EQ(screen.CursorX(), 1);
    EXPECT_EQ(screen.CursorY(), 1);
    screen.Resize(3, 3);
    EXPECT_EQ(RowText(screen, 0), "ab ");
    EXPECT_EQ(RowText(screen, 2), "   ");
}

TEST(ScreenBuffer, ScrolledContentStaysInPlaceAfterResize) {
    ScreenBuffer screen(2, 2);
    screen.Write("a\nb\nc", 5);  // scrolled once: rows "b", "c"
    screen.Resize(2, 3);
    EXPECT_EQ(RowText(screen, 0), "b ");
    EXPECT_EQ(RowText(screen, 1), "c ");
    EXPECT_EQ(RowText(screen, 2), "  ");
}

// ---- The window

// A 120x100 buffer under an 80x24 window that follows the cursor, taken through the steps in
// turn. The windows expected are those the Windows console shows (as Wine does) for the same
// calls.
TEST(ScreenBufferWindow, FollowsTheCursorTheLeastDistance) {
    struct Step {
        const char* what;
        int cursorX, cursorY;  // SetCursor, or -1: write `text`
        const char* text;
        int left, top;  // the window's top left corner afterwards
        int scrolled;   // the window's content moved up by this many lines: a terminal scroll
        bool redrawn;   // every row of the window marked changed
    };
    const Step steps[] = {
        // However far the window moves down, its rows leave by its top: a scroll.
        {"cursor placed below the window", 0, 50, nullptr, 0, 27, 27, true},
        {"cursor placed above the window", 0, 10, nullptr, 0, 10, 0, true},
        {"cursor placed inside the window", 0, 15, nullptr, 0, 10, 0, false},
        {"cursor placed to the right", 100, 15, nullptr, 21, 10, 0, true},
        {"cursor placed to the left", 5, 15, nullptr, 5, 10, 0, true},
        {"back to column 0, on the window's last row", 0, 33, nullptr, 0, 10, 0, true},
        {"output below the window's bottom", -1, 0, "\n\n\n", 0, 13, 3, false},
        {"cursor near the buffer's end", 0, 98, nullptr, 0, 75, 62, true},
        {"output at the buffer's last row scrolls the buffer", -1, 0, "\n\n\n", 0, 76, 3, false},
        {"cursor home, as a clear ends", 0, 0, nullptr, 0, 0, 0, true},
    };
    ScreenBuffer screen(120, 100);
    screen.SetWindowSize(80, 24);
    screen.SetWindowFollowsCursor(true);
    EXPECT_EQ(screen.WindowLeft(), 0);
    EXPECT_EQ(screen.WindowTop(), 0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        screen.TakeChanges();
        if (step.cursorX >= 0) {
            ASSERT_TRUE(screen.SetCursor(step.cursorX, step.cursorY));
        } else {
            screen.Write(step.text, std::char_traits<char>::length(step.text));
        }
        EXPECT_EQ(screen.WindowLeft(), step.left);
        EXPECT_EQ(screen.WindowTop(), step.top);
        EXPECT_EQ(screen.WindowColumns(), 80);
        EXPECT_EQ(screen.WindowRows(), 24);
        const ScreenChanges changes = screen.TakeChanges();
        EXPECT_EQ(changes.scrolled, step.scrolled);
        const bool all = changes.firstRow <= step.top && changes.endRow >= step.top + 24;
        EXPECT_EQ(all, step.redrawn) << "rows " << changes.firstRow << " to " << changes.endRow;
    }
}

TEST(ScreenBufferWindow, CellWritesAndAttributesNeverMoveIt) {
    ScreenBuffer screen(80, 100);
    screen.SetWindowSize(80, 24);
    screen.SetWindowFollowsCursor(true);
    EXPECT_EQ(screen.WriteCharacters("x", 1, 0, 90), 1u);
    screen.SetAttribute(0x1F);
    EXPECT_EQ(screen.WindowTop(), 0);
}

// The terminal's size changes under the window: the window takes it, the cursor stays in view
// and no cell is lost.
TEST(ScreenBufferWindow, ResizesLoseNoCell) {
    struct Case {
        const char* what;
        int columns, rows;  // the new window
        int bufferColumns, bufferRows;
        int left, top;
    };
    // From an 80x24 window over an 80x100 buffer, the cursor at (70, 30), the window at top 7.
    const Case cases[] = {
        {"narrower: the buffer keeps its width, the window moves sideways", 20, 24, 80, 100, 51, 7},
        {"lower: the window keeps the cursor on its last row", 80, 8, 80, 100, 0, 23},
        {"wider: the buffer widens", 100, 24, 100, 100, 0, 7},
        {"taller than the buffer: the buffer grows", 80, 120, 80, 120, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScreenBuffer screen(80, 100);
        screen.SetWindowSize(80, 24);
        screen.SetWindowFollowsCursor(true);
        screen.WriteCharacters("corner", 6, 74, 99);
        screen.WriteCharacters("top", 3, 0, 0);
        ASSERT_TRUE(screen.SetCursor(70, 30));
        ASSERT_EQ(screen.WindowTop(), 7);

        screen.SetWindowSize(c.columns, c.rows);
        EXPECT_EQ(screen.Columns(), c.bufferColumns);
        EXPECT_EQ(screen.Rows(), c.bufferRows);
        EXPECT_EQ(screen.WindowColumns(), c.columns);
        EXPECT_EQ(screen.WindowRows(), c.rows);
        EXPECT_EQ(screen.WindowLeft(), c.left);
        EXPECT_EQ(screen.WindowTop(), c.top);
        EXPECT_EQ(screen.CursorX(), 70);
        EXPECT_EQ(screen.CursorY(), 30);
        EXPECT_EQ(RowText(screen, 99).substr(74, 6), "corner");
        EXPECT_EQ(RowText(screen, 0).substr(0, 3), "top");

        // And back to the first size: every cell is still there.
        screen.SetWindowSize(80, 24);
        EXPECT_EQ(RowText(screen, 99).substr(74, 6), "corner");
        EXPECT_EQ(RowText(screen, 0).substr(0, 3), "top");
    }
}

}  // namespace
}  // namespace conlib::posix
