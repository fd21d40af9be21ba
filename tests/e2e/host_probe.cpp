// The console host's end-to-end probe, in one of the modes given as its argument:
//   compute   writes "computing T" (T the time of day in milliseconds), computes for 3 s
//             without a console call, then "computed" and pauses
//   pause     writes "paused" and pauses
//   raw       writes "busy", sleeps 1.5 s, turns processed input off and writes "ready";
//             then shows "key 03" for each Ctrl+C, and on 'q' "keys N", N the count of 'a'
//             keys pressed since the start, and ends
//   line      writes "line?", reads a line of at most 20,000 characters and shows "read N"
//   fork      writes "parent", forks a child that writes "child" and ends, waits for it, then
//             writes "back" two rows lower (its own buffer does not hold the child's text) and
//             pauses
//   flood     puts a pipe that nobody reads on standard output, takes the keyboard with a key
//             poll, writes "flooding" on standard error and then console text without end: the
//             writes soon block, and Ctrl+C must still end the program
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

#include "conlib/conlib.hpp"
#include "platform/win.hpp"

namespace {

using namespace conlib;

void Compute() {
    ConWriteText("computing ");
    ConWriteUnsigned(
        static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count() %
                                   86'400'000));
    ConNewLine();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    volatile unsigned long spins = 0;
    while (std::chrono::steady_clock::now() < end)
        spins = spins + 1;
    ConWriteText("computed");
    ConNewLine();
    ConPause();
}

void Raw() {
    ConWriteText("busy");
    ConNewLine();
    SleepMs(1500);
    const win::HANDLE input = win::GetStdHandle(win::STD_INPUT_HANDLE);
    win::SetConsoleMode(input, 0);
    ConWriteText("ready");
    ConNewLine();
    std::uint32_t letters = 0;
    for (;;) {
        win::INPUT_RECORD record{};
        win::DWORD count = 0;
        if (win::ReadConsoleInputA(input, &record, 1, &count) == win::FALSE) return;
        if (count == 0 || record.EventType != win::KEY_EVENT ||
            (record.Event.KeyEvent.bKeyDown & 1) == 0) {
            continue;
        }
        const char ch = record.Event.KeyEvent.uChar.AsciiChar;
        if (ch == 'a') ++letters;
        if (ch == '\x03') {
            ConWriteText("key 03");
            ConNewLine();
        }
        if (ch == 'q') {
            ConWriteText("keys ");
            ConWriteUnsigned(letters);
            ConNewLine();
            return;
        }
    }
}

char Line[20000];

void ReadLine() {
    ConWriteText("line?");
    ConNewLine();
    const std::uint32_t length = ConReadLine(Line, sizeof Line);
    ConWriteText("read ");
    ConWriteUnsigned(length);
    ConNewLine();
}

void Fork() {
    ConWriteText("parent");
    ConNewLine();
    const pid_t child = fork();
    if (child == 0) {
        ConWriteText("child");
        ConNewLine();
        std::exit(0);
    }
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    ConMoveCursor(0, 3);
    ConWriteText("back");
    ConNewLine();
    ConPause();
}

[[noreturn]] void Flood() {
    int fds[2];
    if (pipe(fds) != 0 || dup2(fds[1], STDOUT_FILENO) < 0) std::exit(3);
    static_cast<void>(KeyPoll());
    constexpr char Flooding[] = "flooding\n";
    if (write(STDERR_FILENO, Flooding, sizeof Flooding - 1) < 0) std::exit(4);
    for (;;)
        ConWriteText("a line of text that nobody reads\r\n");
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "flood") == 0) Flood();
    ConClearScreen();
    if (std::strcmp(mode, "compute") == 0) {
        Compute();
    } else if (std::strcmp(mode, "pause") == 0) {
        ConWriteText("paused");
        ConNewLine();
        ConPause();
    } else if (std::strcmp(mode, "raw") == 0) {
        Raw();
    } else if (std::strcmp(mode, "fork") == 0) {
        Fork();
    } else if (std::strcmp(mode, "line") == 0) {
        ReadLine();
    } else {
        return 2;
    }
    return 0;
}
