// The renderer's exact output, and the code page's glyphs.
#include "renderer.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/common/cp437.hpp"
#include "screen_buffer.hpp"

namespace conlib::posix {
namespace {

// A 10x4 terminal that has already been taken over, with the cursor at the top left.
class RendererTest : public ::testing::Test {
  protected:
    RendererTest() : screen(10, 4) {
        renderer.Reset(10, 4, Renderer::Start::Erase);
        Render();
    }

    std::string Render() {
        std::string out;
        renderer.Render(screen, out);
        return out;
    }
    void Write(const std::string& text) { screen.Write(text.data(), text.size()); }

    ScreenBuffer screen;
    Renderer renderer;
};

TEST(RendererStart, ScrollsTheOldContentIntoHistory) {
    ScreenBuffer screen(10, 3);
    Renderer renderer;
    renderer.Reset(10, 3, Renderer::Start::ScrollOut);
    screen.Write("hi", 2);
    std::string out;
    renderer.Render(screen, out);
    EXPECT_EQ(out,
              "\x1b[0m"  // default colours
              "\x1b[3H"  // last row
              "\n\n\n"   // everything shown moves up out of view
              "\x1b[H"   // top left
              "hi");     // the cursor ends behind the text: no move
}

TEST_F(RendererTest, ResetAfterAResizeErasesAndRedraws) {
    Write("ab");
    Render();
    renderer.Reset(10, 4, Renderer::Start::Erase);
    EXPECT_EQ(Render(), "\x1b[0m\x1b[H\x1b[2Jab");
}

TEST_F(RendererTest, NothingChangedWritesNothing) {
    EXPECT_EQ(Render(), "");
}

TEST_F(RendererTest, TextFollowsTheCursor) {
    Write("abc");
    EXPECT_EQ(Render(), "abc");
    Write("d");
    EXPECT_EQ(Render(), "d");
    Write("\r\n");
    EXPECT_EQ(Render(), "\r\n");  // only the cursor moved
}

TEST_F(RendererTest, CursorMovesTakeTheShortestForm) {
    struct Move {
        int x;
        int y;
        const char* bytes;
    };
    // From (0, 0), each move starting where the previous one ended.
    const Move moves[] = {
        {5, 0, "\x1b[5C"},    // right on the same row
        {6, 0, "\x1b[C"},     // one right: no count
        {4, 0, "\b\b"},       // two left: backspaces
        {0, 0, "\r"},         // column 0
        {0, 1, "\r\n"},       // start of the next row
        {0, 3, "\x1b[2B"},    // down in the same column
        {0, 2, "\x1b[A"},     // one up
        {7, 3, "\x1b[4;8H"},  // anywhere else: absolute
        {0, 0, "\x1b[H"},     // top left
        {0, 2, "\x1b[2B"},   {3, 0, "\x1b[1;4H"},
        {0, 3, "\x1b[4H"},  // absolute with column 1 omitted
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(testing::Message() << "to " << move.x << "," << move.y);
        ASSERT_TRUE(screen.SetCursor(move.x, move.y));
        EXPECT_EQ(Render(), move.bytes);
    }
}

TEST_F(RendererTest, ShortGapsAreRewrittenLongOnesSkipped) {
    screen.WriteCharacters("a", 1, 1, 0);
    screen.WriteCharacters("b", 1, 4, 0);  // gap of two unchanged cells
    screen.WriteCharacters("c", 1, 9, 0);  // gap of four: a cursor move is shorter
    EXPECT_EQ(Render(),
              "\x1b[C"    // to column 1
              "a  b"      // the two blanks between are written again
              "\x1b[4C"   // skip to column 9
              "c"         // the last column: the terminal may wrap, so ...
              "\x1b[H");  // ... the cursor goes back with an absolute move
}

TEST_F(RendererTest, AttributesBecomeColours) {
    struct Case {
        std::uint16_t attribute;
        const char* sequence;
    };
    const Case cases[] = {
        {0x07, "\x1b[0m"},            // the console's default: the terminal's default
        {0x1F, "\x1b[0;97;44m"},      // bright white on blue
        {0x0C, "\x1b[0;91;40m"},      // bright red (red is 4 in the console, 1 on terminals)
        {0x21, "\x1b[0;34;42m"},      // blue on green
        {0x70, "\x1b[0;30;47m"},      // black on light grey
        {0xE6, "\x1b[0;33;103m"},     // brown on bright yellow
        {0x8007, "\x1b[0;37;40;4m"},  // underscore
        {0x4007, "\x1b[0;37;40;7m"},  // reverse video
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "attribute " << std::hex << c.attribute);
        std::string out;
        AppendAttributeSequence(c.attribute, out);
        EXPECT_EQ(out, c.sequence);
    }

    screen.SetAttribute(0x1F);
    Write("ab");
    screen.SetAttribute(0x07);
    Write("c");
    EXPECT_EQ(Render(), "\x1b[0;97;44mab\x1b[0mc");
}

TEST_F(RendererTest, ScrollingMovesTheTerminalToo) {
    Write("1\r\n2\r\n3\r\n4");
    Render();
    Write("\r\n5");
    EXPECT_EQ(Render(),
              "\r"   // to the start of the last row
              "\n"   // the terminal scrolls as the buffer did
              "5");  // only the new row is drawn
}

TEST_F(RendererTest, ScrollingMoreThanTheScreenRedrawsIt) {
    Write("x");
    Render();
    Write("\n\n\n\n\n\n\n\nend");  // three moves down, then five scrolls
    EXPECT_EQ(Render(), "\x1b[H\x1b[2J\x1b[3Bend");
}

TEST_F(RendererTest, GlyphsAreCodePage437InUtf8) {
    screen.WriteCharacters("\x9e\x9d\x9c\x01\xdb", 5, 0, 0);
    // Cell writes leave the cursor at the top left: a carriage return brings it back.
    EXPECT_EQ(Render(), "\xe2\x82\xa7\xc2\xa5\xc2\xa3\xe2\x98\xba\xe2\x96\x88\r");
}

TEST_F(RendererTest, BellRingsOnce) {
    Write("a\a\ab");
    EXPECT_EQ(Render(), "ab\a");
}

TEST_F(RendererTest, FinishLeavesDefaultColoursOnAFreshLine) {
    screen.SetAttribute(0x1F);
    Write("ab");
    Render();
    std::string out;
    renderer.Finish(out);
    EXPECT_EQ(out, "\x1b[0m\r\n");
}

TEST(CodePage437, GlyphsOfEveryKindOfByte) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    };
    const Case cases[] = {
        {0x00, " "},      {0x01, "\u263A"}, {0x07, "\u2022"}, {0x0A, "\u25D9"}, {0x1B, "\u2190"},
        {0x41, "A"},      {0x7F, "\u2302"}, {0x80, "\u00C7"}, {0x9E, "\u20A7"}, {0xB3, "\u2502"},
        {0xDB, "\u2588"}, {0xE0, "\u03B1"}, {0xFE, "\u25A0"}, {0xFF, "\u00A0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte " << static_cast<int>(c.byte));
        EXPECT_EQ(platform::Cp437Glyph(c.byte), c.utf8);
    }
    for (int byte = 0; byte < 256; ++byte) {
        const auto glyph = platform::Cp437Glyph(static_cast<unsigned char>(byte));
        EXPECT_FALSE(glyph.empty());
        EXPECT_LE(glyph.size(), 3u);
    }
}

}  // namespace
}  // namespace conlib::posix
