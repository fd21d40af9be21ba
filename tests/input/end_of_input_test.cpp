// Waiting for a key once the console's input has ended: on the headless console nothing can
// arrive once its queue is empty, so every wait must return instead of waiting for ever.
#include <gtest/gtest.h>

#include <string>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

class EndOfInputTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetConsole(); }
};

TEST_F(EndOfInputTest, WaitCharReturnsNoKeyAndKeepsTheLastError) {
    win::SetLastError(ERROR_INVALID_PARAMETER);
    const KeyCode key = KeyWaitChar();
    EXPECT_EQ(key.ch, 0);
    EXPECT_EQ(key.scan, 0);
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(EndOfInputTest, EventsThatAreNoKeyPressEndInNoKey) {
    ASSERT_NO_FATAL_FAILURE(Inject({KeyRecord(true, VK_SHIFT, 0, 0x2A, SHIFT_PRESSED)}));
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
