/* The screens of conlib-demo with ncurses, for InputFile.txt = "abc": the two title lines, the
   inverted bytes as code page 437 glyphs, the pause prompt; a key; the cross of '|' and '-' in
   rows and columns 1 to 30, drawn from the far ends inward, with the prompt where the last
   glyph left the cursor; a key. */
#include <curses.h>
#include <locale.h>

static const char Prompt[] = "Press any key to continue...";

int main(void) {
    setlocale(LC_ALL, "");
    initscr();
    raw();
    noecho();
    erase();
    addstr("Tav Quillon - Week 4\n");
    addstr("KTRV 360 - Dorin Velterhaminos\n");
    addstr("\u20a7\u00a5\u00a3"); /* "abc" inverted: 0x9E 0x9D 0x9C */
    addstr(Prompt);
    refresh();
    getch();
    erase();
    for (int c = 30; c >= 1; --c) {
        mvaddch(c, 15, '|');
        mvaddch(15, c, '-');
    }
    addstr(Prompt);
    refresh();
    getch();
    endwin();
    return 0;
}
