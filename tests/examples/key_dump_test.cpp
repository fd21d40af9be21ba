// The key-dump example run in-process on a headless console, with its main under another name:
// the records written into the console's input come out one line each, until Escape twice.
#include <gtest/gtest.h>

#include <string>

#include "platform/win.hpp"
#include "support/console_support.hpp"

int RunKeyDump();  // the example's main

namespace conlib {
namespace {

using namespace win;
using namespace test;

// Row `y` of the screen without its trailing blanks.
std::string Row(int y) {
    std::string text = ReadCells(0, y, BufferSize().X);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TEST(KeyDumpExample, ShowsEachRecordUntilEscapeTwice) {
    ResetConsole();
    const DWORD mode = InputMode();
    Type("a");
    Inject(KeyStroke(VK_LEFT, '\0', 0x4B, ENHANCED_KEY | NUMLOCK_ON));
    // (Not Ctrl+C: written into a console that processes input, that one would interrupt.)
    Inject({KeyRecord(true, 'X', '\x18', 0x2D, LEFT_CTRL_PRESSED | SHIFT_PRESSED)});
    Type(
        "\x1b"
        "x"
        "\x1b\x1b"
        "z");

    EXPECT_EQ(RunKeyDump(), 0);
    const std::string lines[] = {
        "Every input record, as it arrives. Escape twice ends.",
        "down  vk 0x41 A          scan 0x00  char 0x61 'a'  state none",
        "up    vk 0x41 A          scan 0x00  char 0x61 'a'  state none",
        "down  vk 0x25 Left       scan 0x4B  char 0x00      state NumLock Enhanced",
        "up    vk 0x25 Left       scan 0x4B  char 0x00      state NumLock Enhanced",
        "down  vk 0x58 X          scan 0x2D  char 0x18      state LeftCtrl Shift",
        "down  vk 0x1B Escape     scan 0x00  char 0x1B      state none",
        "up    vk 0x1B Escape     scan 0x00  char 0x1B      state none",
        "down  vk 0x58 X          scan 0x00  char 0x78 'x'  state none",
        "up    vk 0x58 X          scan 0x00  char 0x78 'x'  state none",
        "down  vk 0x1B Escape     scan 0x00  char 0x1B      state none",
        "up    vk 0x1B Escape     scan 0x00  char 0x1B      state none",
        "down  vk 0x1B Escape     scan 0x00  char 0x1B      state none",
        "",
    };
    for (int y = 0; y < static_cast<int>(std::size(lines)); ++y)
        EXPECT_EQ(Row(y), lines[y]) << "row " << y;
    EXPECT_EQ(InputMode(), mode);

    // What came after the second Escape is left in the input.
    INPUT_RECORD next[2] = {};
    DWORD count = 0;
    ASSERT_TRUE(win::ReadConsoleInputA(Input(), next, 2, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_FALSE(next[0].Event.KeyEvent.bKeyDown);
    EXPECT_EQ(next[1].Event.KeyEvent.uChar.AsciiChar, 'z');
}

}  // namespace
}  // namespace conlib
