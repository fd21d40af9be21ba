/* The key echo of key_echo.cpp with ncurses: getch in cbreak mode without echo, each key
   drawn with addch and refresh at once, until 'q'. */
#include <curses.h>
#include <locale.h>

int main(void) {
    setlocale(LC_ALL, "");
    initscr();
    cbreak();
    noecho();
    for (;;) {
        int c = getch();
        if (c == 'q' || c == ERR) break;
        addch((chtype)c);
        refresh();
    }
    endwin();
    return 0;
}
