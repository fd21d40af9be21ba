// The demo's cross drawing pass on a headless console of 80x40, read back cell by cell. Its
// first pause ends with a typed key, its second at the end of the console's input.
#include <gtest/gtest.h>

#include <string>

#include "conlib/console.hpp"
#include "program.hpp"
#include "win.hpp"

namespace conlib {
namespace {

using namespace win;

HANDLE Output() {
    return win::GetStdHandle(STD_OUTPUT_HANDLE);
}

std::string ReadRow(int y, int count) {
    std::string text(static_cast<std::size_t>(count), '\0');
    DWORD read = 0;
    win::ReadConsoleOutputCharacterA(Output(), text.data(), static_cast<DWORD>(count),
                                     COORD{0, static_cast<SHORT>(y)}, &read);
    text.resize(read);
    return text;
}

TEST(CrossDrawingPass, DrawsTheCrossUnderTheFinalPrompt) {
    EnsureConsole();
    ConWriteText("text left from before");
    INPUT_RECORD key[2] = {};
    for (int i = 0; i < 2; ++i) {
        key[i].EventType = KEY_EVENT;
        key[i].Event.KeyEvent.bKeyDown = i == 0 ? TRUE : FALSE;
        key[i].Event.KeyEvent.wRepeatCount = 1;
        key[i].Event.KeyEvent.wVirtualKeyCode = 'X';
        key[i].Event.KeyEvent.wVirtualScanCode = 0x2D;
        key[i].Event.KeyEvent.uChar.AsciiChar = 'x';
    }
    DWORD written = 0;
    ASSERT_TRUE(win::WriteConsoleInputA(win::GetStdHandle(STD_INPUT_HANDLE), key, 2, &written));

    demo::CrossDrawingPass();

    CONSOLE_SCREEN_BUFFER_INFO info{};
    win::GetConsoleScreenBufferInfo(Output(), &info);
    ASSERT_EQ(info.dwSize.X, 80);
    ASSERT_EQ(info.dwSize.Y, 40);
    for (int y = 0; y < 40; ++y) {
        SCOPED_TRACE("row " + std::to_string(y));
        std::string expected(80, ' ');
        if (y >= 1 && y <= 30) expected[15] = '|';
        if (y == 15) {
            // The prompt stands over columns 2 to 29 of the bar; the crossing shows its blank.
            expected.replace(0, 31, " -Press any key to continue...-");
        }
        EXPECT_EQ(ReadRow(y, 80), expected);
    }
    EXPECT_EQ(info.dwCursorPosition.X, 30);
    EXPECT_EQ(info.dwCursorPosition.Y, 15);
}

}  // namespace
}  // namespace conlib
