#include "support/console_support.hpp"

#include <gtest/gtest.h>

#include "conlib/console.hpp"

namespace conlib::test {

using namespace win;

namespace {

COORD At(int x, int y) {
    return COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)};
}

CONSOLE_SCREEN_BUFFER_INFO BufferInfo() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    win::GetConsoleScreenBufferInfo(Output(), &info);
    return info;
}

// The virtual key that types `ch` on a US keyboard, for the characters the tests type. A
// control character comes with its own code as the key, which is the key of Backspace, Tab,
// Enter and Escape.
WORD KeyFor(char ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<WORD>(ch - 'a' + 'A');
    if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return static_cast<WORD>(ch);
    if (static_cast<unsigned char>(ch) < 0x20) return static_cast<WORD>(ch);
    switch (ch) {
        case ' ':
            return VK_SPACE;
        case '-':
            return VK_OEM_MINUS;
        case '+':
            return VK_OEM_PLUS;
        default:
            return VK_PACKET;
    }
}

}  // namespace

HANDLE Input() {
    return win::GetStdHandle(STD_INPUT_HANDLE);
}

HANDLE Output() {
    return win::GetStdHandle(STD_OUTPUT_HANDLE);
}

std::string ReadCells(int x, int y, int count) {
    std::string text(static_cast<std::size_t>(count), '\0');
    DWORD read = 0;
    win::ReadConsoleOutputCharacterA(Output(), text.data(), static_cast<DWORD>(count), At(x, y),
                                     &read);
    text.resize(read);
    return text;
}

std::vector<WORD> ReadAttributes(int x, int y, int count) {
    std::vector<WORD> attributes(static_cast<std::size_t>(count));
    DWORD read = 0;
    win::ReadConsoleOutputAttribute(Output(), attributes.data(), static_cast<DWORD>(count),
                                    At(x, y), &read);
    attributes.resize(read);
    return attributes;
}

COORD Cursor() {
    return BufferInfo().dwCursorPosition;
}

COORD BufferSize() {
    return BufferInfo().dwSize;
}

DWORD InputMode() {
    DWORD mode = 0;
    win::GetConsoleMode(Input(), &mode);
    return mode;
}

void FillCells(char ch, std::optional<WORD> attribute) {
    const COORD size = BufferSize();
    const std::string row(static_cast<std::size_t>(size.X), ch);
    const std::vector<WORD> attributes(static_cast<std::size_t>(size.X), attribute.value_or(0));
    for (SHORT y = 0; y < size.Y; ++y) {
        DWORD written = 0;
        win::WriteConsoleOutputCharacterA(Output(), row.data(), static_cast<DWORD>(size.X),
                                          COORD{0, y}, &written);
        if (attribute) {
            win::WriteConsoleOutputAttribute(Output(), attributes.data(),
                                             static_cast<DWORD>(size.X), COORD{0, y}, &written);
        }
    }
}

void ResetConsole() {
    EnsureConsole();
    win::FlushConsoleInputBuffer(Input());
    ConClearScreen();
}

INPUT_RECORD KeyRecord(bool down, WORD vk, char ch, WORD scan, DWORD state, WORD repeat) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = repeat;
    record.Event.KeyEvent.wVirtualKeyCode = vk;
    record.Event.KeyEvent.wVirtualScanCode = scan;
    record.Event.KeyEvent.uChar.AsciiChar = ch;
    record.Event.KeyEvent.dwControlKeyState = state;
    return record;
}

void Inject(const std::vector<INPUT_RECORD>& records) {
    DWORD written = 0;
    ASSERT_TRUE(win::WriteConsoleInputA(Input(), records.data(), static_cast<DWORD>(records.size()),
                                        &written));
    ASSERT_EQ(written, records.size());
}

std::vector<INPUT_RECORD> KeyStroke(WORD vk, char ch, WORD scan, DWORD state) {
    return {KeyRecord(true, vk, ch, scan, state), KeyRecord(false, vk, ch, scan, state)};
}

std::vector<INPUT_RECORD> TextStrokes(const std::string& text) {
    std::vector<INPUT_RECORD> records;
    for (const char ch : text) {
        const std::vector<INPUT_RECORD> stroke = KeyStroke(KeyFor(ch), ch);
        records.insert(records.end(), stroke.begin(), stroke.end());
    }
    return records;
}

std::vector<INPUT_RECORD> EditStrokes(const std::string& keys) {
    struct Named {
        char name;
        WORD vk;
        WORD scan;
        DWORD state;
    };
    static constexpr Named named[] = {
        {'L', VK_LEFT, 0x4B, ENHANCED_KEY},
        {'R', VK_RIGHT, 0x4D, ENHANCED_KEY},
        {'H', VK_HOME, 0x47, ENHANCED_KEY},
        {'E', VK_END, 0x4F, ENHANCED_KEY},
        {'D', VK_DELETE, 0x53, ENHANCED_KEY},
        {'I', VK_INSERT, 0x52, ENHANCED_KEY},
        {'U', VK_UP, 0x48, ENHANCED_KEY},
        {'N', VK_DOWN, 0x50, ENHANCED_KEY},
        {'1', VK_F1, 0x3B, 0},
        {'3', VK_F3, 0x3D, 0},
        {'W', VK_LEFT, 0x4B, ENHANCED_KEY | LEFT_CTRL_PRESSED},
        {'V', VK_RIGHT, 0x4D, ENHANCED_KEY | LEFT_CTRL_PRESSED},
        {'h', VK_HOME, 0x47, ENHANCED_KEY | LEFT_CTRL_PRESSED},
        {'e', VK_END, 0x4F, ENHANCED_KEY | LEFT_CTRL_PRESSED},
    };
    std::vector<INPUT_RECORD> records;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::vector<INPUT_RECORD> stroke;
        if (keys[i] != '{') {
            stroke = TextStrokes(std::string(1, keys[i]));
        } else {
            const char name = keys.at(i + 1);
            i += 2;
            for (const Named& key : named) {
                if (key.name == name) stroke = KeyStroke(key.vk, '\0', key.scan, key.state);
            }
            EXPECT_FALSE(stroke.empty()) << "no key {" << name << "}";
        }
        records.insert(records.end(), stroke.begin(), stroke.end());
    }
    return records;
}

void Type(const std::string& text) {
    if (!text.empty()) Inject(TextStrokes(text));
}

void TypeLine(const std::string& text) {
    Type(text + '\r');
}

}  // namespace conlib::test
