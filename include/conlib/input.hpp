// conlib: keyboard input.
//
// Like the rest of the library, these operations keep their state in the process: call them
// from one thread, one call at a time.
#pragma once

#include <cstdint>

#include "conlib/export.hpp"
#include "conlib/util.hpp"

namespace conlib {

// The virtual-key codes that KeyPress::vk and KeyTranslate carry, named by their key (the
// system's name follows where it differs). The digit keys have the codes of '0' to '9', the
// letter keys those of 'A' to 'Z'.
namespace vk {
inline constexpr std::uint16_t Cancel = 0x03;     // Ctrl+Break
inline constexpr std::uint16_t Backspace = 0x08;  // VK_BACK
inline constexpr std::uint16_t Tab = 0x09;
inline constexpr std::uint16_t Clear = 0x0C;  // keypad 5 with Num Lock off
inline constexpr std::uint16_t Enter = 0x0D;  // VK_RETURN
inline constexpr std::uint16_t Shift = 0x10;
inline constexpr std::uint16_t Control = 0x11;
inline constexpr std::uint16_t Alt = 0x12;  // VK_MENU
inline constexpr std::uint16_t Pause = 0x13;
inline constexpr std::uint16_t CapsLock = 0x14;  // VK_CAPITAL
inline constexpr std::uint16_t Escape = 0x1B;
inline constexpr std::uint16_t Space = 0x20;
inline constexpr std::uint16_t PageUp = 0x21;    // VK_PRIOR
inline constexpr std::uint16_t PageDown = 0x22;  // VK_NEXT
inline constexpr std::uint16_t End = 0x23;
inline constexpr std::uint16_t Home = 0x24;
inline constexpr std::uint16_t Left = 0x25;
inline constexpr std::uint16_t Up = 0x26;
inline constexpr std::uint16_t Right = 0x27;
inline constexpr std::uint16_t Down = 0x28;
inline constexpr std::uint16_t PrintScreen = 0x2C;  // VK_SNAPSHOT
inline constexpr std::uint16_t Insert = 0x2D;
inline constexpr std::uint16_t Delete = 0x2E;
inline constexpr std::uint16_t Help = 0x2F;
inline constexpr std::uint16_t LeftWindows = 0x5B;   // VK_LWIN
inline constexpr std::uint16_t RightWindows = 0x5C;  // VK_RWIN
inline constexpr std::uint16_t Applications = 0x5D;  // VK_APPS, the context-menu key
inline constexpr std::uint16_t Numpad0 = 0x60;       // Numpad1 to Numpad9 follow in order
inline constexpr std::uint16_t Numpad1 = 0x61;
inline constexpr std::uint16_t Numpad2 = 0x62;
inline constexpr std::uint16_t Numpad3 = 0x63;
inline constexpr std::uint16_t Numpad4 = 0x64;
inline constexpr std::uint16_t Numpad5 = 0x65;
inline constexpr std::uint16_t Numpad6 = 0x66;
inline constexpr std::uint16_t Numpad7 = 0x67;
inline constexpr std::uint16_t Numpad8 = 0x68;
inline constexpr std::uint16_t Numpad9 = 0x69;
inline constexpr std::uint16_t Multiply = 0x6A;  // keypad *
inline constexpr std::uint16_t Add = 0x6B;       // keypad +
inline constexpr std::uint16_t Separator = 0x6C;
inline constexpr std::uint16_t Subtract = 0x6D;  // keypad -
inline constexpr std::uint16_t Decimal = 0x6E;   // keypad .
inline constexpr std::uint16_t Divide = 0x6F;    // keypad /
inline constexpr std::uint16_t F1 = 0x70;        // F2 to F24 follow in order
inline constexpr std::uint16_t F2 = 0x71;
inline constexpr std::uint16_t F3 = 0x72;
inline constexpr std::uint16_t F4 = 0x73;
inline constexpr std::uint16_t F5 = 0x74;
inline constexpr std::uint16_t F6 = 0x75;
inline constexpr std::uint16_t F7 = 0x76;
inline constexpr std::uint16_t F8 = 0x77;
inline constexpr std::uint16_t F9 = 0x78;
inline constexpr std::uint16_t F10 = 0x79;
inline constexpr std::uint16_t F11 = 0x7A;
inline constexpr std::uint16_t F12 = 0x7B;
inline constexpr std::uint16_t F24 = 0x87;
inline constexpr std::uint16_t NumLock = 0x90;
inline constexpr std::uint16_t ScrollLock = 0x91;  // VK_SCROLL
inline constexpr std::uint16_t LeftShift = 0xA0;
inline constexpr std::uint16_t RightShift = 0xA1;
inline constexpr std::uint16_t LeftControl = 0xA2;
inline constexpr std::uint16_t RightControl = 0xA3;
inline constexpr std::uint16_t LeftAlt = 0xA4;   // VK_LMENU
inline constexpr std::uint16_t RightAlt = 0xA5;  // VK_RMENU
// The character keys of a US layout; other layouts put other characters on them.
inline constexpr std::uint16_t Semicolon = 0xBA;     // ; and :  (VK_OEM_1)
inline constexpr std::uint16_t Equals = 0xBB;        // = and +  (VK_OEM_PLUS)
inline constexpr std::uint16_t Comma = 0xBC;         // , and <  (VK_OEM_COMMA)
inline constexpr std::uint16_t Minus = 0xBD;         // - and _  (VK_OEM_MINUS)
inline constexpr std::uint16_t Period = 0xBE;        // . and >  (VK_OEM_PERIOD)
inline constexpr std::uint16_t Slash = 0xBF;         // / and ?  (VK_OEM_2)
inline constexpr std::uint16_t Backquote = 0xC0;     // ` and ~  (VK_OEM_3)
inline constexpr std::uint16_t LeftBracket = 0xDB;   // [ and {  (VK_OEM_4)
inline constexpr std::uint16_t Backslash = 0xDC;     // \ and |  (VK_OEM_5)
inline constexpr std::uint16_t RightBracket = 0xDD;  // ] and }  (VK_OEM_6)
inline constexpr std::uint16_t Quote = 0xDE;         // ' and "  (VK_OEM_7)
// A character that no key of the keyboard made (typed by other means, or pasted).
inline constexpr std::uint16_t Packet = 0xE7;
}  // namespace vk

// The control-key state bits that KeyPress::state and KeyTranslate carry: which modifiers
// were held, which locks were on, and whether the key is one of the enhanced keys (the grey
// cursor and editing keys, keypad Enter and /, the right Ctrl and Alt).
namespace keystate {
inline constexpr std::uint32_t RightAlt = 0x0001;
inline constexpr std::uint32_t LeftAlt = 0x0002;
inline constexpr std::uint32_t RightCtrl = 0x0004;
inline constexpr std::uint32_t LeftCtrl = 0x0008;
inline constexpr std::uint32_t Shift = 0x0010;
inline constexpr std::uint32_t NumLock = 0x0020;
inline constexpr std::uint32_t ScrollLock = 0x0040;
inline constexpr std::uint32_t CapsLock = 0x0080;
inline constexpr std::uint32_t Enhanced = 0x0100;
inline constexpr std::uint32_t Alt = RightAlt | LeftAlt;     // either Alt key
inline constexpr std::uint32_t Ctrl = RightCtrl | LeftCtrl;  // either Ctrl key
}  // namespace keystate

// A key as the program sees it: its character (0 for keys without one) and its scan code.
struct KeyCode {
    std::uint8_t ch;
    std::uint8_t scan;
};

// One key press taken from the console's input, if one was available: its translated
// character and scan code, its virtual-key code (vk::) and its control-key state (keystate::).
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
//
// So a poll gives one key of what was typed ahead of it: "hello" typed in one burst between two
// polls gives 'h' and the rest is lost. A file or pipe on standard input gives every key, one
// per poll, as its bytes are read only when a poll asks for the next one.
[[nodiscard]] CONLIB_API KeyPress KeyPoll();

// The character and scan code a PC keyboard BIOS reports for a key: cursor, editing, keypad
// +/-, F11, F12, -/_ and =/+ keys get the scan code for their Ctrl/Alt state, F1 to F10 are
// offset by Shift, Ctrl or Alt, Alt+digit and Shift+Tab lose their character.
[[nodiscard]] CONLIB_API KeyCode KeyTranslate(std::uint8_t ch, std::uint8_t scan, std::uint16_t vk,
                                              std::uint32_t state);

// Discards every console input event that is pending.
CONLIB_API void KeyFlush();

// Waits for the next key press and returns its character and scan code; returns {0, 0} once
// the console's input has ended (nothing more can arrive). It does not poll every 10 ms: it
// sleeps until the console's input has an event, then polls (KeyPoll, so of the keys already
// waiting then only the first is taken, while a file or pipe gives every key), and sleeps
// again when that event was no key press (a key release). So a key is seen as soon as it is
// typed, and a waiting program takes no time. A caller that only waits for a key may drop the
// result.
CONLIB_API KeyCode KeyWaitChar();

// Suspends the program for `milliseconds`.
CONLIB_API void SleepMs(std::uint32_t milliseconds);

// Writes "Press any key to continue..." at the cursor and waits for a key press, which is not
// shown, as KeyWaitChar does (of keys already waiting when it looks only the first is taken:
// the rest are dropped); returns at once when the console's input has ended.
CONLIB_API void ConPause();

// Reads one typed line into `buffer`, which takes at most `capacity` bytes, and returns the
// number of characters kept: the line without its line end, cut to `capacity` - 1 characters
// (the rest of a longer line, line end included, is read and thrown away) and followed by a
// zero byte; returns 0 and leaves `buffer` untouched when the console delivers nothing (the
// input has ended or the read failed).
//
// An empty line and the end of the input both return 0: an empty line writes the zero byte
// into buffer[0], the end of the input writes nothing. A caller that must tell them apart puts
// a non-zero byte into buffer[0] before the call. A caller that only skips a line may drop the
// result.
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
[[nodiscard]] CONLIB_API bool IsDecimalDigit(char ch);

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
