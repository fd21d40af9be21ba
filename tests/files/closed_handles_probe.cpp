// The probe of the closed standard handles: started with some of them closed, it opens a file
// of its own first, before any call of the library, and writes its number into it; then it
// creates a second file through the library, writes "DATA" into it, writes text to the console
// and reads a key.
//   closed_handles_probe FIRST SECOND
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "conlib/conlib.hpp"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int first = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (first < 0) return 3;
    char number[16];
    const int length = std::snprintf(number, sizeof number, "%d", first);
    if (write(first, number, static_cast<std::size_t>(length)) != length) return 4;
    close(first);

    using namespace conlib;
    const FileHandle second = FileCreateWrite(argv[2]);
    if (second == InvalidFileHandle) return 5;
    ConWriteText("CONSOLE-TEXT");
    if (FileWriteBlock(second, "DATA", 4) != 4) return 6;
    ConWriteText("MORE-TEXT");
    ConNewLine();
    static_cast<void>(KeyPoll());
    if (!FileClose(second)) return 7;
    return 0;
}
