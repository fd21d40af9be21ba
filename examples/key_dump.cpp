// Prints every input record of the console as it arrives, one line each, until Escape is
// pressed twice in a row (or the input ends): the fastest way to see what a terminal sends for
// a key, and what the console makes of it.
//
//   key_dump
//
// A key record shows whether the key went down or up, its virtual-key code with its name, its
// scan code, its character and its control-key state in words, for example
//   down  vk 0x25 Left       scan 0x4B  char 0x00      state NumLock Enhanced
// Other records (mouse, window size, focus, menu) show their kind. Ctrl+C is shown as a key:
// the input is read without processing.
//
// The records come through the library's system layer (conlib::win), which is the Windows
// console itself on Windows and the library's own console on POSIX systems.
#include <cstdint>
#include <cstdio>
#include <string>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "platform/win.hpp"

namespace {

namespace win = conlib::win;
using namespace win;  // the types and constants; the calls go through win:: (on Windows the
                      // system's own have the same names)

namespace vk = conlib::vk;
namespace keystate = conlib::keystate;

struct Named {
    std::uint32_t code;
    const char* name;
};

// The names of the virtual keys that have no letter or digit of their own (the system's names).
constexpr Named KeyNames[] = {
    {vk::Cancel, "Cancel"},
    {vk::Backspace, "Back"},
    {vk::Tab, "Tab"},
    {vk::Clear, "Clear"},
    {vk::Enter, "Return"},
    {vk::Shift, "Shift"},
    {vk::Control, "Control"},
    {vk::Alt, "Menu"},
    {vk::Pause, "Pause"},
    {vk::CapsLock, "Capital"},
    {vk::Escape, "Escape"},
    {vk::Space, "Space"},
    {vk::PageUp, "Prior"},
    {vk::PageDown, "Next"},
    {vk::End, "End"},
    {vk::Home, "Home"},
    {vk::Left, "Left"},
    {vk::Up, "Up"},
    {vk::Right, "Right"},
    {vk::Down, "Down"},
    {vk::PrintScreen, "Snapshot"},
    {vk::Insert, "Insert"},
    {vk::Delete, "Delete"},
    {vk::Help, "Help"},
    {vk::LeftWindows, "LWin"},
    {vk::RightWindows, "RWin"},
    {vk::Applications, "Apps"},
    {vk::Multiply, "Multiply"},
    {vk::Add, "Add"},
    {vk::Separator, "Separator"},
    {vk::Subtract, "Subtract"},
    {vk::Decimal, "Decimal"},
    {vk::Divide, "Divide"},
    {vk::NumLock, "NumLock"},
    {vk::ScrollLock, "Scroll"},
    {vk::LeftShift, "LShift"},
    {vk::RightShift, "RShift"},
    {vk::LeftControl, "LControl"},
    {vk::RightControl, "RControl"},
    {vk::LeftAlt, "LMenu"},
    {vk::RightAlt, "RMenu"},
    {vk::Semicolon, "Oem1"},
    {vk::Equals, "OemPlus"},
    {vk::Comma, "OemComma"},
    {vk::Minus, "OemMinus"},
    {vk::Period, "OemPeriod"},
    {vk::Slash, "Oem2"},
    {vk::Backquote, "Oem3"},
    {vk::LeftBracket, "Oem4"},
    {vk::Backslash, "Oem5"},
    {vk::RightBracket, "Oem6"},
    {vk::Quote, "Oem7"},
    {vk::Packet, "Packet"},
};

// The control-key state bits, in the order they are shown.
constexpr Named StateNames[] = {
    {keystate::LeftCtrl, "LeftCtrl"},     {keystate::RightCtrl, "RightCtrl"},
    {keystate::LeftAlt, "LeftAlt"},       {keystate::RightAlt, "RightAlt"},
    {keystate::Shift, "Shift"},           {keystate::NumLock, "NumLock"},
    {keystate::ScrollLock, "ScrollLock"}, {keystate::CapsLock, "CapsLock"},
    {keystate::Enhanced, "Enhanced"},
};

std::string KeyName(std::uint16_t code) {
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return std::string(1, char(code));
    if (code >= vk::Numpad0 && code <= vk::Numpad9)
        return std::string("Numpad").append(std::to_string(code - vk::Numpad0));
    if (code >= vk::F1 && code <= vk::F24)
        return std::string("F").append(std::to_string(code - vk::F1 + 1));
    for (const Named& key : KeyNames) {
        if (key.code == code) return key.name;
    }
    return "?";
}

std::string StateWords(std::uint32_t state) {
    std::string words;
    for (const Named& bit : StateNames) {
        if ((state & bit.code) == 0) continue;
        words += ' ';
        words += bit.name;
    }
    return words.empty() ? " none" : words;
}

// One record as a line.
std::string Describe(const INPUT_RECORD& record) {
    char line[160];
    switch (record.EventType) {
        case KEY_EVENT: {
            const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
            const auto ch = static_cast<unsigned char>(key.uChar.AsciiChar);
            char shown[4] = "";
            if (ch >= 0x20 && ch < 0x7F) std::snprintf(shown, sizeof shown, "'%c'", ch);
            std::snprintf(line, sizeof line,
                          "%-5s vk 0x%02X %-10s scan 0x%02X  char 0x%02X %-3s  state",
                          key.bKeyDown ? "down" : "up", key.wVirtualKeyCode,
                          KeyName(key.wVirtualKeyCode).c_str(), key.wVirtualScanCode, ch, shown);
            std::string text(line);
            text.append(StateWords(key.dwControlKeyState));
            if (key.wRepeatCount != 1) {
                text.append("  repeat ").append(std::to_string(key.wRepeatCount));
            }
            return text;
        }
        case MOUSE_EVENT:
            return "mouse";
        case WINDOW_BUFFER_SIZE_EVENT:
            std::snprintf(line, sizeof line, "window buffer size %dx%d",
                          record.Event.WindowBufferSizeEvent.dwSize.X,
                          record.Event.WindowBufferSizeEvent.dwSize.Y);
            return line;
        case FOCUS_EVENT:
            return record.Event.FocusEvent.bSetFocus ? "focus gained" : "focus lost";
        case MENU_EVENT:
            return "menu";
        default:
            return std::string("record of kind ").append(std::to_string(record.EventType));
    }
}

bool IsEscapePress(const INPUT_RECORD& record) {
    return record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
           record.Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE;
}

}  // namespace

int main() {
    conlib::EnsureConsole();
    const HANDLE input = win::GetStdHandle(STD_INPUT_HANDLE);
    DWORD savedMode = 0;
    const bool hasMode = win::GetConsoleMode(input, &savedMode) != FALSE;
    win::SetConsoleMode(input, 0);  // keys as records: no line editing, no echo, Ctrl+C a key

    conlib::ConWriteText("Every input record, as it arrives. Escape twice ends.");
    conlib::ConNewLine();
    int escapes = 0;  // Escape presses in a row
    INPUT_RECORD record{};
    DWORD count = 0;
    while (escapes < 2 && win::ReadConsoleInputA(input, &record, 1, &count) != FALSE &&
           count == 1) {
        conlib::ConWriteText(Describe(record).c_str());
        conlib::ConNewLine();
        if (IsEscapePress(record)) {
            ++escapes;
        } else if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            escapes = 0;
        }
    }

    if (hasMode) win::SetConsoleMode(input, savedMode);
    return 0;
}
