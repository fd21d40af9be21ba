// Single keys from the console: polling, the PC keyboard BIOS scan code translation, waiting
// for a key and the pause prompt.
#include <cstdint>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "console/session.hpp"
#include "platform/win.hpp"

namespace conlib {

using detail::ConsoleSession;
using namespace win;

namespace {

// Every peek and read of KeyPoll goes into this record; between polls it holds the last event
// read.
INPUT_RECORD KeyEventRecord = {};
// The input mode in force when the current poll began, put back before it returns.
DWORD SavedInputMode = 0;
// The count of events that the last peek or read reported.
DWORD PolledEventCount = 0;
// The count GetNumberOfConsoleInputEvents reports; only its success is used.
DWORD PendingEventCount = 0;
// The events pending when the current poll first looked at the input, and how many of them
// it has taken: the poll drops the rest of those, and nothing that came after the look.
DWORD LookedAtEventCount = 0;
DWORD TakenEventCount = 0;

// Rows of four bytes: virtual key code, then the scan code with neither Ctrl nor Alt held,
// with Ctrl, and with Alt. A zero byte ends the table.
constexpr std::uint8_t KeyTranslationTable[] = {
    0x25, 0x4B, 0x73, 0x4B,  // Left
    0x27, 0x4D, 0x74, 0x4D,  // Right
    0x26, 0x48, 0x8D, 0x48,  // Up
    0x28, 0x50, 0x91, 0x50,  // Down
    0x21, 0x49, 0x84, 0x49,  // Page Up
    0x22, 0x51, 0x76, 0x51,  // Page Down
    0x24, 0x47, 0x77, 0x47,  // Home
    0x23, 0x4F, 0x75, 0x4F,  // End
    0x2D, 0x52, 0x92, 0x52,  // Insert
    0x2E, 0x53, 0x93, 0x53,  // Delete
    0x6B, 0x4E, 0x90, 0x4E,  // keypad +
    0x6D, 0x4A, 0x8E, 0x4A,  // keypad -
    0x7A, 0x85, 0x85, 0x85,  // F11
    0x7B, 0x86, 0x86, 0x86,  // F12
    0xBD, 0x0C, 0x0C, 0x82,  // - and _
    0xBB, 0x0D, 0x0D, 0x83,  // = and +
    0x00,
};
static_assert(sizeof KeyTranslationTable == 16 * 4 + 1);

constexpr DWORD AltMask = RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED;
constexpr DWORD CtrlMask = RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED;
constexpr DWORD ModifierMask = AltMask | CtrlMask | SHIFT_PRESSED;

// The public key names are the system's codes (on Windows, checked against its headers): the
// position in this list of the first one that differs, counted from 1, or 0.
constexpr int FirstKeyCodeDiffering() {
    struct Pair {
        std::uint16_t ours;
        WORD system;
    };
    constexpr Pair keys[] = {
        {vk::Cancel, VK_CANCEL},
        {vk::Backspace, VK_BACK},
        {vk::Tab, VK_TAB},
        {vk::Clear, VK_CLEAR},
        {vk::Enter, VK_RETURN},
        {vk::Shift, VK_SHIFT},
        {vk::Control, VK_CONTROL},
        {vk::Alt, VK_MENU},
        {vk::Pause, VK_PAUSE},
        {vk::CapsLock, VK_CAPITAL},
        {vk::Escape, VK_ESCAPE},
        {vk::Space, VK_SPACE},
        {vk::PageUp, VK_PRIOR},
        {vk::PageDown, VK_NEXT},
        {vk::End, VK_END},
        {vk::Home, VK_HOME},
        {vk::Left, VK_LEFT},
        {vk::Up, VK_UP},
        {vk::Right, VK_RIGHT},
        {vk::Down, VK_DOWN},
        {vk::PrintScreen, VK_SNAPSHOT},
        {vk::Insert, VK_INSERT},
        {vk::Delete, VK_DELETE},
        {vk::Help, VK_HELP},
        {vk::LeftWindows, VK_LWIN},
        {vk::RightWindows, VK_RWIN},
        {vk::Applications, VK_APPS},
        {vk::Numpad0, VK_NUMPAD0},
        {vk::Numpad1, VK_NUMPAD1},
        {vk::Numpad2, VK_NUMPAD2},
        {vk::Numpad3, VK_NUMPAD3},
        {vk::Numpad4, VK_NUMPAD4},
        {vk::Numpad5, VK_NUMPAD5},
        {vk::Numpad6, VK_NUMPAD6},
        {vk::Numpad7, VK_NUMPAD7},
        {vk::Numpad8, VK_NUMPAD8},
        {vk::Numpad9, VK_NUMPAD9},
        {vk::Multiply, VK_MULTIPLY},
        {vk::Add, VK_ADD},
        {vk::Separator, VK_SEPARATOR},
        {vk::Subtract, VK_SUBTRACT},
        {vk::Decimal, VK_DECIMAL},
        {vk::Divide, VK_DIVIDE},
        {vk::F1, VK_F1},
        {vk::F2, VK_F2},
        {vk::F3, VK_F3},
        {vk::F4, VK_F4},
        {vk::F5, VK_F5},
        {vk::F6, VK_F6},
        {vk::F7, VK_F7},
        {vk::F8, VK_F8},
        {vk::F9, VK_F9},
        {vk::F10, VK_F10},
        {vk::F11, VK_F11},
        {vk::F12, VK_F12},
        {vk::F24, VK_F24},
        {vk::NumLock, VK_NUMLOCK},
        {vk::ScrollLock, VK_SCROLL},
        {vk::LeftShift, VK_LSHIFT},
        {vk::RightShift, VK_RSHIFT},
        {vk::LeftControl, VK_LCONTROL},
        {vk::RightControl, VK_RCONTROL},
        {vk::LeftAlt, VK_LMENU},
        {vk::RightAlt, VK_RMENU},
        {vk::Semicolon, VK_OEM_1},
        {vk::Equals, VK_OEM_PLUS},
        {vk::Comma, VK_OEM_COMMA},
        {vk::Minus, VK_OEM_MINUS},
        {vk::Period, VK_OEM_PERIOD},
        {vk::Slash, VK_OEM_2},
        {vk::Backquote, VK_OEM_3},
        {vk::LeftBracket, VK_OEM_4},
        {vk::Backslash, VK_OEM_5},
        {vk::RightBracket, VK_OEM_6},
        {vk::Quote, VK_OEM_7},
        {vk::Packet, VK_PACKET},
    };
    int position = 1;
    for (const Pair& key : keys) {
        if (key.ours != key.system) return position;
        ++position;
    }
    return 0;
}
static_assert(FirstKeyCodeDiffering() == 0);
static_assert(keystate::RightAlt == RIGHT_ALT_PRESSED && keystate::LeftAlt == LEFT_ALT_PRESSED &&
              keystate::RightCtrl == RIGHT_CTRL_PRESSED &&
              keystate::LeftCtrl == LEFT_CTRL_PRESSED && keystate::Shift == SHIFT_PRESSED &&
              keystate::NumLock == NUMLOCK_ON && keystate::ScrollLock == SCROLLLOCK_ON &&
              keystate::CapsLock == CAPSLOCK_ON && keystate::Enhanced == ENHANCED_KEY);

constexpr char PauseText[] = "Press any key to continue...";

// Keys that are never a key press of their own: the modifiers and the lock keys.
bool IsModifierOrLockKey(WORD vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_CAPITAL ||
           vk == VK_NUMLOCK || vk == VK_SCROLL;
}

// True once the console's input has ended: no key can ever arrive. The thread's last error
// code is left as it was, so that a pause does not lose the code of an earlier failure.
bool InputHasEnded() {
    const DWORD lastError = win::GetLastError();
    const bool ended =
        win::GetNumberOfConsoleInputEvents(ConsoleSession.input, &PendingEventCount) == FALSE &&
        win::GetLastError() == ERROR_HANDLE_EOF;
    win::SetLastError(lastError);
    return ended;
}

// Takes the oldest pending event into KeyEventRecord, never waiting: false when none is
// pending. A peek first, as a read would wait for an event; a call that fails leaves the count
// at 0.
bool TakeEvent() {
    PolledEventCount = 0;
    win::PeekConsoleInputA(ConsoleSession.input, &KeyEventRecord, 1, &PolledEventCount);
    if (PolledEventCount == 0) return false;
    PolledEventCount = 0;
    win::ReadConsoleInputA(ConsoleSession.input, &KeyEventRecord, 1, &PolledEventCount);
    if (PolledEventCount == 0) return false;
    ++TakenEventCount;
    return true;
}

}  // namespace

KeyPress KeyPoll() {
    if (ConsoleSession.ready == 0) EnsureConsole();
    win::GetConsoleMode(ConsoleSession.input, &SavedInputMode);
    win::SetConsoleMode(ConsoleSession.input, 0);

    // The type-ahead that this poll discards is what is pending now. A call that fails
    // leaves the count at 0 (nothing is discarded) and the last error code as it was, as at
    // the end of the input.
    LookedAtEventCount = 0;
    TakenEventCount = 0;
    const DWORD lastError = win::GetLastError();
    if (win::GetNumberOfConsoleInputEvents(ConsoleSession.input, &LookedAtEventCount) == FALSE) {
        LookedAtEventCount = 0;
        win::SetLastError(lastError);
    }

    KeyPress key = {false, 0, 0, 0, 0};
    while (TakeEvent()) {
        if (KeyEventRecord.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD& event = KeyEventRecord.Event.KeyEvent;
        if ((event.bKeyDown & 1) == 0) continue;
        if (IsModifierOrLockKey(event.wVirtualKeyCode)) continue;

        const KeyCode translated =
            KeyTranslate(static_cast<std::uint8_t>(event.uChar.AsciiChar),
                         static_cast<std::uint8_t>(event.wVirtualScanCode & 0xFF),
                         event.wVirtualKeyCode, event.dwControlKeyState);
        key.ch = translated.ch;
        key.scan = translated.scan;
        key.vk = event.wVirtualKeyCode;
        key.state = event.dwControlKeyState;
        // A press without a virtual key code is used up all the same.
        key.available = key.vk != 0;
        break;
    }

    win::SetConsoleMode(ConsoleSession.input, SavedInputMode);
    // Events that came after the look stay for the next poll.
    while (TakenEventCount < LookedAtEventCount && TakeEvent()) {
    }
    return key;
}

KeyCode KeyTranslate(std::uint8_t ch, std::uint8_t scan, std::uint16_t vk, std::uint32_t state) {
    const bool ctrl = (state & CtrlMask) != 0;
    const bool alt = (state & AltMask) != 0;
    const auto vkLow = static_cast<std::uint8_t>(vk & 0xFF);

    for (std::uint32_t row = 0; KeyTranslationTable[row] != 0; row += 4) {
        if (KeyTranslationTable[row] != vkLow) continue;
        if (ctrl) return {0, KeyTranslationTable[row + 2]};
        if (alt) return {0, KeyTranslationTable[row + 3]};
        return {ch, KeyTranslationTable[row + 1]};
    }

    if ((state & ModifierMask) == 0) return {ch, scan};

    if (vk >= VK_F1 && vk <= VK_F10) {
        // Shift is the one held when neither Ctrl nor Alt is.
        const std::uint8_t offset = ctrl ? 0x23 : alt ? 0x2D : 0x19;
        return {ch, static_cast<std::uint8_t>(scan + offset)};
    }
    if (ch >= '0' && ch <= '9') {
        if (alt) return {0, static_cast<std::uint8_t>(scan + 0x76)};
        return {ch, scan};
    }
    if (vk == VK_TAB && (state & SHIFT_PRESSED) != 0) return {0, scan};
    return {ch, scan};
}

void KeyFlush() {
    // Flushing before any other console operation would otherwise find no handle.
    EnsureConsole();
    win::FlushConsoleInputBuffer(ConsoleSession.input);
}

KeyCode KeyWaitChar() {
    if (ConsoleSession.ready == 0) EnsureConsole();
    for (;;) {
        // Asleep until the console's input has an event (or has ended); an event that is no
        // key press is used up by the poll, and the wait begins again.
        win::WaitForSingleObject(ConsoleSession.input, INFINITE);
        const KeyPress key = KeyPoll();
        if (key.available) return {key.ch, key.scan};
        if (InputHasEnded()) return {0, 0};
    }
}

void SleepMs(std::uint32_t milliseconds) {
    win::Sleep(milliseconds);
}

void ConPause() {
    ConWriteText(PauseText);
    KeyWaitChar();
}

}  // namespace conlib
