// Dumps a small structure in 4-, 2- and 1-byte units, then shows the registers at one point
// of the program and the stack frame of the function that asks for it.
#include <cstdint>

#include "conlib/conlib.hpp"

namespace {

struct Sample {
    std::uint32_t id;
    std::uint16_t flags[2];
    char tag[8];
};

const Sample TheSample = {0x12345678u, {0xABCD, 0x0102}, "conlib"};

void WriteTitle(const char* title) {
    conlib::ConNewLine();
    conlib::ConWriteText(title);
    conlib::ConNewLine();
}

// Shows its own frame: the return address into the caller, the caller's saved frame pointer
// and the four slots below it, among which the two marks lie where the compiler keeps them.
// On 32-bit x86 the two parameter slots hold `first` and `second`; on x86-64 the arguments
// come in registers and those slots belong to the caller.
[[gnu::noinline]] void ShowOwnFrame(std::uint32_t first, std::uint32_t second) {
    volatile std::uint32_t marks[2] = {first, second};
    conlib::ShowStackFrameNamed(sizeof(void*) == 4 ? 2 : 0, 4, 0, "ShowOwnFrame");
    static_cast<void>(marks[0]);
}

}  // namespace

int main() {
    WriteTitle("A Sample structure in 4-byte, 2-byte and 1-byte units:");
    conlib::ShowMemoryBlock(&TheSample, sizeof TheSample / 4, 4);
    conlib::ShowMemoryBlock(&TheSample, sizeof TheSample / 2, 2);
    conlib::ShowMemoryBlock(&TheSample, sizeof TheSample, 1);

    WriteTitle("The registers in main:");
    conlib::ShowRegisters();

    WriteTitle("A stack frame:");
    ShowOwnFrame(0x11111111u, 0x22222222u);
    return 0;
}
