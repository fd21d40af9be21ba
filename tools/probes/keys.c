/* Prints every key event the Windows console reports, one line each, to the file named by the
   first argument (standard output when none), to compare the key events of a Windows console
   with those of our own decoder. Ends after 60 s without input.

   x86_64-w64-mingw32-gcc -O2 -o keys.exe tools/probes/keys.c
   tmux -L probe new-session -d -x 80 -y 40 \
       "stty -isig -ixon; WINEPREFIX=$(mktemp -d) WINEDEBUG=-all wine keys.exe /tmp/keys.log"
   tmux -L probe send-keys -H 1b 5b 31 3b 35 44      (the bytes a terminal sends: Ctrl+Left)
   tmux -L probe send-keys -l "é"                     (UTF-8 text)

   stty -isig keeps the pseudo-terminal from turning Ctrl+C, Ctrl+\ and Ctrl+Z into signals. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FILE* out = argc > 1 ? fopen(argv[1], "w") : stdout;
    INPUT_RECORD r;
    DWORD n;
    if (!out) return 1;
    SetConsoleMode(in, 0);
    while (WaitForSingleObject(in, 60000) == WAIT_OBJECT_0 && ReadConsoleInputA(in, &r, 1, &n)) {
        const KEY_EVENT_RECORD* k = &r.Event.KeyEvent;
        if (n == 0 || r.EventType != KEY_EVENT) continue;
        fprintf(out, "%s vk=%02X scan=%02X ch=%02X state=%04lX repeat=%u\n",
                k->bKeyDown ? "down" : "up", k->wVirtualKeyCode, k->wVirtualScanCode,
                (unsigned char)k->uChar.AsciiChar, (unsigned long)k->dwControlKeyState,
                k->wRepeatCount);
        fflush(out);
    }
    return 0;
}
