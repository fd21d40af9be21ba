// The line editor: the line and the edit point that the keys typed leave, what each key says to
// redraw, the history behind Up and Down, F1 and F3, and the line's limit.
#include "platform/common/line_editor.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "support/console_support.hpp"

namespace conlib::platform {

std::ostream& operator<<(std::ostream& out, const LineChange& change) {
    static const char* const kinds[] = {"None", "Point", "Text", "Entered"};
    return out << kinds[static_cast<int>(change.kind)] << " from " << change.from;
}

namespace {

using namespace win;
using Kind = LineChange::Kind;

constexpr std::size_t Roomy = 4094;

// An editor fed with keys as test::EditStrokes takes them; each Enter starts the next line.
struct Typist {
    LineEditor editor;
    std::size_t most;
    LineChange last;
    std::vector<std::string> entered;

    explicit Typist(std::size_t limit) : most(limit) { editor.Start(limit); }

    void Keys(const std::string& keys) {
        for (const INPUT_RECORD& record : test::EditStrokes(keys)) {
            const LineChange change = editor.Key(record.Event.KeyEvent);
            // A key's release changes nothing.
            if (record.Event.KeyEvent.bKeyDown == FALSE) {
                EXPECT_EQ(change, LineChange{});
                continue;
            }
            last = change;
            if (change.kind == Kind::Entered) {
                EXPECT_EQ(editor.point(), editor.line().size());
                entered.emplace_back(editor.line());
                editor.Start(most);
            }
        }
    }
};

struct Row {
    const char* keys;  // as test::EditStrokes takes them: '\b' Backspace, '\r' Enter
    std::string line;  // the line being typed after them
    std::size_t point;
    LineChange change;  // what the last key said to redraw
    std::size_t most = Roomy;
};

TEST(LineEditor, Keys) {
    const Row rows[] = {
        // Typing, and moving the edit point.
        {"abc", "abc", 3, {Kind::Text, 2}},
        {"abc{L}{L}X", "aXbc", 2, {Kind::Text, 1}},
        {"ab{L}{L}{L}X{E}{R}{R}Y", "XabY", 4, {Kind::Text, 3}},  // Left and Right stop at ends
        {"abc{H}X{E}Y", "XabcY", 5, {Kind::Text, 4}},
        {"abc{L}", "abc", 2, {Kind::Point, 0}},
        {"abc{E}", "abc", 3, {Kind::Point, 0}},
        {"one  two three{W}{W}X{V}{V}Y", "one  Xtwo threeY", 16, {Kind::Text, 15}},
        {"ab cd{L}{W}X{V}Y", "ab XcdY", 7, {Kind::Text, 6}},  // from inside a word; to the end
        {"ab  {W}", "ab  ", 0, {Kind::Point, 0}},
        // Removing.
        {"abcd{L}{L}{D}{E}{D}", "abd", 3, {Kind::None, 0}},  // none at the end
        {"abcd{L}{L}\b{H}\b", "acd", 0, {Kind::None, 0}},    // none at the start
        {"abcd{L}\b", "abd", 2, {Kind::Text, 2}},
        {"abcdef{L}{L}{e}{L}{h}", "d", 0, {Kind::Text, 0}},
        {"abc{H}{h}", "abc", 0, {Kind::None, 0}},
        {"wrong\x1bright", "right", 5, {Kind::Text, 4}},
        {"ab\x1b", "", 0, {Kind::Text, 0}},
        // Insert and overwrite.
        {"abc{I}", "abc", 3, {Kind::None, 0}},
        {"abcd{H}{I}XY{E}Z", "XYcdZ", 5, {Kind::Text, 4}},  // overwrite extends at the end
        {"ab{L}{I}XYZ", "aXYZ", 4, {Kind::Text, 3}},
        {"a{I}{H}x\rab{H}X", "Xab", 1, {Kind::Text, 0}},  // each line starts in insert mode
        // A control character is one character of the line, a line feed and a tab included.
        {"a\x01z{L}{L}X", "aX\x01z", 2, {Kind::Text, 1}},
        {"a\x01z{H}{R}{D}", "az", 1, {Kind::Text, 1}},
        {"a\x01\bb", "ab", 2, {Kind::Text, 1}},
        {"ab\nc\td", "ab\nc\td", 6, {Kind::Text, 5}},
        // Enter hands the line over wherever the edit point is.
        {"abc{H}\r", "", 0, {Kind::Entered, 0}},
        // A full line takes no more characters; overwrite still replaces.
        {"abcdef", "abcd", 4, {Kind::None, 0}, 4},
        {"abcd{H}X", "abcd", 0, {Kind::None, 0}, 4},
        {"abcd{H}{I}X", "Xbcd", 1, {Kind::Text, 0}, 4},
        // Up and Down: empty lines are not kept, repeated ones are; Up replaces the line and puts
        // the edit point at its end; the walk starts again from the newest with each line.
        {"first\rsecond\r\r{U}", "second", 6, {Kind::Text, 0}},
        {"first\rsecond\rsecond\r{U}{U}{U}X", "firstX", 6, {Kind::Text, 5}},
        {"first\rsecond\r{U}{U}{U}", "first", 5, {Kind::None, 0}},  // none before the oldest
        {"first\rsecond\r{U}{U}{N}\bY", "seconY", 6, {Kind::Text, 5}},
        {"first\rsecond\rabc{U}{U}{N}{N}", "abc", 3, {Kind::Text, 0}},  // the line being typed
        {"first\r{N}{N}z", "z", 1, {Kind::Text, 0}},  // Down with no line recalled
        {"{U}x", "x", 1, {Kind::Text, 0}},            // Up with no history
        // An edit of a recalled line is a line of its own, the older one kept.
        {"first\r{U}{L}{L}-\r{U}{U}", "first", 5, {Kind::Text, 0}},
        {"abcdef\rz\r{U}{U}{N}", "z", 1, {Kind::Text, 0}},  // a shorter line over a longer
        // F1 and F3 copy from the last line entered: one character, the rest from the edit
        // point on, over the line.
        {"abcdef\r{1}{1}Z{3}", "abZdef", 6, {Kind::Text, 3}},
        {"abcdef\rXY{3}", "XYcdef", 6, {Kind::Text, 2}},
        {"abcdef\rXYZ{H}{1}", "aYZ", 1, {Kind::Text, 0}},
        {"ab\rxyz{3}", "xyz", 3, {Kind::None, 0}},  // nothing left of it past the edit point
        {"{1}{3}", "", 0, {Kind::None, 0}},         // no line entered yet
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.keys)));
        Typist typist(row.most);
        typist.Keys(row.keys);
        EXPECT_EQ(typist.editor.line(), row.line);
        EXPECT_EQ(typist.editor.point(), row.point);
        EXPECT_EQ(typist.last, row.change);
    }
}

