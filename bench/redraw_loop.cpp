// The redraw loop: a program that redraws an unchanged 80x24 screen 50 times, as a game or a
// monitor does: clear, 24 rows of text in two colours, a pause of 20 ms. The same loop with
// ncurses is ncurses/redraw_loop.c; bench/compare-with-ncurses.sh runs both.
#include <cstdint>

#include "conlib/conlib.hpp"

int main() {
    using namespace conlib;
    constexpr int Rounds = 50;
    constexpr std::uint8_t Rows = 24;
    for (int round = 0; round < Rounds; ++round) {
        ConSetTextAttr(0x07);
        ConClearScreen();
        for (std::uint8_t row = 0; row < Rows; ++row) {
            ConSetTextAttr(row % 2 == 0 ? 0x0E : 0x1F);
            ConMoveCursor(0, row);
            ConWriteText("Row ");
            ConWriteUnsigned(row);
            ConWriteText(": the quick brown fox jumps over the lazy dog");
        }
        SleepMs(20);
    }
    ConSetTextAttr(0x07);
    return 0;
}
