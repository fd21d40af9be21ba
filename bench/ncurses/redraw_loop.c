/* The redraw loop of redraw_loop.cpp with ncurses: erase, 24 rows of text in two colours,
   refresh, a pause of 20 ms; 50 times. */
#include <curses.h>
#include <locale.h>

int main(void) {
    setlocale(LC_ALL, "");
    initscr();
    start_color();
    init_pair(1, COLOR_YELLOW, COLOR_BLACK);
    init_pair(2, COLOR_WHITE, COLOR_BLUE);
    for (int round = 0; round < 50; ++round) {
        erase();
        for (int row = 0; row < 24; ++row) {
            attrset(COLOR_PAIR(row % 2 == 0 ? 1 : 2) | A_BOLD); /* intense, as 0x0E and 0x1F */
            mvprintw(row, 0, "Row %d: the quick brown fox jumps over the lazy dog", row);
        }
        attrset(A_NORMAL);
        refresh();
        napms(20);
    }
    endwin();
    return 0;
}
