// Key echo: waits for each key and shows its character at once, until 'q'. The same program
// with ncurses is ncurses/key_echo.c; bench/key-latency.sh times how soon each shows a typed key.
#include "conlib/conlib.hpp"

int main() {
    using namespace conlib;
    for (;;) {
        const KeyCode key = KeyWaitChar();
        if (key.ch == 'q') break;
        ConWriteChar(static_cast<char>(key.ch));
    }
    return 0;
}
