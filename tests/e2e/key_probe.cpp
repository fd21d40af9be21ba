// The keyboard's end-to-end probe: busy for a moment after it starts (keys typed then must not
// show), then one line for each key press it polls, until 'q':
//   key CH SCAN VK STATE      (hexadecimal: character, scan code, virtual key, control state)
#include "conlib/conlib.hpp"

int main() {
    using namespace conlib;
    ConClearScreen();
    ConWriteText("busy");
    ConNewLine();
    SleepMs(1500);
    ConWriteText("ready");
    ConNewLine();
    for (;;) {
        SleepMs(10);
        const KeyPress key = KeyPoll();
        if (!key.available) continue;
        ConWriteText("key ");
        ConWriteHexPair(key.ch);
        ConWriteChar(' ');
        ConWriteHexPair(key.scan);
        ConWriteChar(' ');
        ConWriteHexPair(static_cast<std::uint8_t>(key.vk));
        ConWriteChar(' ');
        ConWriteHex(key.state);
        ConNewLine();
        if (key.ch == 'q') return 0;
    }
}
