// Console session, text output and cursor, through the public operations; cells are read back
// with the console's own calls, so the same tests run against any console.
#include "conlib/console.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

// Each test starts on a cleared buffer of the size it asks for, in the default attribute.
class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override { UseBuffer(80, 40); }

    static void UseBuffer(SHORT columns, SHORT rows) {
        EnsureConsole();
        ASSERT_TRUE(win::SetConsoleScreenBufferSize(Output(), COORD{columns, rows}));
        win::SetConsoleTextAttribute(Output(), 0x07);
        ConClearScreen();
    }
};

TEST_F(ConsoleTest, TextLengthCountsUpToTheFirstZero) {
    EXPECT_EQ(TextLength(""), 0u);
    EXPECT_EQ(TextLength("abc"), 3u);
    EXPECT_EQ(TextLength("ab\0cd"), 2u);
    EXPECT_EQ(TextLength("\xff\x80"), 2u);
}

TEST_F(ConsoleTest, WriteTextPlacesTextAtTheCursor) {
    ConMoveCursor(3, 2);
    ConWriteText("hello");
    EXPECT_EQ(ReadCells(0, 2, 10), "   hello  ");
    EXPECT_EQ(Cursor().X, 8);
    EXPECT_EQ(Cursor().Y, 2);

    ConWriteText("");
    EXPECT_EQ(Cursor().X, 8);

    ConWriteText("ab\0cd");  // stops before the zero byte
    EXPECT_EQ(ReadCells(8, 2, 4), "ab  ");
}

TEST_F(ConsoleTest, WriteTextProcessesControlCharacters) {
    // The tab writes blanks up to column 8, over "wo"; the backspace moves back over the x.
    ConWriteText("one\r\ntwo\rT\tx\b!");
    EXPECT_EQ(ReadCells(0, 0, 4), "one ");
    EXPECT_EQ(ReadCells(0, 1, 10), "T       ! ");
    EXPECT_EQ(Cursor().X, 9);
    EXPECT_EQ(Cursor().Y, 1);
}

TEST_F(ConsoleTest, WriteCharWritesEveryByteIncludingZero) {
    ConWriteChar('A');
    ConWriteChar('\0');
    ConWriteChar('\x9e');
    ConWriteChar('\x01');
    EXPECT_EQ(ReadCells(0, 0, 5), std::string("A\0\x9e\x01 ", 5));
    EXPECT_EQ(Cursor().X, 4);
}

TEST_F(ConsoleTest, NewLineGoesToTheStartOfTheNextRow) {
    ConWriteText("abc");
    ConNewLine();
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 1);
    EXPECT_EQ(ReadCells(0, 0, 4), "abc ");
}

TEST_F(ConsoleTest, TextWrapsAndScrollsAtTheBottom) {
    ConMoveCursor(78, 39);
    ConWriteText("wxyz");
    EXPECT_EQ(ReadCells(78, 38, 2), "wx");  // the buffer moved up one row
    EXPECT_EQ(ReadCells(0, 39, 3), "yz ");
    EXPECT_EQ(Cursor().X, 2);
    EXPECT_EQ(Cursor().Y, 39);
}

struct OutputCase {
    const char* name;
    SHORT x, y;          // where the cursor starts
    const char* first;   // written with one call
    const char* second;  // then this one, when not null
    SHORT row;           // the row checked, from column 70
    const char* cells;
    SHORT cursorX, cursorY;
};

