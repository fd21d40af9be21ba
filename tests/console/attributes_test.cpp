// Text attributes and the screen buffer's size, on a buffer of 120 by 300 cells.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "conlib/console.hpp"
#include "console/session.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

// Each test runs on a buffer of 120 by 300 cells, larger than any console window.
class Attributes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win::SetConsoleScreenBufferSize(Output(), COORD{120, 300}));
    }
    void TearDown() override { ConSetTextAttr(0x07); }
};

TEST_F(Attributes, WindowSizeIsTheBufferSize) {
    const ScreenSize size = ConGetWindowSize();
    EXPECT_EQ(size.columns, 120);
    EXPECT_EQ(size.rows, 300);
}

TEST_F(Attributes, SetThenGetRoundTrips) {
    const std::uint16_t attributes[] = {0x07, 0x1E, 0xF0, 0x00, 0x4F, 0x8F, 0xFF, 0x70};
    for (const std::uint16_t attribute : attributes) {
        ConSetTextAttr(attribute);
        EXPECT_EQ(ConGetTextAttr(), attribute);
    }
}

TEST_F(Attributes, GovernLaterOutputOnly) {
    ConSetTextAttr(0x07);
    ConClearScreen();
    ConWriteText("ab");
    ConSetTextAttr(0x1E);
    EXPECT_EQ(ReadAttributes(0, 0, 3), (std::vector<WORD>{0x07, 0x07, 0x07}));

    ConWriteChar('c');
    ConWriteHexPair(0x5A);
    EXPECT_EQ(ReadAttributes(0, 0, 5), (std::vector<WORD>{0x07, 0x07, 0x1E, 0x1E, 0x1E}));

    // A clear paints every cell in the current attribute.
    ConSetTextAttr(0x4F);
    ConClearScreen();
    const std::vector<WORD> all = ReadAttributes(0, 0, 120 * 300);
    ASSERT_EQ(all.size(), 120u * 300u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i], 0x4F) << "cell " << i % 120 << ", " << i / 120;
    }
}

// Each of the three, called first in a fresh process, makes the console session ready.
TEST(AttributesStart, EachOperationReadiesTheSession) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    void (*const operations[])() = {
        [] { static_cast<void>(ConGetWindowSize()); },
        [] { static_cast<void>(ConGetTextAttr()); },
        [] { ConSetTextAttr(0x07); },
    };
    for (std::size_t i = 0; i < std::size(operations); ++i) {
        EXPECT_EXIT(
            {
                const bool before = detail::ConsoleSession.ready == 0;
                operations[i]();
                const bool after =
                    detail::ConsoleSession.ready != 0 && detail::ConsoleSession.output == Output();
                std::exit(before && after ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << "operation " << i;
    }
}

}  // namespace
}  // namespace conlib
