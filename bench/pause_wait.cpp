// A pause that waits for a key. bench/idle-wakeups.sh counts how often the process wakes up
// while it waits with no input, next to ncurses' getch (ncurses/key_echo.c).
#include "conlib/conlib.hpp"

int main() {
    conlib::ConPause();
    return 0;
}
