// Number output: hexadecimal, binary, unsigned and signed decimal.
//
// Each writer builds its whole text in a static buffer, digits from the least significant
// backwards, and hands it to ConWriteText in one piece.
#include <bit>
#include <cstdint>

#include "conlib/console.hpp"
#include "console/session.hpp"

namespace conlib {

using detail::ScratchText;

namespace {

constexpr char HexDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// The least significant digit goes to index 11; index 12 stays zero and ends the text.
char UnsignedText[13] = {};
constexpr std::uint32_t UnsignedTextEnd = 12;

// Up to 8 digits and the terminator, which each call writes after its own digits.
char HexText[9] = {};

// The least significant digit goes to index 10, the sign in front of the first digit; index 11
// stays zero and ends the text.
char SignedText[13] = {};
constexpr std::uint32_t SignedTextEnd = 11;

std::uint8_t NegativeFlag = 0;

// Sizes 1 and 2 stay; every other size counts as 4 bytes.
std::uint32_t SettleSize(std::uint32_t size) {
    return size == 1 || size == 2 ? size : 4;
}

}  // namespace

char HexDigitChar(std::uint32_t value) {
    return HexDigits[value & 0xF];
}

void ConWriteHex(std::uint32_t value) {
    ConWriteHexSized(value, 4);
}

void ConWriteHexSized(std::uint32_t value, std::uint32_t size) {
    size = SettleSize(size);
    if (size == 1) value &= 0xFFu;
    if (size == 2) value &= 0xFFFFu;

    std::uint32_t position = 2 * size;
    HexText[position] = '\0';
    do {
        HexText[--position] = HexDigitChar(value % 16);
        value /= 16;
    } while (value != 0);
    while (position > 0)
        HexText[--position] = '0';
    ConWriteText(HexText);
}

void ConWriteBinary(std::uint32_t value) {
    ConWriteBinarySized(value, 4);
}

void ConWriteBinarySized(std::uint32_t value, std::uint32_t size) {
    size = SettleSize(size);
    const std::uint32_t groups = 2 * size;
    // Brings the low `size` bytes to the top of the word, in their own order.
    std::uint32_t word = std::rotr(value, static_cast<int>(8 * size));

    std::uint32_t position = 0;
    for (std::uint32_t group = 0; group < groups; ++group) {
        for (int bit = 0; bit < 4; ++bit) {
            ScratchText[position++] = (word & 0x80000000u) != 0 ? '1' : '0';
            word <<= 1;
        }
        ScratchText[position++] = ' ';
    }
    ScratchText[position - 1] = '\0';
    ConWriteText(ScratchText);
}

void ConWriteUnsigned(std::uint32_t value) {
    std::uint32_t position = UnsignedTextEnd;
    do {
        UnsignedText[--position] = HexDigitChar(value % 10);
        value /= 10;
    } while (value != 0);
    ConWriteText(UnsignedText + position);
}

void ConWriteSigned(std::int32_t value) {
    NegativeFlag = 0;
    auto magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        // Two's-complement negation; the most negative value stays 2^31, which is its magnitude.
        magnitude = 0u - magnitude;
        NegativeFlag = 1;
    }

    std::uint32_t position = SignedTextEnd;
    do {
        SignedText[--position] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    SignedText[--position] = NegativeFlag != 0 ? '-' : '+';
    ConWriteText(SignedText + position);
}

void ConWriteHexPair(std::uint8_t value) {
    ScratchText[0] = HexDigits[value >> 4];
    ScratchText[1] = HexDigits[value & 0xF];
    ScratchText[2] = '\0';
    ConWriteText(ScratchText);
}

}  // namespace conlib
