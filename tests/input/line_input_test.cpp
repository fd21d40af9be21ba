// Line input and the number readers. Typed keys are written into the console's input queue,
// each line ended with Enter; the console's echo is read back from the screen cells. Only
// console calls that every console offers are used.
#include "conlib/input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "conlib/console.hpp"
#include "files/transfer_count.hpp"
#include "input/line_input.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

// A line of `length` characters: the digits 0 to 9 over and over.
std::string DigitRun(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += static_cast<char>('0' + i % 10);
    return text;
}

// Each test starts with an empty input queue, a blank screen and the console's usual input
// mode (line input, echo, processed input), which it finds again at its end.
class LineInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetConsole();
        savedMode_ = InputMode();
        win::SetConsoleMode(Input(), UsualMode);
    }
    void TearDown() override {
        EXPECT_EQ(InputMode(), UsualMode);
        win::SetConsoleMode(Input(), savedMode_);
    }

    static constexpr DWORD UsualMode = 0x1F7;

  private:
    DWORD savedMode_ = 0;
};

TEST_F(LineInputTest, LineIsEchoedAndHandedOverWithoutItsLineEnd) {
    TypeLine("hello");
    char buffer[32];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 5u);
    EXPECT_EQ(detail::TransferCount, 5u);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(ReadCells(0, 0, 8), "hello   ");
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 1);
}

TEST_F(LineInputTest, BackspaceEditsTheLine) {
    TypeLine("12x\b3");  // '\b' is Backspace

    char buffer[32];
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "123");
    EXPECT_EQ(ReadCells(0, 0, 6), "123   ");
}

TEST_F(LineInputTest, EnterAloneGivesAnEmptyText) {
    TypeLine("");
    char buffer[8];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

// Types `keys`, as EditStrokes takes them.
void TypeKeys(const std::string& keys) {
    if (!keys.empty()) Inject(EditStrokes(keys));
}

struct EditCase {
    const char* name;
    SHORT x, y;        // where the line starts
    const char* keys;  // as TypeKeys takes them, then Enter
    std::string read;
    SHORT row;          // the row checked, from column x on the line's first row
    std::string cells;  // what it shows after Enter
};

// The echo of the line editing keys (the edits themselves are the line editor's own test):
// characters removed leave blanks, a control character in the line is redrawn with it, and a
// line across a row wrap or on the last row is redrawn where it stands, once Enter has moved
// the cursor below the line's end, whatever the edit point was.
TEST_F(LineInputTest, EchoOfEditingKeys) {
    const EditCase cases[] = {
        {"the cells of characters removed after and before are blanked", 0, 1,
         "abcdef{L}{L}{e}{L}{h}", "d", 1, "d      "},
        {"a control character moved on by an insert", 0, 1, "a\x01z{L}{L}X", "aX\x01z", 1,
         "aX^Az "},
        {"delete of a control character frees two cells", 0, 1, "a\x01z{H}{R}{D}", "az", 1,
         "az   "},
        {"insert across a row wrap", 75, 1, "abcdefgh{H}XY", "XYabcdefgh", 2, "defgh "},
        {"its first row", 75, 1, "abcdefgh{H}XY", "XYabcdefgh", 1, "XYabc"},
        {"delete across a row wrap", 75, 1, "abcdefgh{H}{D}{D}", "cdefgh", 2, "h    "},
        {"its first row", 75, 1, "abcdefgh{H}{D}{D}", "cdefgh", 1, "cdefg"},
        {"edit point back across a row wrap", 75, 1, "abcdefgh{L}{L}{L}{L}X", "abcdXefgh", 1,
         "abcdX"},
        {"its second row", 75, 1, "abcdefgh{L}{L}{L}{L}X", "abcdXefgh", 2, "efgh "},
        // The echo scrolls the screen; Enter scrolls it once more.
        {"insert on the last row", 75, 39, "abcdefgh{H}XY", "XYabcdefgh", 38, "defgh "},
        {"its first row", 75, 39, "abcdefgh{H}XY", "XYabcdefgh", 37, "XYabc"},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetConsole();
        win::SetConsoleCursorPosition(Output(), COORD{c.x, c.y});
        TypeKeys(c.keys);
        TypeLine("");
        char buffer[64];
        EXPECT_EQ(ConReadLine(buffer, sizeof buffer), c.read.size());
        EXPECT_EQ(std::string(buffer), c.read);
        const SHORT wrapped = c.x + static_cast<SHORT>(c.read.size()) > 80 ? 1 : 0;
        const SHORT lastRow = c.y == 39 ? 38 : static_cast<SHORT>(c.y + wrapped);
        EXPECT_EQ(Cursor().X, 0);
        EXPECT_EQ(Cursor().Y, lastRow + 1);
        const int x = c.row == lastRow - wrapped ? c.x : 0;
        EXPECT_EQ(ReadCells(x, c.row, static_cast<int>(c.cells.size())), c.cells);
    }
}

// A line that fills its last row exactly: typing its last character on the bottom row does not
// scroll yet; Enter then scrolls once. Above the bottom row the cursor moves on to the next row
// with the last character, and Enter leaves that row empty.
TEST_F(LineInputTest, LineFillingItsRowExactly) {
    struct {
        const char* name;
        SHORT y;            // the row the line starts on, in column 0
        std::size_t count;  // characters typed, DigitRun(count)
        const char* keys;   // then these, then Enter
        SHORT textRow;      // the line's first row afterwards
        SHORT cursorRow;    // the cursor's row afterwards, in column 0
    } const cases[] = {
        {"on the bottom row", 39, 80, "", 38, 39},
        {"one character more on the bottom row", 39, 81, "", 37, 39},
        {"above the bottom row", 10, 80, "", 10, 12},
        {"above the bottom row, moved to the end", 10, 80, "{L}{R}", 10, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetConsole();
        win::SetConsoleCursorPosition(Output(), COORD{0, c.y});
        const std::string text = DigitRun(c.count);
        Type(text);
        TypeKeys(c.keys);
        TypeLine("");
        char buffer[128];
        EXPECT_EQ(ConReadLine(buffer, sizeof buffer), c.count);
        EXPECT_EQ(ReadCells(0, c.textRow, 80), text.substr(0, 80));
        EXPECT_EQ(
            ReadCells(0, c.textRow + 1, 80),
            (text.substr(std::min<std::size_t>(80, c.count)) + std::string(80, ' ')).substr(0, 80));
        EXPECT_EQ(Cursor().X, 0);
        EXPECT_EQ(Cursor().Y, c.cursorRow);
    }
}

// A line recalled with Up or Down is drawn over the one shown, leaving no cells of a longer one.
TEST_F(LineInputTest, RecalledLineIsDrawnOverTheLineShown) {
    TypeLine("abcdef");
    TypeLine("z");
    TypeKeys("xy{U}{U}{N}");
    TypeLine("");
    char buffer[64];
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 6u);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 1u);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "z");
    EXPECT_EQ(ReadCells(0, 2, 10), "z         ");
}

