// Whole typed lines from the console, and the number readers built on them.
//
// The console's line-input mode does the typing work: it echoes and edits the line and hands
// it over on Enter, followed by CR LF, as far as the caller's count goes, keeping the rest
// pending for the next read. ConReadLine cuts what it got to its buffer and, for a line that
// did not fit, reads the rest one character at a time and throws it away, so that the next
// read starts on a fresh line.
#include "input/line_input.hpp"

#include <cstdint>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "console/session.hpp"
#include "files/transfer_count.hpp"
#include "platform/win.hpp"

namespace conlib {

using detail::ConsoleSession;
using detail::TransferCount;
using namespace win;

namespace {

// The line of the number readers: each reads its line here and converts it before it returns;
// the text stays until the next reader call.
constexpr std::uint32_t LineBufferSize = 80;
char LineBuffer[LineBufferSize] = {};

// The rest of an over-long line is read one character at a time into this place; the counts
// of those reads go to their own cell, so that TransferCount keeps the line's count.
char DiscardedChar = 0;
DWORD DiscardCount = 0;
// The input mode in force before the rest of an over-long line is thrown away.
DWORD SavedLineMode = 0;

// Digit values by character code minus '0'; NoHexDigit marks the characters between '9' and
// 'A'.
constexpr std::uint8_t NoHexDigit = 0xFF;
constexpr std::uint8_t HexValueTable[] = {
    0,    1,    2,    3,    4,    5,    6,    7, 8, 9,  // '0' to '9'
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,           // ':' ';' '<' '=' '>' '?' '@'
    10,   11,   12,   13,   14,   15,                   // 'A' to 'F'
};
static_assert(sizeof HexValueTable == 23);

// The running value of a hexadecimal conversion and the value of the digit at hand.
std::uint32_t HexValue = 0;
std::uint8_t HexDigit = 0;

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

// Reads and drops characters up to and including the next line feed, with line input and echo
// off. Ends early when the console delivers nothing more (the input has ended or a read
// fails). With line input off there is no pending line to drop: nothing is read.
void DiscardRestOfLine() {
    const BOOL haveMode = win::GetConsoleMode(ConsoleSession.input, &SavedLineMode);
    if (haveMode != FALSE && (SavedLineMode & ENABLE_LINE_INPUT) == 0) return;
    win::SetConsoleMode(ConsoleSession.input, 0);
    do {
        DiscardCount = 0;
        if (win::ReadConsoleA(ConsoleSession.input, &DiscardedChar, 1, &DiscardCount, nullptr) ==
                FALSE ||
            DiscardCount == 0) {
            break;
        }
    } while (DiscardedChar != '\n');
    win::SetConsoleMode(ConsoleSession.input, SavedLineMode);
}

}  // namespace

Result<std::uint32_t> detail::ConvertHexText(const char* text, std::uint32_t count) {
    std::uint32_t position = 0;
    while (position < count && IsBlank(text[position]))
        ++position;
    if (position == count) return {0, false};

    HexValue = 0;
    const std::uint32_t first = position;
    for (; position < count; ++position) {
        auto code = static_cast<std::uint8_t>(text[position]);
        // Lower-case 'a' to 'f' turn into 'A' to 'F'.
        if (code > 'F') code = static_cast<std::uint8_t>(code & 0xDF);
        if (code < '0' || code > 'F') break;
        HexDigit = HexValueTable[code - '0'];
        if (HexDigit == NoHexDigit) break;
        HexValue = HexValue * 16 + HexDigit;
    }
    if (position == first) return {0, false};
    return {HexValue, true};
}

std::uint32_t ConReadLine(char* buffer, std::uint32_t capacity) {
    if (ConsoleSession.ready == 0) EnsureConsole();

    // A read that fails delivers nothing, whatever count it left.
    TransferCount = 0;
    if (win::ReadConsoleA(ConsoleSession.input, buffer, capacity, &TransferCount, nullptr) ==
        FALSE) {
        TransferCount = 0;
    }
    // Never more than was asked for, so that nothing outside the buffer is touched.
    if (TransferCount > capacity) TransferCount = capacity;
    if (TransferCount == 0) return 0;

    // The line end is looked for among the characters delivered, never in what an earlier
    // read left in the buffer.
    std::uint32_t end = 0;
    while (end < TransferCount && buffer[end] != '\n')
        ++end;
    if (end < TransferCount) {
        // The whole line came: it ends before the carriage return of its line end.
        if (end > 0 && buffer[end - 1] == '\r') --end;
        TransferCount = end;
    } else if (TransferCount < capacity) {
        // Fewer characters than asked for and no line end: the input ended within the line, or
        // line input is off. Everything delivered is kept.
    } else {
        // The line did not fit: the last place takes the terminator, and the rest of the line,
        // line end included, is thrown away.
        TransferCount = capacity - 1;
        DiscardRestOfLine();
    }
    buffer[TransferCount] = '\0';
    return TransferCount;
}

Result<std::uint32_t> ConReadUnsigned() {
    const std::uint32_t count = ConReadLine(LineBuffer, LineBufferSize);
    return ParseUnsigned(LineBuffer, count);
}

Result<std::int32_t> ConReadSigned() {
    const std::uint32_t count = ConReadLine(LineBuffer, LineBufferSize);
    return ParseSigned(LineBuffer, count);
}

Result<std::uint32_t> ConReadHex() {
    const std::uint32_t count = ConReadLine(LineBuffer, LineBufferSize);
    return detail::ConvertHexText(LineBuffer, count);
}

}  // namespace conlib