TEST(LineEditor, EnterHandsTheLineOverAndKeepsItInTheHistory) {
    Typist typist(Roomy);
    typist.Keys("one\r\rtwo{H}\r{U}{U}");
    EXPECT_EQ(typist.entered, (std::vector<std::string>{"one", "", "two"}));
    EXPECT_EQ(typist.editor.line(), "one");
}

// A line recalled, or copied from with F3, into a line of a lower limit is cut to that limit.
TEST(LineEditor, LinesFromTheHistoryAreCutToTheLimit) {
    Typist typist(10);
    typist.Keys("abcdefgh\r");
    typist.most = 4;
    typist.editor.Start(4);
    typist.Keys("{U}");
    EXPECT_EQ(typist.editor.line(), "abcd");
    EXPECT_EQ(typist.editor.point(), 4u);
    typist.Keys("\b\b\b\b{3}");
    EXPECT_EQ(typist.editor.line(), "abcd");
}

// The line has no size of its own: a long line is kept whole; one longer than the whole
// history's room is not kept there, and the history goes on with the lines after it.
TEST(LineEditor, LinesOfAnyLength) {
    const std::string longLine(LineHistory::ArenaBytes + 1, 'x');
    Typist typist(longLine.size());
    typist.Keys(longLine);
    EXPECT_EQ(typist.editor.line(), longLine);
    typist.Keys("\r{U}");
    EXPECT_EQ(typist.editor.line(), "");
    typist.Keys("\rshort\r{U}");
    EXPECT_EQ(typist.editor.line(), "short");
}

// The history keeps the newest MostLines lines, and drops the oldest lines when the text of a
// new one needs their room.
TEST(LineHistory, DropsTheOldestLines) {
    LineHistory history;
    for (std::size_t i = 0; i < LineHistory::MostLines + 2; ++i)
        history.Add(std::to_string(i));
    ASSERT_EQ(history.size(), LineHistory::MostLines);
    EXPECT_EQ(history.At(0, 0), '2');

    const std::string half(LineHistory::ArenaBytes / 2, 'h');
    history.Add(half);
    history.Add(half);  // the whole ring, round its end: every line before goes
    ASSERT_EQ(history.size(), 2u);
    history.Add("ab");
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history.Length(1), 2u);
    EXPECT_EQ(std::string({history.At(1, 0), history.At(1, 1)}), "ab");
    EXPECT_EQ(history.Length(0), half.size());
}

}  // namespace
}  // namespace conlib::platform
