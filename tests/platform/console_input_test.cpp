// The console's input calls on a console with injected key events: the queue, line reads
// with echo and editing, and reads without line input.
#include <gtest/gtest.h>

#include <string>

#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

std::string Read(DWORD count) {
    std::string text(count, '\0');
    DWORD read = 0;
    win::ReadConsoleA(Input(), text.data(), count, &read, nullptr);
    text.resize(read);
    return text;
}

class ConsoleInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win::FlushConsoleInputBuffer(Input());
        win::SetConsoleMode(Input(),
                            ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
        FillCells(' ');
        win::SetConsoleCursorPosition(Output(), COORD{0, 0});
    }
};

TEST_F(ConsoleInputTest, EventsComeOutInTheOrderTheyWentIn) {
    Type("ab");
    DWORD count = 0;
    ASSERT_TRUE(win::GetNumberOfConsoleInputEvents(Input(), &count));
    EXPECT_EQ(count, 4u);
    INPUT_RECORD records[4] = {};
    ASSERT_TRUE(win::PeekConsoleInputA(Input(), records, 1, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 'a');
    ASSERT_TRUE(win::ReadConsoleInputA(Input(), records, 4, &count));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(records[2].Event.KeyEvent.uChar.AsciiChar, 'b');
    EXPECT_TRUE(records[2].Event.KeyEvent.bKeyDown);
    EXPECT_FALSE(records[3].Event.KeyEvent.bKeyDown);
}

TEST_F(ConsoleInputTest, FlushDiscardsEverythingPending) {
    Type("abc");
    ASSERT_TRUE(win::FlushConsoleInputBuffer(Input()));
    DWORD count = 1;
    INPUT_RECORD record{};
    ASSERT_TRUE(win::PeekConsoleInputA(Input(), &record, 1, &count));
    EXPECT_EQ(count, 0u);
}

TEST_F(ConsoleInputTest, LineReadEchoesEditsAndEndsWithCrLf) {
    Type("helo\bp\r");
    EXPECT_EQ(Read(100), "help\r\n");
    EXPECT_EQ(ReadCells(0, 0, 6), "help  ");  // the erased o is blanked on the screen
    EXPECT_EQ(Cursor().X, 0);                 // Enter moved the cursor to the next line
    EXPECT_EQ(Cursor().Y, 1);
}

struct EchoCase {
    const char* name;
    SHORT x;            // where the line starts, on row 1
    std::string typed;  // '\b' is Backspace, '\r' Enter
    std::string read;
    SHORT row;  // the row checked, from column x
    std::string cells;
};

// The echo of a line read: a control character (a line feed and a tab included) is a
// character of the line, shown as ^ and its letter in two cells, both of which Backspace takes
// back; Backspace goes back across the start of a row.
TEST_F(ConsoleInputTest, LineReadEchoOfControlCharactersAndWrappedLines) {
    const EchoCase cases[] = {
        {"control character", 0,
         "a\x01"
         "b\r",
         "a\x01"
         "b\r\n",
         1, "a^Ab  "},
        {"tab", 0, "a\tb\r", "a\tb\r\n", 1, "a^Ib  "},
        {"line feed", 0, "ab\nc\r", "ab\nc\r\n", 1, "ab^Jc  "},
        {"backspace over a control character", 0, "a\x01\bb\r", "ab\r\n", 1, "ab    "},
        {"a line that wraps", 77, "abcde\r", "abcde\r\n", 1, "abc"},
        {"its second row", 77, "abcde\r", "abcde\r\n", 2, "de  "},
        {"backspace back across the row start", 77, "abcd\b\b\bX\r", "aX\r\n", 1, "aX "},
    };
    for (const EchoCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        win::SetConsoleCursorPosition(Output(), COORD{c.x, 1});
        Type(c.typed);
        EXPECT_EQ(Read(100), c.read);
        const int x = c.row == 1 ? c.x : 0;
        EXPECT_EQ(ReadCells(x, c.row, static_cast<int>(c.cells.size())), c.cells);
    }
}

TEST_F(ConsoleInputTest, WhatTheCountDoesNotTakeStaysForTheNextRead) {
    Type("abcdef\rxy\r");
    EXPECT_EQ(Read(4), "abcd");
    EXPECT_EQ(Read(3), "ef\r");
    EXPECT_EQ(Read(1), "\n");
    EXPECT_EQ(Read(10), "xy\r\n");
}

TEST_F(ConsoleInputTest, WithoutLineInputCharactersComeAsTyped) {
    win::SetConsoleMode(Input(), 0);
    Type("xyz");
    EXPECT_EQ(Read(2), "xy");
    EXPECT_EQ(Read(5), "z");
    EXPECT_EQ(ReadCells(0, 0, 3), "   ");  // no echo without line input
}

TEST_F(ConsoleInputTest, ModeIsKept) {
    DWORD mode = 0;
    win::SetConsoleMode(Input(), ENABLE_PROCESSED_INPUT);
    ASSERT_TRUE(win::GetConsoleMode(Input(), &mode));
    EXPECT_EQ(mode, ENABLE_PROCESSED_INPUT);
}

}  // namespace
}  // namespace conlib