// Processed output at the edges of a row, on cells filled with '.': a glyph in the last
// column leaves the move to the next row to what follows it in the same write, or to the end
// of that write.
TEST_F(ConsoleTest, WriteTextAtTheEndOfARow) {
    const OutputCase cases[] = {
        {"last column", 79, 1, "A", nullptr, 1, ".........A", 0, 2},
        {"a glyph after it goes to the next row", 78, 1, "xyz", nullptr, 2, "..........", 1, 2},
        {"CR LF after it ends that row", 78, 1, "xy\r\nz", nullptr, 2, "..........", 1, 2},
        {"CR after it stays on the row", 78, 1, "xy\rZ", nullptr, 1, "........xy", 1, 1},
        {"BS after it steps back on the row", 78, 1, "xy\b\bQ", nullptr, 1, ".......Qxy", 78, 1},
        {"BS in a later write stays at column 0", 79, 1, "A", "\bB", 1, ".........A", 1, 2},
        {"tab in the last columns blanks them", 78, 1, "\tX", nullptr, 1, "........  ", 1, 2},
        {"tab from the 9th last column", 72, 1, "\tX", nullptr, 1, "..        ", 1, 2},
        {"tab after it blanks the next row", 78, 1, "xy\t", nullptr, 2, "..........", 8, 2},
        {"last cell of the buffer", 79, 39, "A", nullptr, 38, ".........A", 0, 39},
        {"last cell, then BS: no scroll", 79, 39, "A\bB", nullptr, 39, "........BA", 79, 39},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        FillCells('.', 0x07);
        ConMoveCursor(static_cast<std::uint8_t>(c.x), static_cast<std::uint8_t>(c.y));
        ConWriteText(c.first);
        if (c.second != nullptr) ConWriteText(c.second);
        EXPECT_EQ(ReadCells(70, c.row, 10), c.cells);
        EXPECT_EQ(Cursor().X, c.cursorX);
        EXPECT_EQ(Cursor().Y, c.cursorY);
    }
    // Where the next row was checked, it starts with what went there.
    FillCells('.', 0x07);
    ConMoveCursor(78, 1);
    ConWriteText("xy\t!");
    EXPECT_EQ(ReadCells(0, 2, 10), "        !.");
}

TEST_F(ConsoleTest, ControlBytesOtherThanTheFiveActingOnesAreGlyphs) {
    FillCells('.', 0x07);
    ConMoveCursor(3, 1);
    ConWriteText(
        "a\x1b\v\f\x7f\a\x01"
        "b");  // the bell writes nothing
    EXPECT_EQ(ReadCells(0, 1, 12),
              "...a\x1b\v\f\x7f\x01"
              "b..");
    EXPECT_EQ(Cursor().X, 10);
}

