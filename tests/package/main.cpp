// Uses the installed library through its public headers only. Run on a headless console
// (CONLIB_CONSOLE=COLUMNSxROWS) it touches no terminal; it prints one line on standard output
// and exits 0 when the library answered as expected.
#include <conlib/conlib.hpp>

#include <cstdio>

int main() {
    conlib::EnsureConsole();
    conlib::ConClearScreen();
    conlib::ConWriteText("conlib consumer");
    conlib::ConNewLine();
    conlib::ConMoveCursor(2, 3);
    if (conlib::TextLength("conlib consumer") != 15) {
        std::puts("consumer: TextLength gave a wrong count");
        return 1;
    }
    if (conlib::FileOpenRead("conlib-consumer-no-such-file") != conlib::InvalidFileHandle) {
        std::puts("consumer: opening a missing file did not fail");
        return 1;
    }
    const conlib::KeyCode ctrlLeft = conlib::KeyTranslate(
        0, 0x4B, conlib::vk::Left, conlib::keystate::LeftCtrl | conlib::keystate::Enhanced);
    if (ctrlLeft.ch != 0 || ctrlLeft.scan != 0x73) {
        std::puts("consumer: Ctrl+Left by its key names was not translated");
        return 1;
    }
    std::puts("consumer: ok");
    return 0;
}
