// Test helper: reads lines with ConReadLine until the console's input ends and writes each back
// as its count, a blank and its text; then "end". The first argument is the buffer capacity
// (at most 256, 80 when not given). With the argument "keys" it takes keys with KeyWaitChar
// instead and writes the character of each, then "end".
#include <cstdint>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "conlib/util.hpp"

namespace {

constexpr std::uint32_t BufferSize = 256;
char Buffer[BufferSize];

// Stays in the buffer's first byte when a read delivers nothing.
constexpr char Untouched = '\x01';

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && conlib::TextCompare(argv[1], "keys") == 0) {
        for (conlib::KeyCode key = conlib::KeyWaitChar(); key.ch != 0 || key.scan != 0;
             key = conlib::KeyWaitChar()) {
            conlib::ConWriteChar(static_cast<char>(key.ch));
        }
        conlib::ConWriteText("end");
        conlib::ConNewLine();
        return 0;
    }
    std::uint32_t capacity = 80;
    if (argc > 1) capacity = conlib::ParseUnsigned(argv[1], conlib::TextLength(argv[1])).value;
    if (capacity > BufferSize) return 2;

    for (;;) {
        Buffer[0] = Untouched;
        const std::uint32_t count = conlib::ConReadLine(Buffer, capacity);
        if (count == 0 && Buffer[0] == Untouched) break;
        conlib::ConWriteUnsigned(count);
        conlib::ConWriteChar(' ');
        conlib::ConWriteText(Buffer);
        conlib::ConNewLine();
    }
    conlib::ConWriteText("end");
    conlib::ConNewLine();
    return 0;
}
