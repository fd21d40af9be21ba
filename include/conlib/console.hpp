// conlib: console session, text output, cursor, attributes and number output.
//
// Every operation here except TextLength first makes sure the console session is ready
// (EnsureConsole). None of them reports a failure: a write the console refuses is lost.
//
// The library keeps the console's state in the process: call it from one thread, one call at a
// time.
#pragma once

#include <cstdint>

#include "conlib/export.hpp"

namespace conlib {

// The size of the console's screen buffer in character cells.
struct ScreenSize {
    std::uint16_t columns;
    std::uint16_t rows;
};

// Fetches the standard input and output handles on the first call; later calls do nothing.
// The handles are kept for the life of the process and never closed.
//
// On Windows the console is the system's. On POSIX systems the library is the console, and the
// first operation that reaches it (a write, a cursor, attribute, clear or size operation, a
// keyboard or line read; not this call, which only fetches the handles) takes over the
// terminal on standard input and output until the process ends:
//  - the terminal no longer echoes, edits lines or turns keys into signals: the library echoes
//    and edits typed lines itself, and Ctrl+C raises SIGINT while the console processes input;
//  - what the terminal showed is scrolled up into its history and the screen starts blank;
//  - a thread of the library's reads the keys as they arrive and draws the screen;
//  - the terminal's settings are put back at the normal end of the process, at quick_exit, and
//    by signal handlers when a signal ends or stops the process (a handler of the program's own
//    still runs).
// Text the program writes to that terminal by other means (printf, std::cout) goes around the
// console's screen buffer: what the console draws next does not take it into account.
// Only standard input that is a terminal has its keyboard taken over, only standard output
// that is one its screen. Files, pipes and the in-memory console (CONLIB_CONSOLE=COLUMNSxROWS)
// touch no terminal.
CONLIB_API void EnsureConsole();

// Number of bytes before the first zero byte of `text`.
[[nodiscard]] CONLIB_API std::uint32_t TextLength(const char* text);

// Writes the zero-terminated `text` at the cursor, in one console write; carriage return,
// line feed, backspace, tab and bell act as the console handles them.
CONLIB_API void ConWriteText(const char* text);

// Writes the single byte `ch` at the cursor; every byte value is written, zero included.
CONLIB_API void ConWriteChar(char ch);

// Writes a line break: carriage return and line feed.
CONLIB_API void ConNewLine();

// Blanks every cell of the screen buffer (at most its first 512 columns) in the current text
// attribute and puts the cursor at column 0, row 0.
CONLIB_API void ConClearScreen();

// Puts the cursor at `column`, `row` of the screen buffer. A position outside the buffer is
// refused by the console without notice.
CONLIB_API void ConMoveCursor(std::uint8_t column, std::uint8_t row);

// The size of the screen buffer (not of the visible window), in columns and rows: in a
// terminal of 80x24, 80 x 9001. 0 columns and 0 rows when the console cannot be queried.
[[nodiscard]] CONLIB_API ScreenSize ConGetWindowSize();

// The console's current text attribute (foreground colour in the low four bits, background in
// the next four); 0 when the console cannot be queried.
[[nodiscard]] CONLIB_API std::uint16_t ConGetTextAttr();

// Makes `attribute` the one in which later text is written and later clears blank the screen;
// cells already on the screen keep theirs.
CONLIB_API void ConSetTextAttr(std::uint16_t attribute);

// The number writers put their whole text at the cursor in one console write, with no blank
// and no line end around it. Hexadecimal digits are upper case.

// Writes `value` as 8 hexadecimal digits, leading zeros included.
CONLIB_API void ConWriteHex(std::uint32_t value);

// Writes the low `size` bytes of `value` as 2, 4 or 8 hexadecimal digits for a size of 1, 2 or
// 4; any other size counts as 4.
CONLIB_API void ConWriteHexSized(std::uint32_t value, std::uint32_t size);

// Writes the 32 bits of `value` in 8 groups of four, separated by one blank.
CONLIB_API void ConWriteBinary(std::uint32_t value);

// Writes the low `size` bytes of `value` in base 2, in groups of four bits separated by one
// blank (9, 19 or 39 characters for a size of 1, 2 or 4); any other size counts as 4.
CONLIB_API void ConWriteBinarySized(std::uint32_t value, std::uint32_t size);

// Writes `value` in decimal, without sign or leading zeros.
CONLIB_API void ConWriteUnsigned(std::uint32_t value);

// Writes `value` in decimal after a sign that is always shown: '+' for 0 and above, '-' below.
CONLIB_API void ConWriteSigned(std::int32_t value);

// Writes `value` as exactly 2 hexadecimal digits.
CONLIB_API void ConWriteHexPair(std::uint8_t value);

// The hexadecimal digit character ('0' to '9', 'A' to 'F') of the low four bits of `value`.
[[nodiscard]] CONLIB_API char HexDigitChar(std::uint32_t value);

}  // namespace conlib
