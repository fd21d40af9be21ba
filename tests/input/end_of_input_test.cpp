// Waiting for a key once the console's input has ended: on the headless console nothing can
// arrive once its queue is empty, so every wait must return instead of waiting for ever.
#include <gtest/gtest.h>

#include <string>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "win.hpp"

namespace conlib {
namespace {

using namespace win;

HANDLE Input() {
    return win::GetStdHandle(STD_INPUT_HANDLE);
}

std::string ReadCells(int x, int y, int count) {
    std::string text(static_cast<std::size_t>(count), '\0');
    DWORD read = 0;
    win::ReadConsoleOutputCharacterA(win::GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
                                     static_cast<DWORD>(count),
                                     COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}, &read);
    text.resize(read);
    return text;
}

class EndOfInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureConsole();
        win::FlushConsoleInputBuffer(Input());
        ConClearScreen();
    }
};

TEST_F(EndOfInputTest, WaitCharReturnsNoKeyAndKeepsTheLastError) {
    win::SetLastError(ERROR_INVALID_PARAMETER);
    const KeyCode key = KeyWaitChar();
    EXPECT_EQ(key.ch, 0);
    EXPECT_EQ(key.scan, 0);
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(EndOfInputTest, EventsThatAreNoKeyPressEndInNoKey) {
    INPUT_RECORD shift{};
    shift.EventType = KEY_EVENT;
    shift.Event.KeyEvent.bKeyDown = TRUE;
    shift.Event.KeyEvent.wRepeatCount = 1;
    shift.Event.KeyEvent.wVirtualKeyCode = VK_SHIFT;
    shift.Event.KeyEvent.wVirtualScanCode = 0x2A;
    shift.Event.KeyEvent.dwControlKeyState = SHIFT_PRESSED;
    DWORD written = 0;
    ASSERT_TRUE(win::WriteConsoleInputA(Input(), &shift, 1, &written));
    const KeyCode key = KeyWaitChar();
    EXPECT_EQ(key.ch, 0);
    EXPECT_EQ(key.scan, 0);
}

TEST_F(EndOfInputTest, PauseShowsItsPromptAndReturns) {
    win::SetLastError(ERROR_INVALID_PARAMETER);
    ConPause();
    EXPECT_EQ(ReadCells(0, 0, 30), "Press any key to continue...  ");
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace conlib
