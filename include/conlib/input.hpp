// conlib: keyboard input.
#pragma once

#include <cstdint>

#include "conlib/export.hpp"
#include "conlib/util.hpp"

namespace conlib {

// A key as the program sees it: its character (0 for keys without one) and its scan code.
struct KeyCode {
    std::uint8_t ch;
    std::uint8_t scan;
};

// One key press taken from the console's input, if one was available.
struct KeyPress {
    bool available;
    std::uint8_t ch;
    std::uint8_t scan;
    std::uint16_t vk;
    std::uint32_t state;
};

// Takes at most one key press from the console's input without waiting: the key releases,
// non-key events and lone modifier or lock presses ahead of it are skipped, the key's character
// and scan code come translated as KeyTranslate gives them, and the rest of what was pending
// when the poll looked at the input (the type-ahead) is discarded; an event that arrives while
// the poll is at work stays for the next one. `available` is false when no key press was found.
CONLIB_API KeyPress KeyPoll();

// The character and scan code a PC keyboard BIOS reports for a key: cursor, editing, keypad
// +/-, F11, F12, -/_ and =/+ keys get the scan code for their Ctrl/Alt state, F1 to F10 are
// offset by Shift, Ctrl or Alt, Alt+digit and Shift+Tab lose their character.
CONLIB_API KeyCode KeyTranslate(std::uint8_t ch, std::uint8_t scan, std::uint16_t vk,
                                std::uint32_t state);

// Discards every console input event that is pending.
CONLIB_API void KeyFlush();

// Waits for the next key press, polling every 10 ms, and returns its character and scan code;
// returns {0, 0} once the console's input has ended (nothing more can arrive).
CONLIB_API KeyCode KeyWaitChar();

// Suspends the program for `milliseconds`.
CONLIB_API void SleepMs(std::uint32_t milliseconds);

// Writes "Press any key to continue..." at the cursor and waits for a key press, which is not
// shown; returns at once when the console's input has ended.
CONLIB_API void ConPause();

// Reads one typed line into `buffer`, which takes at most `capacity` bytes, and returns the
// number of characters kept: the line without its line end, cut to `capacity` - 1 characters
// (the rest of a longer line, line end included, is read and thrown away) and followed by a
// zero byte; returns 0 and leaves `buffer` untouched when the console delivers nothing (the
// input has ended or the read failed).
CONLIB_API std::uint32_t ConReadLine(char* buffer, std::uint32_t capacity);

// Reads a line (at most 79 characters kept) and converts it as ParseUnsigned does.
CONLIB_API Result<std::uint32_t> ConReadUnsigned();

// Reads a line (at most 79 characters kept) and converts it as ParseSigned does, its messages
// included.
CONLIB_API Result<std::int32_t> ConReadSigned();

// Reads a line (at most 79 characters kept) and converts the hexadecimal digits ('0' to '9',
// 'A' to 'F', 'a' to 'f') that follow its leading blanks, up to the first other character;
// beyond eight digits the low 32 bits are kept; 0 with failure when no digit comes first.
CONLIB_API Result<std::uint32_t> ConReadHex();

// True when `ch` is one of the characters '0' to '9'.
CONLIB_API bool IsDecimalDigit(char ch);

// Converts decimal text: skips blanks (spaces, tabs) among the first `length` characters, then
// takes the digits up to the first other character, which must be stored behind them, whatever
// `length` says; 0 with success when no digit comes first, 0 with failure when `length` is 0,
// the characters are all blanks or the value exceeds 4294967295.
CONLIB_API Result<std::uint32_t> ParseUnsigned(const char* text, std::uint32_t length);

// Converts decimal text with an optional sign ('+' or '-', right before the digits) as
// ParseUnsigned reads it; 0 with success when `length` is 0 or the characters are all blanks;
// 0 with failure, after writing " <invalid integer>" or " <32-bit integer overflow>" and a line
// break, when no digit follows the sign or the value lies outside -2147483648 to 2147483647.
CONLIB_API Result<std::int32_t> ParseSigned(const char* text, std::uint32_t length);

}  // namespace conlib
