// The part of the process's command line that follows the program name.
#include "files/command_line.hpp"

#include <cstring>

#include "conlib/files.hpp"
#include "platform/win.hpp"

namespace conlib {

namespace {

constexpr char Quote = '"';
constexpr char Blank = ' ';

}  // namespace

const char* SkipQuotedText(const char* position) {
    // The terminator ends the scan too: a stretch that is never closed stops on it, so the
    // caller sees the end of the text and nothing past it is read.
    while (*position != '\0') {
        if (*position++ == Quote) break;
    }
    return position;
}

bool CopyArgumentTail(const char* commandLine, char* buffer, std::uint32_t capacity) {
    if (capacity == 0) return false;
    buffer[0] = '\0';

    // The program name: up to and including its first blank, or up to the closing quote of
    // the first quoted stretch, whichever comes first. A tab does not end it.
    const char* position = commandLine;
    for (;;) {
        const char ch = *position++;
        if (ch == Quote) {
            position = SkipQuotedText(position);
            break;
        }
        if (ch == Blank) break;
        if (ch == '\0') return false;
    }
    if (*position == '\0') return false;

    // The tail goes in whole with its terminator, or not at all.
    const std::size_t length = std::strlen(position);
    if (length >= capacity) return false;
    std::memcpy(buffer, position, length + 1);
    return true;
}

bool GetArgumentTail(char* buffer, std::uint32_t capacity) {
    return CopyArgumentTail(win::GetCommandLineA(), buffer, capacity);
}

}  // namespace conlib
