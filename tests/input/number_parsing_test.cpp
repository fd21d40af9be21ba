// Decimal parsing. The messages of ParseSigned are read back from the console's cells.
#include "conlib/input.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "conlib/console.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

// Stands for the length of the whole text in the tables.
constexpr std::uint32_t Whole = 0xFFFFFFFFu;

std::uint32_t LengthFor(const char* text, std::uint32_t length) {
    return length == Whole ? static_cast<std::uint32_t>(std::strlen(text)) : length;
}

TEST(IsDecimalDigit, OnlyTheTenDigits) {
    for (int code = 0; code < 256; ++code) {
        const bool digit = code >= '0' && code <= '9';
        EXPECT_EQ(IsDecimalDigit(static_cast<char>(code)), digit) << "code " << code;
    }
}

struct UnsignedCase {
    const char* text;
    std::uint32_t length;
    std::uint32_t value;
    bool ok;
};

TEST(ParseUnsigned, Cases) {
    const UnsignedCase cases[] = {
        {"0", Whole, 0, true},
        {"4294967295", Whole, 4294967295u, true},
        {"0004294967295", Whole, 4294967295u, true},
        // The sum goes over, then the product.
        {"4294967296", Whole, 0, false},
        {"42949672950", Whole, 0, false},
        {"99999999999999999999999", Whole, 0, false},
        {" \t17x", Whole, 17, true},
        {"17 18", Whole, 17, true},
        // No digit first: 0 with success.
        {"-5", Whole, 0, true},
        {"+5", Whole, 0, true},
        {"abc", Whole, 0, true},
        {"  x", Whole, 0, true},
        // The length bounds the blanks, never the digits.
        {"12345", 3, 12345, true},
        {"12345", 1, 12345, true},
        {"  7", 2, 0, false},
        {"  7", 3, 7, true},
        {"", 0, 0, false},
        {"123", 0, 0, false},
        {" \t ", Whole, 0, false},
    };
    for (const UnsignedCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" length " + std::to_string(c.length));
        const Result<std::uint32_t> got = ParseUnsigned(c.text, LengthFor(c.text, c.length));
        EXPECT_EQ(got.value, c.value);
        EXPECT_EQ(got.ok, c.ok);
    }
}

enum class Message { None, Invalid, Overflow };

struct SignedCase {
    const char* text;
    std::uint32_t length;
    std::int32_t value;
    bool ok;
    Message message;
};

// Each case starts on a cleared screen with the cursor at column 4 of row 2: a message stands
// there and the cursor goes to the start of row 3; without one nothing is written.
TEST(ParseSigned, Cases) {
    const SignedCase cases[] = {
        {"0", Whole, 0, true, Message::None},
        {"2147483647", Whole, 2147483647, true, Message::None},
        {"-2147483648", Whole, -2147483647 - 1, true, Message::None},
        {"-0002147483648", Whole, -2147483647 - 1, true, Message::None},
        {"+42", Whole, 42, true, Message::None},
        {"-0", Whole, 0, true, Message::None},
        {"12abc", Whole, 12, true, Message::None},
        {" \t-17 ", Whole, -17, true, Message::None},
        {"2147483648", Whole, 0, false, Message::Overflow},
        {"+2147483648", Whole, 0, false, Message::Overflow},
        {"-2147483649", Whole, 0, false, Message::Overflow},
        {"-21474836480", Whole, 0, false, Message::Overflow},
        {"99999999999999999999999", Whole, 0, false, Message::Overflow},
        {"abc", Whole, 0, false, Message::Invalid},
        {"--5", Whole, 0, false, Message::Invalid},
        {"+-5", Whole, 0, false, Message::Invalid},
        {"- 5", Whole, 0, false, Message::Invalid},
        {"-", Whole, 0, false, Message::Invalid},
        {"+", Whole, 0, false, Message::Invalid},
        // Empty and blank text are no failure.
        {"", 0, 0, true, Message::None},
        {"-5", 0, 0, true, Message::None},
        {" \t ", Whole, 0, true, Message::None},
        {"  5", 2, 0, true, Message::None},
        // The sign and digits are read past the length.
        {"-5", 1, -5, true, Message::None},
        {"1234", 2, 1234, true, Message::None},
    };
    EnsureConsole();
    for (const SignedCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" length " + std::to_string(c.length));
        ConClearScreen();
        ConMoveCursor(4, 2);
        const Result<std::int32_t> got = ParseSigned(c.text, LengthFor(c.text, c.length));
        EXPECT_EQ(got.value, c.value);
        EXPECT_EQ(got.ok, c.ok);

        const COORD cursor = Cursor();
        switch (c.message) {
            case Message::None:
                EXPECT_EQ(ReadCells(0, 2, 40), std::string(40, ' '));
                EXPECT_EQ(cursor.X, 4);
                EXPECT_EQ(cursor.Y, 2);
                break;
            case Message::Invalid:
                EXPECT_EQ(ReadCells(0, 2, 30), "     <invalid integer>        ");
                EXPECT_EQ(cursor.X, 0);
                EXPECT_EQ(cursor.Y, 3);
                break;
            case Message::Overflow:
                EXPECT_EQ(ReadCells(0, 2, 34), "     <32-bit integer overflow>    ");
                EXPECT_EQ(cursor.X, 0);
                EXPECT_EQ(cursor.Y, 3);
                break;
        }
    }
}

}  // namespace
}  // namespace conlib
