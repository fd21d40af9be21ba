// The number writers' texts, read back from the console's cells.
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "conlib/console.hpp"
#include "console/session.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

struct Case {
    const char* what;
    void (*write)();
    const char* expected;
};

// Runs each case on a cleared screen: its text stands at the start of row 0, nothing after
// it, and the cursor right behind it on the same row.
void ExpectTexts(const Case* cases, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        ConClearScreen();
        c.write();
        const auto length = static_cast<int>(std::strlen(c.expected));
        EXPECT_EQ(ReadCells(0, 0, length + 1), std::string(c.expected) + " ") << c.what;
        const COORD cursor = Cursor();
        EXPECT_EQ(cursor.X, static_cast<SHORT>(length)) << c.what;
        EXPECT_EQ(cursor.Y, 0) << c.what;
    }
}

TEST(NumberOutput, SingleTexts) {
    const Case cases[] = {
        {"hex 0", [] { ConWriteHex(0); }, "00000000"},
        {"hex A1B2C3D4", [] { ConWriteHex(0xA1B2C3D4u); }, "A1B2C3D4"},
        {"hex sized 1", [] { ConWriteHexSized(0x1234ABCDu, 1); }, "CD"},
        {"hex sized 2", [] { ConWriteHexSized(0x1234ABCDu, 2); }, "ABCD"},
        {"hex sized 3", [] { ConWriteHexSized(0x1234ABCDu, 3); }, "1234ABCD"},
        {"hex sized 0", [] { ConWriteHexSized(0x1234ABCDu, 0); }, "1234ABCD"},
        {"hex sized 4", [] { ConWriteHexSized(0x1234ABCDu, 4); }, "1234ABCD"},
        {"hex sized 0xFFFFFFFF", [] { ConWriteHexSized(0x1234ABCDu, 0xFFFFFFFFu); }, "1234ABCD"},
        {"hex sized 1F, 2", [] { ConWriteHexSized(0x1F, 2); }, "001F"},
        {"hex sized 0, 1", [] { ConWriteHexSized(0, 1); }, "00"},
        {"hex sized FFFFFFFF, 1", [] { ConWriteHexSized(0xFFFFFFFFu, 1); }, "FF"},
        {"binary 80000001", [] { ConWriteBinary(0x80000001u); },
         "1000 0000 0000 0000 0000 0000 0000 0001"},
        {"binary sized 5A, 1", [] { ConWriteBinarySized(0x5A, 1); }, "0101 1010"},
        {"unsigned 0", [] { ConWriteUnsigned(0); }, "0"},
        {"unsigned max", [] { ConWriteUnsigned(4294967295u); }, "4294967295"},
        {"unsigned 80000000", [] { ConWriteUnsigned(0x80000000u); }, "2147483648"},
        {"unsigned 10", [] { ConWriteUnsigned(10); }, "10"},
        {"signed 0", [] { ConWriteSigned(0); }, "+0"},
        {"signed 5", [] { ConWriteSigned(5); }, "+5"},
        {"signed -5", [] { ConWriteSigned(-5); }, "-5"},
        {"signed max", [] { ConWriteSigned(2147483647); }, "+2147483647"},
        {"signed min", [] { ConWriteSigned(-2147483647 - 1); }, "-2147483648"},
        {"signed -1000000000", [] { ConWriteSigned(-1000000000); }, "-1000000000"},
        {"hex pair 0A", [] { ConWriteHexPair(0x0A); }, "0A"},
        {"hex pair F0", [] { ConWriteHexPair(0xF0); }, "F0"},
        {"hex pair 00", [] { ConWriteHexPair(0x00); }, "00"},
    };
    ExpectTexts(cases, std::size(cases));
}

