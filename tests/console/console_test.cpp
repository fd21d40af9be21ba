// Console session, text output and cursor, through the public operations; cells are read back
// with the console's own calls, so the same tests run against any console.
#include "conlib/console.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win.hpp"

namespace conlib {
namespace {

using namespace win;

HANDLE Output() {
    return win::GetStdHandle(STD_OUTPUT_HANDLE);
}

std::string ReadCells(int x, int y, int count) {
    std::string text(static_cast<std::size_t>(count), '\0');
    DWORD read = 0;
    win::ReadConsoleOutputCharacterA(Output(), text.data(), static_cast<DWORD>(count),
                                     COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &read);
    text.resize(read);
    return text;
}

std::vector<WORD> ReadAttributes(int x, int y, int count) {
    std::vector<WORD> attributes(static_cast<std::size_t>(count));
    DWORD read = 0;
    win::ReadConsoleOutputAttribute(Output(), attributes.data(), static_cast<DWORD>(count),
                                    COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &read);
    attributes.resize(read);
    return attributes;
}

COORD Cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    win::GetConsoleScreenBufferInfo(Output(), &info);
    return info.dwCursorPosition;
}

COORD BufferSize() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    win::GetConsoleScreenBufferInfo(Output(), &info);
    return info.dwSize;
}

void FillCells(char ch, WORD attribute) {
    const COORD size = BufferSize();
    const std::string row(static_cast<std::size_t>(size.X), ch);
    const std::vector<WORD> attributes(static_cast<std::size_t>(size.X), attribute);
    for (SHORT y = 0; y < size.Y; ++y) {
        DWORD written = 0;
        win::WriteConsoleOutputCharacterA(Output(), row.data(), static_cast<DWORD>(size.X),
                                          COORD{0, y}, &written);
        win::WriteConsoleOutputAttribute(Output(), attributes.data(), static_cast<DWORD>(size.X),
                                         COORD{0, y}, &written);
    }
}

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

struct ClearCase {
    SHORT columns;
    SHORT rows;
};

TEST_F(ConsoleTest, ClearBlanksEveryRowAndHomesTheCursor) {
    // Narrow, taller than any window, and wider than the 512 columns a clear covers.
    const ClearCase cases[] = {{80, 40}, {80, 300}, {40, 60}, {600, 50}, {512, 40}};
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
