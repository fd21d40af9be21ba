// String routines: ordering, copy, trimming and capitals, with bytes above 127 included.
#include <compare>
#include <cstring>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "conlib/util.hpp"

namespace conlib {
namespace {

const char* OrderName(std::strong_ordering order) {
    if (order < 0) return "less";
    if (order > 0) return "greater";
    return "equal";
}

TEST(TextCompare, OrdersByUnsignedBytes) {
    struct Case {
        const char* first;
        const char* second;
        std::strong_ordering expected;
    };
    const Case cases[] = {
        {"", "", std::strong_ordering::equal},
        {"abc", "abc", std::strong_ordering::equal},
        {"abc", "abd", std::strong_ordering::less},
        {"abd", "abc", std::strong_ordering::greater},
        {"abc", "ab", std::strong_ordering::greater},
        {"ab", "abc", std::strong_ordering::less},
        {"", "a", std::strong_ordering::less},
        {"a", "B", std::strong_ordering::greater},  // case matters: 'a' (97) > 'B' (66)
        {"\xE9", "z", std::strong_ordering::greater},
        {"z", "\xE9", std::strong_ordering::less},
        {"\x80", "\x7F", std::strong_ordering::greater},
        {"\xFF", "\xFE", std::strong_ordering::greater},
        {"x\xFF", "x\x01", std::strong_ordering::greater},
        {"\xE9t\xE9", "\xE9t\xE9", std::strong_ordering::equal},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(OrderName(TextCompare(c.first, c.second)), std::string(OrderName(c.expected)))
            << "case " << i;
    }
}

TEST(TextCompare, StopsAtTheTerminator) {
    // Equal texts followed by different bytes in their storage.
    const char first[] = {'a', 'b', '\0', 'x'};
    const char second[] = {'a', 'b', '\0', 'y'};
    EXPECT_EQ(TextCompare(first, second), std::strong_ordering::equal);
}

TEST(TextCopy, CopiesTheTerminatorAndNothingBeyond) {
    struct Case {
        const char* source;
    };
    const Case cases[] = {{""}, {"a"}, {"Hello, world"}, {"\x01\x80\xFF\xE9"}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        char target[32];
        std::memset(target, '*', sizeof target);
        TextCopy(cases[i].source, target);
        const std::size_t length = std::strlen(cases[i].source);
        EXPECT_EQ(std::string(target, length + 1), std::string(cases[i].source, length + 1))
            << "case " << i;
        for (std::size_t j = length + 1; j < sizeof target; ++j) {
            ASSERT_EQ(target[j], '*') << "case " << i << ", byte " << j;
        }
    }
}

TEST(TextTrimTrailing, RemovesOnlyTheRunAtTheEnd) {
    struct Case {
        const char* text;
        char ch;
        const char* expected;
    };
    const Case cases[] = {
        {"Hello##", '#', "Hello"},  {"#a#", '#', "#a"},
        {"####", '#', ""},          {"", '#', ""},
        {"Hello", '#', "Hello"},    {"a b  ", ' ', "a b"},
        {"x\xFF\xFF", '\xFF', "x"}, {"\xE9\xE9", '\xE9', ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        char text[16];
        std::memset(text, '*', sizeof text);
        std::memcpy(text, c.text, std::strlen(c.text) + 1);
        TextTrimTrailing(text, c.ch);
        EXPECT_EQ(std::string(text), std::string(c.expected)) << "case " << i;
        // Nothing is written past the original terminator.
        for (std::size_t j = std::strlen(c.text) + 1; j < sizeof text; ++j) {
            ASSERT_EQ(text[j], '*') << "case " << i << ", byte " << j;
        }
    }
}

TEST(TextTrimTrailing, LeavesAnEmptyTextUnwritten) {
    char text[2] = {'\0', '#'};
    TextTrimTrailing(text, '#');
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], '#');
}

TEST(TextUpper, CapitalisesOnlyAToZ) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"abc-xyz", "ABC-XYZ"},
        {"`{@[", "`{@["},  // the neighbours of a-z and A-Z
        {"0129 AZ", "0129 AZ"},
        {"\xE0\xE9\xFF\x80\xC1", "\xE0\xE9\xFF\x80\xC1"},  // bytes 128-255 stay
        {"m\xE9z", "M\xE9Z"},
        {"", ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        char text[16];
        std::memcpy(text, cases[i].text, std::strlen(cases[i].text) + 1);
        TextUpper(text);
        EXPECT_EQ(std::string(text), std::string(cases[i].expected)) << "case " << i;
    }
}

}  // namespace
}  // namespace conlib