struct CutCase {
    std::uint32_t capacity;
    std::size_t length;  // of the typed line, DigitRun(length)
    std::uint32_t kept;
};

// A line cut to the buffer: the rest, line end included, is thrown away, so the next read
// takes the line typed after it.
TEST_F(LineInputTest, LinesAreCutToTheBufferAndTheirRestThrownAway) {
    const CutCase cases[] = {
        {1, 0, 0}, {1, 1, 0}, {1, 5, 0}, {2, 0, 0},    {2, 1, 1},    {2, 2, 1},    {2, 9, 1},
        {8, 6, 6}, {8, 7, 7}, {8, 8, 7}, {80, 78, 78}, {80, 79, 79}, {80, 80, 79}, {80, 100, 79},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE("capacity " + std::to_string(c.capacity) + ", line of " +
                     std::to_string(c.length));
        TypeLine(DigitRun(c.length));
        TypeLine("next");
        char buffer[128];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(ConReadLine(buffer, c.capacity), c.kept);
        EXPECT_EQ(std::string(buffer), DigitRun(c.kept));
        EXPECT_EQ(buffer[c.capacity], 'X');
        EXPECT_EQ(InputMode(), UsualMode);

        EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 4u);
        EXPECT_STREQ(buffer, "next");
    }
}

