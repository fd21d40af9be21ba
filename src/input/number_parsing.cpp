// Decimal text to 32-bit values.
//
// The leading blanks are looked for only within the length given; the sign and the digits are
// read up to the first character that is not a digit, so the text must hold one behind them
// (a zero terminator does).
#include <cstdint>

#include "conlib/console.hpp"
#include "conlib/input.hpp"

namespace conlib {

namespace {

constexpr char InvalidIntegerText[] = " <invalid integer>";
constexpr char OverflowText[] = " <32-bit integer overflow>";

constexpr std::uint64_t UnsignedLimit = 0xFFFFFFFFu;
constexpr std::uint64_t PositiveLimit = 0x7FFFFFFFu;
constexpr std::uint64_t NegativeLimit = 0x80000000u;

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

// The position of the first character among the first `length` of `text` that is not a blank;
// `length` when all of them are blanks.
std::uint32_t SkipBlanks(const char* text, std::uint32_t length) {
    std::uint32_t position = 0;
    while (position < length && IsBlank(text[position]))
        ++position;
    return position;
}

std::uint32_t DigitValue(char ch) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(ch) - '0');
}

void WriteMessageLine(const char* text) {
    ConWriteText(text);
    ConNewLine();
}

}  // namespace

bool IsDecimalDigit(char ch) {
    const auto code = static_cast<unsigned char>(ch);
    return code >= '0' && code <= '9';
}

Result<std::uint32_t> ParseUnsigned(const char* text, std::uint32_t length) {
    if (length == 0) return {0, false};
    const std::uint32_t start = SkipBlanks(text, length);
    if (start == length) return {0, false};

    std::uint64_t value = 0;
    for (const char* digit = text + start; IsDecimalDigit(*digit); ++digit) {
        value = value * 10 + DigitValue(*digit);
        if (value > UnsignedLimit) return {0, false};
    }
    return {static_cast<std::uint32_t>(value), true};
}

Result<std::int32_t> ParseSigned(const char* text, std::uint32_t length) {
    if (length == 0) return {0, true};
    const std::uint32_t start = SkipBlanks(text, length);
    if (start == length) return {0, true};

    const char* digit = text + start;
    const bool negative = *digit == '-';
    if (*digit == '-' || *digit == '+') ++digit;
    if (!IsDecimalDigit(*digit)) {
        WriteMessageLine(InvalidIntegerText);
        return {0, false};
    }

    const std::uint64_t limit = negative ? NegativeLimit : PositiveLimit;
    std::uint64_t magnitude = 0;
    for (; IsDecimalDigit(*digit); ++digit) {
        magnitude = magnitude * 10 + DigitValue(*digit);
        if (magnitude > limit) {
            WriteMessageLine(OverflowText);
            return {0, false};
        }
    }
    // Two's complement: a magnitude of 2147483648 negates to itself, which reads as
    // -2147483648.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return {static_cast<std::int32_t>(negative ? 0u - bits : bits), true};
}

}  // namespace conlib
