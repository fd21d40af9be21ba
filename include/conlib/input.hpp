// conlib: keyboard input.
#pragma once

#include <cstdint>

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
// and scan code come translated as KeyTranslate gives them, and every event still pending
// afterwards is discarded; `available` is false when no key press was found.
KeyPress KeyPoll();

// The character and scan code a PC keyboard BIOS reports for a key: cursor, editing, keypad
// +/-, F11, F12, -/_ and =/+ keys get the scan code for their Ctrl/Alt state, F1 to F10 are
// offset by Shift, Ctrl or Alt, Alt+digit and Shift+Tab lose their character.
KeyCode KeyTranslate(std::uint8_t ch, std::uint8_t scan, std::uint16_t vk, std::uint32_t state);

// Discards every console input event that is pending.
void KeyFlush();

// Waits for the next key press, polling every 10 ms, and returns its character and scan code;
// returns {0, 0} once the console's input has ended (nothing more can arrive).
KeyCode KeyWaitChar();

// Suspends the program for `milliseconds`.
void SleepMs(std::uint32_t milliseconds);

// Writes "Press any key to continue..." at the cursor and waits for a key press, which is not
// shown; returns at once when the console's input has ended.
void ConPause();

}  // namespace conlib