// Texts written one after the other stand side by side, and a shorter text after a longer one
// shows nothing that the longer one left in the buffers.
TEST(NumberOutput, SideBySide) {
    const Case cases[] = {
        {"hex",
         [] {
             ConWriteHex(0);
             ConWriteHex(0xA1B2C3D4u);
         },
         "00000000A1B2C3D4"},
        {"hex sized, long then short",
         [] {
             ConWriteHexSized(0xFFFFFFFFu, 4);
             ConWriteHexSized(0x1F, 2);
             ConWriteHexSized(0x1234ABCDu, 1);
         },
         "FFFFFFFF001FCD"},
        {"binary, long then short",
         [] {
             ConWriteBinary(0xFFFFFFFFu);
             ConWriteBinarySized(0x12345678u, 1);
         },
         "1111 1111 1111 1111 1111 1111 1111 11110111 1000"},
        {"unsigned, long then short",
         [] {
             ConWriteUnsigned(1234567890u);
             ConWriteUnsigned(7);
         },
         "12345678907"},
        {"unsigned, three",
         [] {
             ConWriteUnsigned(0);
             ConWriteUnsigned(4294967295u);
             ConWriteUnsigned(0x80000000u);
         },
         "042949672952147483648"},
        {"signed, limits",
         [] {
             ConWriteSigned(2147483647);
             ConWriteSigned(-2147483647 - 1);
             ConWriteSigned(0);
         },
         "+2147483647-2147483648+0"},
        {"signed, small",
         [] {
             ConWriteSigned(5);
             ConWriteSigned(-5);
         },
         "+5-5"},
        {"hex pair and the scratch text's other users",
         [] {
             ConWriteBinarySized(0xFFFF, 2);
             ConWriteHexPair(0x0A);
             ConWriteChar('x');
             ConWriteHexPair(0xF0);
         },
         "1111 1111 1111 11110AxF0"},
    };
    ExpectTexts(cases, std::size(cases));
}

TEST(NumberOutput, BinaryGroupsForEverySize) {
    const Case cases[] = {
        {"size 1", [] { ConWriteBinarySized(0x12345678u, 1); }, "0111 1000"},
        {"size 2", [] { ConWriteBinarySized(0x12345678u, 2); }, "0101 0110 0111 1000"},
        {"size 4", [] { ConWriteBinarySized(0x12345678u, 4); },
         "0001 0010 0011 0100 0101 0110 0111 1000"},
        {"size 3", [] { ConWriteBinarySized(0x80000001u, 3); },
         "1000 0000 0000 0000 0000 0000 0000 0001"},
        {"size 0", [] { ConWriteBinarySized(0x80000001u, 0); },
         "1000 0000 0000 0000 0000 0000 0000 0001"},
        {"size 8", [] { ConWriteBinarySized(0x12345678u, 8); },
         "0001 0010 0011 0100 0101 0110 0111 1000"},
        {"size 2 of 1", [] { ConWriteBinarySized(1, 2); }, "0000 0000 0000 0001"},
        {"size 2, upper bits dropped", [] { ConWriteBinarySized(0xFFFF8001u, 2); },
         "1000 0000 0000 0001"},
        {"size 1 of 80", [] { ConWriteBinarySized(0x80, 1); }, "1000 0000"},
    };
    ExpectTexts(cases, std::size(cases));
}

// Each writer hands its whole text to the console in one write: the count that the last
// console write reported is the length of the whole text.
TEST(NumberOutput, OneWritePerText) {
    const Case cases[] = {
        {"hex", [] { ConWriteHex(0xA1B2C3D4u); }, "A1B2C3D4"},
        {"hex sized", [] { ConWriteHexSized(0x1F, 2); }, "001F"},
        {"binary", [] { ConWriteBinary(0x80000001u); }, "1000 0000 0000 0000 0000 0000 0000 0001"},
        {"unsigned", [] { ConWriteUnsigned(4294967295u); }, "4294967295"},
        {"signed", [] { ConWriteSigned(-2147483647 - 1); }, "-2147483648"},
        {"hex pair", [] { ConWriteHexPair(0xF0); }, "F0"},
    };
    for (const Case& c : cases) {
        ConClearScreen();
        detail::ConsoleSession.charactersWritten = 0;
        c.write();
        EXPECT_EQ(detail::ConsoleSession.charactersWritten, std::strlen(c.expected)) << c.what;
    }
}

TEST(HexDigitChar, MapsTheLowFourBits) {
    const char digits[] = "0123456789ABCDEF";
    for (std::uint32_t value = 0; value < 16; ++value) {
        EXPECT_EQ(HexDigitChar(value), digits[value]) << value;
        // Values above 15 use their low four bits instead of reading past the table.
        EXPECT_EQ(HexDigitChar(value + 0x10), digits[value]) << value;
        EXPECT_EQ(HexDigitChar(value | 0xFFFFFFF0u), digits[value]) << value;
    }
}

}  // namespace
}  // namespace conlib
