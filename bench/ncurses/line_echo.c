/* The line echo of line_echo.cpp with ncurses: getnstr in cbreak mode with echo, which shows
   each character as it is typed, once, then ends. */
#include <curses.h>
#include <locale.h>

int main(void) {
    char line[201];
    setlocale(LC_ALL, "");
    initscr();
    cbreak();
    echo();
    getnstr(line, 200);
    endwin();
    return 0;
}
