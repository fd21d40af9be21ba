// Message boxes with no answer to be had: on POSIX the headless console's input has ended; on
// Windows the system shows a box of its own, which Wine without a display cannot show at all.
// Either way the answer is 0 at once. (The boxes answered with keys: message_box_keys_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (BoxesWaitForAUser()) GTEST_SKIP() << "a box on a Windows desktop waits for a user";
        ResetConsole();
    }
};

TEST_F(MessageBoxTest, WithNoAnswerToBeHadTheQuestionGivesZero) {
    EXPECT_EQ(AskYesNo("Go on?"), 0);
    EXPECT_EQ(AskYesNo("Go on?", "Title"), 0);
    ShowNotice("Done.");  // returns all the same
    ShowNotice("Done.", "Title");
}

}  // namespace
}  // namespace conlib