TEST_F(ConsoleTest, CellCallsOutsideTheBufferDoNothingAndSucceed) {
    FillCells('.', 0x07);
    const COORD outside[] = {{80, 0}, {0, 40}, {-1, 0}, {0, -1}};
    for (const COORD at : outside) {
        SCOPED_TRACE(testing::Message() << at.X << "," << at.Y);
        DWORD count = 99;
        EXPECT_TRUE(win::WriteConsoleOutputCharacterA(Output(), "abc", 3, at, &count));
        EXPECT_EQ(count, 0u);
        const WORD attributes[3] = {0x1E, 0x1E, 0x1E};
        count = 99;
        EXPECT_TRUE(win::WriteConsoleOutputAttribute(Output(), attributes, 3, at, &count));
        EXPECT_EQ(count, 0u);
        char chars[3] = {};
        count = 99;
        EXPECT_TRUE(win::ReadConsoleOutputCharacterA(Output(), chars, 3, at, &count));
        EXPECT_EQ(count, 0u);
        WORD read[3] = {};
        count = 99;
        EXPECT_TRUE(win::ReadConsoleOutputAttribute(Output(), read, 3, at, &count));
        EXPECT_EQ(count, 0u);
    }
    // A run that starts inside stops at the end of the buffer.
    DWORD count = 0;
    EXPECT_TRUE(win::WriteConsoleOutputCharacterA(Output(), "abcdef", 6, COORD{77, 39}, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(ReadCells(75, 39, 5), "..abc");
    EXPECT_EQ(ReadCells(0, 0, 3), "...");
}

struct ClearCase {
    SHORT columns;
    SHORT rows;
};

TEST_F(ConsoleTest, ClearBlanksEveryRowAndHomesTheCursor) {
    // The window's size, taller than the window, and wider than the 512 columns a clear covers.
    const ClearCase cases[] = {{80, 40}, {80, 300}, {100, 60}, {600, 50}, {512, 40}};
    for (const ClearCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows);
        UseBuffer(c.columns, c.rows);
        FillCells('#', 0x4E);
        ConMoveCursor(7, 9);
        ConClearScreen();

        const int cleared = c.columns < 512 ? c.columns : 512;
        for (int y = 0; y < c.rows; ++y) {
            ASSERT_EQ(ReadCells(0, y, cleared), std::string(static_cast<std::size_t>(cleared), ' '))
                << "row " << y;
            ASSERT_EQ(ReadAttributes(0, y, cleared),
                      std::vector<WORD>(static_cast<std::size_t>(cleared), 0x07))
                << "row " << y;
            if (c.columns > 512) {
                // Columns from 512 on keep their characters and attributes.
                const int kept = c.columns - 512;
                ASSERT_EQ(ReadCells(512, y, kept),
                          std::string(static_cast<std::size_t>(kept), '#'));
                ASSERT_EQ(ReadAttributes(512, y, kept),
                          std::vector<WORD>(static_cast<std::size_t>(kept), 0x4E));
            }
        }
        EXPECT_EQ(Cursor().X, 0);
        EXPECT_EQ(Cursor().Y, 0);
    }
}

TEST_F(ConsoleTest, ClearUsesTheCurrentAttribute) {
    FillCells('#', 0x07);
    win::SetConsoleTextAttribute(Output(), 0x1E);
    ConClearScreen();
    EXPECT_EQ(ReadAttributes(0, 0, 80), std::vector<WORD>(80, 0x1E));
    EXPECT_EQ(ReadAttributes(0, 39, 80), std::vector<WORD>(80, 0x1E));
    EXPECT_EQ(ReadCells(0, 39, 80), std::string(80, ' '));
}

TEST_F(ConsoleTest, BufferIsNeverSmallerThanTheWindow) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(win::GetConsoleScreenBufferInfo(Output(), &info));
    const auto width = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
    const auto height = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
    ASSERT_EQ(width, 80);  // the test's console: 80 by 40 cells
    ASSERT_EQ(height, 40);
    const COORD refused[] = {{79, 40}, {80, 39}, {40, 300}, {600, 20}, {0, 0}};
    for (const COORD size : refused) {
        win::SetLastError(0);
        EXPECT_FALSE(win::SetConsoleScreenBufferSize(Output(), size)) << size.X << "x" << size.Y;
        EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(BufferSize().X, 80);
    EXPECT_EQ(BufferSize().Y, 40);
    // Larger is fine; the window keeps its size.
    ASSERT_TRUE(win::SetConsoleScreenBufferSize(Output(), COORD{81, 41}));
    ASSERT_TRUE(win::GetConsoleScreenBufferInfo(Output(), &info));
    EXPECT_EQ(info.srWindow.Right - info.srWindow.Left + 1, 80);
    EXPECT_EQ(info.srWindow.Bottom - info.srWindow.Top + 1, 40);
}

TEST_F(ConsoleTest, MoveCursorReachesTheCornersOfItsRange) {
    UseBuffer(300, 300);
    ConMoveCursor(0, 0);
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 0);
    ConMoveCursor(255, 255);
    EXPECT_EQ(Cursor().X, 255);
    EXPECT_EQ(Cursor().Y, 255);
    ConWriteChar('+');
    EXPECT_EQ(ReadCells(255, 255, 1), "+");
}

TEST_F(ConsoleTest, MoveOutsideTheBufferIsRefusedWithoutNotice) {
    ConMoveCursor(5, 6);
    ConMoveCursor(80, 0);
    EXPECT_EQ(Cursor().X, 5);
    EXPECT_EQ(Cursor().Y, 6);
    ConMoveCursor(0, 40);
    EXPECT_EQ(Cursor().X, 5);
    EXPECT_EQ(Cursor().Y, 6);
}

}  // namespace
}  // namespace conlib
