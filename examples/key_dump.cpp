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
#include "platform/win.hpp"

namespace {

namespace win = conlib::win;
using namespace win;  // the types and constants; the calls go through win:: (on Windows the
                      // system's own have the same names)

struct Named {
    std::uint16_t code;
    const char* name;
};

// The names of the virtual keys that have no letter or digit of their own.
constexpr Named KeyNames[] = {
    {0x03, "Cancel"},   {0x08, "Back"},      {0x09, "Tab"},      {0x0C, "Clear"},
    {0x0D, "Return"},   {0x10, "Shift"},     {0x11, "Control"},  {0x12, "Menu"},
    {0x13, "Pause"},    {0x14, "Capital"},   {0x1B, "Escape"},   {0x20, "Space"},
    {0x21, "Prior"},    {0x22, "Next"},      {0x23, "End"},      {0x24, "Home"},
    {0x25, "Left"},     {0x26, "Up"},        {0x27, "Right"},    {0x28, "Down"},
    {0x2C, "Snapshot"}, {0x2D, "Insert"},    {0x2E, "Delete"},   {0x2F, "Help"},
    {0x5B, "LWin"},     {0x5C, "RWin"},      {0x5D, "Apps"},     {0x6A, "Multiply"},
    {0x6B, "Add"},      {0x6C, "Separator"}, {0x6D, "Subtract"}, {0x6E, "Decimal"},
    {0x6F, "Divide"},   {0x90, "NumLock"},   {0x91, "Scroll"},   {0xA0, "LShift"},
    {0xA1, "RShift"},   {0xA2, "LControl"},  {0xA3, "RControl"}, {0xA4, "LMenu"},
    {0xA5, "RMenu"},    {0xBA, "Oem1"},      {0xBB, "OemPlus"},  {0xBC, "OemComma"},
    {0xBD, "OemMinus"}, {0xBE, "OemPeriod"}, {0xBF, "Oem2"},     {0xC0, "Oem3"},
    {0xDB, "Oem4"},     {0xDC, "Oem5"},      {0xDD, "Oem6"},     {0xDE, "Oem7"},
    {0xE7, "Packet"},
};

// The control-key state bits, in the order they are shown.
constexpr Named StateNames[] = {
    {0x0008, "LeftCtrl"},   {0x0004, "RightCtrl"}, {0x0002, "LeftAlt"},
    {0x0001, "RightAlt"},   {0x0010, "Shift"},     {0x0020, "NumLock"},
    {0x0040, "ScrollLock"}, {0x0080, "CapsLock"},  {0x0100, "Enhanced"},
};

std::string KeyName(std::uint16_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, char(vk));
    if (vk >= 0x60 && vk <= 0x69) return std::string("Numpad").append(std::to_string(vk - 0x60));
    if (vk >= 0x70 && vk <= 0x87) return std::string("F").append(std::to_string(vk - 0x70 + 1));
    for (const Named& key : KeyNames) {
        if (key.code == vk) return key.name;
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
