// Prints a table of pseudo-random values in colour: each value in hexadecimal, signed decimal
// and binary, with a die roll coloured by its number.
#include <cstdint>

#include "conlib/conlib.hpp"

namespace {

// Colours: blue 1, green 2, red 4, bright 8; the background in the next four bits.
constexpr std::uint16_t HeaderColour = 0x70;  // black on grey
constexpr std::uint16_t IndexColour = 0x08;   // dark grey
constexpr std::uint16_t HexColour = 0x0B;     // bright cyan
constexpr std::uint16_t PositiveColour = 0x0F;
constexpr std::uint16_t NegativeColour = 0x0D;  // bright magenta
constexpr std::uint16_t BitsColour = 0x09;      // bright blue
constexpr std::uint16_t DieColours[6] = {0x0C, 0x0C, 0x0E, 0x0E, 0x0A, 0x0A};

constexpr std::uint32_t Rows = 12;

void WriteBlanks(std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i)
        conlib::ConWriteChar(' ');
}

// Number of characters ConWriteUnsigned writes for `value`.
std::uint32_t DecimalWidth(std::uint32_t value) {
    std::uint32_t width = 1;
    while (value >= 10) {
        value /= 10;
        ++width;
    }
    return width;
}

void WriteRow(std::uint32_t index) {
    const std::uint32_t value = conlib::RandNext();
    const auto asSigned = static_cast<std::int32_t>(value);
    const std::uint32_t die = conlib::RandBelow(6);

    conlib::ConSetTextAttr(IndexColour);
    WriteBlanks(3 - DecimalWidth(index));
    conlib::ConWriteUnsigned(index);
    WriteBlanks(2);

    conlib::ConSetTextAttr(HexColour);
    conlib::ConWriteHex(value);
    WriteBlanks(2);

    conlib::ConSetTextAttr(asSigned < 0 ? NegativeColour : PositiveColour);
    const std::uint32_t magnitude =
        asSigned < 0 ? 0u - static_cast<std::uint32_t>(asSigned) : value;
    WriteBlanks(11 - 1 - DecimalWidth(magnitude));
    conlib::ConWriteSigned(asSigned);
    WriteBlanks(2);

    conlib::ConSetTextAttr(BitsColour);
    conlib::ConWriteBinarySized(value, 2);
    WriteBlanks(2);

    conlib::ConSetTextAttr(DieColours[die]);
    conlib::ConWriteUnsigned(die + 1);
}

}  // namespace

int main() {
    const std::uint16_t original = conlib::ConGetTextAttr();
    conlib::RandSeedFromClock();

    conlib::ConSetTextAttr(HeaderColour);
    conlib::ConWriteText("  #  Hex            Signed  Low 16 bits          Die");
    conlib::ConSetTextAttr(original);
    conlib::ConNewLine();

    for (std::uint32_t index = 1; index <= Rows; ++index) {
        WriteRow(index);
        conlib::ConSetTextAttr(original);
        conlib::ConNewLine();
    }
    return 0;
}