// The number readers keep 79 characters of a line: the digit in column 80 and beyond is cut.
TEST_F(LineInputTest, ReadersKeepSeventyNineCharacters) {
    struct Case {
        std::string line;
        std::uint32_t value;
    };
    const Case cases[] = {
        {std::string(77, ' ') + "12", 12},
        {std::string(78, ' ') + "12", 1},
        {std::string(78, ' ') + "1234567890123456789012", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("line of " + std::to_string(c.line.size()));
        TypeLine(c.line);
        TypeLine("7");
        Result<std::uint32_t> got = ConReadUnsigned();
        EXPECT_EQ(got.value, c.value);
        EXPECT_TRUE(got.ok);
        got = ConReadUnsigned();
        EXPECT_EQ(got.value, 7u);
        EXPECT_TRUE(got.ok);
    }
}

// With line input off the console hands over characters as they come, without a line end:
// ConReadLine keeps them, and there is no line whose rest it could throw away.
TEST_F(LineInputTest, WithoutLineInputCharactersAreTakenAsTheyCome) {
    win::SetConsoleMode(Input(), ENABLE_PROCESSED_INPUT);
    Type("abcde");
    char buffer[8];
    EXPECT_EQ(ConReadLine(buffer, 3), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 2u);
    EXPECT_STREQ(buffer, "de");
    EXPECT_EQ(InputMode(), ENABLE_PROCESSED_INPUT);
    win::SetConsoleMode(Input(), UsualMode);
}

enum class Reader { Unsigned, Signed, Hex };

struct ReaderCase {
    Reader reader;
    const char* line;
    std::uint32_t value;  // the signed readers' values as their 32 bits
    bool ok;
};

TEST_F(LineInputTest, ReadersOnTypedLines) {
    const ReaderCase cases[] = {
        {Reader::Unsigned, "123", 123, true},
        {Reader::Unsigned, "  4294967295  ", 4294967295u, true},
        {Reader::Unsigned, "4294967296", 0, false},
        {Reader::Unsigned, "", 0, false},
        {Reader::Unsigned, "   ", 0, false},
        {Reader::Signed, "-17", static_cast<std::uint32_t>(-17), true},
        {Reader::Signed, "+2147483647", 2147483647u, true},
        {Reader::Signed, "", 0, true},
        {Reader::Hex, "1a2B", 0x1A2B, true},
        {Reader::Hex, "  ff", 0xFF, true},
        {Reader::Hex, "\tDEADbeef", 0xDEADBEEF, true},
        {Reader::Hex, "123456789", 0x23456789, true},
        // A character that is no hexadecimal digit ends the number.
        {Reader::Hex, "ff  ", 0xFF, true},
        {Reader::Hex, "12g4", 0x12, true},
        {Reader::Hex, "7@", 7, true},
        {Reader::Hex, "0x1F", 0, true},
        {Reader::Hex, "g", 0, false},
        {Reader::Hex, ":", 0, false},
        {Reader::Hex, "    ", 0, false},
        {Reader::Hex, "", 0, false},
    };
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.line + "\"");
        ConClearScreen();
        TypeLine(c.line);
        Result<std::uint32_t> got{};
        switch (c.reader) {
            case Reader::Unsigned:
                got = ConReadUnsigned();
                break;
            case Reader::Signed: {
                const Result<std::int32_t> value = ConReadSigned();
                got = {static_cast<std::uint32_t>(value.value), value.ok};
                break;
            }
            case Reader::Hex:
                got = ConReadHex();
                break;
        }
        EXPECT_EQ(got.value, c.value);
        EXPECT_EQ(got.ok, c.ok);
        // The echo is all there is on the screen: the readers write nothing of their own.
        EXPECT_EQ(ReadCells(0, 1, 80), std::string(80, ' '));
    }
}

TEST_F(LineInputTest, SignedReaderShowsTheParserMessagesBelowTheLine) {
    TypeLine("x");
    Result<std::int32_t> got = ConReadSigned();
    EXPECT_EQ(got.value, 0);
    EXPECT_FALSE(got.ok);
    TypeLine("-2147483649");
    got = ConReadSigned();
    EXPECT_EQ(got.value, 0);
    EXPECT_FALSE(got.ok);

    EXPECT_EQ(ReadCells(0, 0, 4), "x   ");
    EXPECT_EQ(ReadCells(0, 1, 20), " <invalid integer>  ");
    EXPECT_EQ(ReadCells(0, 2, 13), "-2147483649  ");
    EXPECT_EQ(ReadCells(0, 3, 28), " <32-bit integer overflow>  ");
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 4);
}

// The conversion on its own, for every character behind a first digit: hexadecimal digits of
// either case go on the number, every other character ends it.
TEST(ConvertHexText, EveryCharacterAfterADigit) {
    for (int code = 0; code < 256; ++code) {
        const char text[] = {'1', static_cast<char>(code)};
        std::uint32_t value = 1;
        if (code >= '0' && code <= '9') value = 0x10 + static_cast<std::uint32_t>(code - '0');
        if (code >= 'A' && code <= 'F') value = 0x1A + static_cast<std::uint32_t>(code - 'A');
        if (code >= 'a' && code <= 'f') value = 0x1A + static_cast<std::uint32_t>(code - 'a');
        const Result<std::uint32_t> got = detail::ConvertHexText(text, 2);
        EXPECT_EQ(got.value, value) << "code " << code;
        EXPECT_TRUE(got.ok) << "code " << code;
    }
}

TEST(ConvertHexText, ReadsNoMoreThanItsCount) {
    EXPECT_EQ(detail::ConvertHexText("12345", 3).value, 0x123u);
    const Result<std::uint32_t> blanks = detail::ConvertHexText("  5", 2);
    EXPECT_EQ(blanks.value, 0u);
    EXPECT_FALSE(blanks.ok);
}

}  // namespace
}  // namespace conlib
