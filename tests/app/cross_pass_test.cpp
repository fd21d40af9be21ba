// The demo's cross drawing pass on a headless console of 80x40, read back cell by cell. Its
// first pause ends with a typed key, its second at the end of the console's input.
#include <gtest/gtest.h>

#include <string>

#include "conlib/console.hpp"
#include "platform/win.hpp"
#include "program.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

TEST(CrossDrawingPass, DrawsTheCrossUnderTheFinalPrompt) {
    EnsureConsole();
    ConWriteText("text left from before");
    ASSERT_NO_FATAL_FAILURE(Inject(KeyStroke('X', 'x', 0x2D)));

    demo::CrossDrawingPass();

    ASSERT_EQ(BufferSize().X, 80);
    ASSERT_EQ(BufferSize().Y, 40);
    for (int y = 0; y < 40; ++y) {
        SCOPED_TRACE("row " + std::to_string(y));
        std::string expected(80, ' ');
        if (y >= 1 && y <= 30) expected[15] = '|';
        if (y == 15) {
            // The prompt stands over columns 2 to 29 of the bar; the crossing shows its blank.
            expected.replace(0, 31, " -Press any key to continue...-");
        }
        EXPECT_EQ(ReadCells(0, y, 80), expected);
    }
    EXPECT_EQ(Cursor().X, 30);
    EXPECT_EQ(Cursor().Y, 15);
}

}  // namespace
}  // namespace conlib
