// Asks for numbers and shows each in decimal, hexadecimal and binary. For every number it
// first asks for its kind: u (unsigned decimal), s (signed decimal) or h (hexadecimal); an
// empty line, or the end of the input, ends the program.
#include <cstdint>

#include "conlib/conlib.hpp"

namespace {

char KindLine[16];

void WriteLabel(const char* label) {
    conlib::ConWriteText("  ");
    conlib::ConWriteText(label);
}

void ShowNumber(std::uint32_t value) {
    WriteLabel("unsigned  ");
    conlib::ConWriteUnsigned(value);
    conlib::ConNewLine();
    WriteLabel("signed    ");
    conlib::ConWriteSigned(static_cast<std::int32_t>(value));
    conlib::ConNewLine();
    WriteLabel("hex       ");
    conlib::ConWriteHex(value);
    conlib::ConNewLine();
    WriteLabel("binary    ");
    conlib::ConWriteBinary(value);
    conlib::ConNewLine();
}

// Reads a number of the kind `kind` ('U', 'S' or 'H') and shows it; tells what went wrong
// otherwise.
void AskNumber(char kind) {
    switch (kind) {
        case 'U': {
            conlib::ConWriteText("Unsigned decimal: ");
            const conlib::Result<std::uint32_t> number = conlib::ConReadUnsigned();
            if (number.ok) {
                ShowNumber(number.value);
            } else {
                conlib::ConWriteText("  no number, or above 4294967295");
                conlib::ConNewLine();
            }
            return;
        }
        case 'S': {
            conlib::ConWriteText("Signed decimal: ");
            // A failure has been told on the console already.
            const conlib::Result<std::int32_t> number = conlib::ConReadSigned();
            if (number.ok) ShowNumber(static_cast<std::uint32_t>(number.value));
            return;
        }
        case 'H': {
            conlib::ConWriteText("Hexadecimal: ");
            const conlib::Result<std::uint32_t> number = conlib::ConReadHex();
            if (number.ok) {
                ShowNumber(number.value);
            } else {
                conlib::ConWriteText("  no hexadecimal digits");
                conlib::ConNewLine();
            }
            return;
        }
        default:
            conlib::ConWriteText("  the kind is u, s or h");
            conlib::ConNewLine();
    }
}

}  // namespace

int main() {
    conlib::ConWriteText("Kinds: u unsigned decimal, s signed decimal, h hexadecimal.");
    conlib::ConNewLine();
    conlib::ConWriteText("An empty line ends.");
    conlib::ConNewLine();
    for (;;) {
        conlib::ConWriteText("Kind: ");
        if (conlib::ConReadLine(KindLine, sizeof KindLine) == 0) break;
        conlib::TextTrimTrailing(KindLine, ' ');
        conlib::TextUpper(KindLine);
        AskNumber(KindLine[1] == '\0' ? KindLine[0] : '?');
    }
    conlib::ConNewLine();
    return 0;
}
