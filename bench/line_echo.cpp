// Line echo: reads one line, whose characters the console's line editor shows as they are
// typed, and ends. The same with ncurses is ncurses/line_echo.c; bench/key-latency.sh times how
// soon each shows a typed key.
#include "conlib/conlib.hpp"

int main() {
    char line[200];
    conlib::ConReadLine(line, sizeof line);
    return 0;
}
