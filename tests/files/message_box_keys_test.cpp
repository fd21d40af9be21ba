// Message boxes answered with keys: the console host draws the box over the headless console
// and reads the keys written into its input, which ends once the queue is empty. (The system's
// box on Windows reads no console.)
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

using Keys = std::vector<INPUT_RECORD>;

// A press and release of a key.
Keys Press(WORD vk, char ch, DWORD state = 0) {
    return KeyStroke(vk, ch, 0, state);
}

Keys Letter(char ch) {
    return TextStrokes(std::string(1, ch));
}

const Keys Enter = Press(VK_RETURN, '\r');
const Keys Space = Press(VK_SPACE, ' ');
const Keys Escape = Press(VK_ESCAPE, '\x1b');
const Keys Tab = Press(VK_TAB, '\t');
const Keys ShiftTab = Press(VK_TAB, '\t', SHIFT_PRESSED);
const Keys Left = Press(VK_LEFT, 0, ENHANCED_KEY);
const Keys Right = Press(VK_RIGHT, 0, ENHANCED_KEY);
const Keys Up = Press(VK_UP, 0, ENHANCED_KEY);
const Keys Down = Press(VK_DOWN, 0, ENHANCED_KEY);

Keys Join(const std::vector<Keys>& parts) {
    Keys all;
    for (const Keys& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The cells of the whole buffer, characters and attributes.
struct Screen {
    std::vector<std::string> chars;
    std::vector<std::vector<WORD>> attributes;
    bool operator==(const Screen&) const = default;
};

Screen ReadScreen() {
    const COORD size = BufferSize();
    Screen screen;
    for (int y = 0; y < size.Y; ++y) {
        screen.chars.push_back(ReadCells(0, y, size.X));
        screen.attributes.push_back(ReadAttributes(0, y, size.X));
    }
    return screen;
}

// Every cell different from its neighbours, in character and in attribute.
void FillPattern() {
    const COORD size = BufferSize();
    for (SHORT y = 0; y < size.Y; ++y) {
        std::string chars;
        std::vector<WORD> attributes;
        for (int x = 0; x < size.X; ++x) {
            chars += static_cast<char>(0x21 + (x * 7 + y * 3) % 0xDE);
            attributes.push_back(static_cast<WORD>((x * 13 + y * 5) % 0x100));
        }
        DWORD written = 0;
        win::WriteConsoleOutputCharacterA(Output(), chars.data(), static_cast<DWORD>(size.X),
                                          COORD{0, y}, &written);
        win::WriteConsoleOutputAttribute(Output(), attributes.data(), static_cast<DWORD>(size.X),
                                         COORD{0, y}, &written);
    }
}

CONSOLE_SCREEN_BUFFER_INFO BufferInfo() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    win::GetConsoleScreenBufferInfo(Output(), &info);
    return info;
}

class MessageBoxKeysTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetConsole(); }

    // The next key press still in the input queue: 0 when there is none.
    static char NextQueuedCharacter() {
        INPUT_RECORD record{};
        DWORD count = 0;
        if (!win::PeekConsoleInputA(Input(), &record, 1, &count) || count == 0) return 0;
        return record.Event.KeyEvent.uChar.AsciiChar;
    }
};

TEST_F(MessageBoxKeysTest, WithNoInputLeftTheQuestionGivesZeroAtTheEndOfInput) {
    EXPECT_EQ(AskYesNo("Go on?"), 0);
    EXPECT_EQ(win::GetLastError(), ERROR_HANDLE_EOF);
}

struct AnswerCase {
    const char* name;
    UINT type;
    Keys keys;
    int answer;
};

TEST_F(MessageBoxKeysTest, AnswersFollowTheKeys) {
    constexpr UINT Question = MB_YESNO | MB_ICONQUESTION;
    const AnswerCase cases[] = {
        {"Y", Question, Letter('Y'), IDYES},
        {"y", Question, Letter('y'), IDYES},
        {"N", Question, Letter('N'), IDNO},
        {"n", Question, Letter('n'), IDNO},
        {"Enter on the first button", Question, Enter, IDYES},
        {"Space on the first button", Question, Space, IDYES},
        {"Tab, Enter", Question, Join({Tab, Enter}), IDNO},
        {"Tab wraps round", Question, Join({Tab, Tab, Enter}), IDYES},
        {"Shift+Tab wraps back", Question, Join({ShiftTab, Enter}), IDNO},
        {"Right, Space", Question, Join({Right, Space}), IDNO},
        {"Right, Left, Enter", Question, Join({Right, Left, Enter}), IDYES},
        {"Down, Enter", Question, Join({Down, Enter}), IDNO},
        {"Up, Enter", Question, Join({Up, Enter}), IDNO},
        {"Escape is No", Question, Escape, IDNO},
        {"Escape after a move", Question, Join({Tab, Tab, Escape}), IDNO},
        {"other keys do nothing", Question,
         Join({Letter('x'), Letter('o'), Letter('c'), Press(VK_F1, 0), Letter('n')}), IDNO},
        {"releases do nothing", Question,
         Join({{KeyRecord(false, 'Y', 'y'), KeyRecord(false, VK_RETURN, '\r')}, Letter('n')}),
         IDNO},
        {"other events do nothing", Question, Join({{INPUT_RECORD{FOCUS_EVENT, {}}}, Tab, Enter}),
         IDNO},
        {"a question without the icon", MB_YESNO, Letter('y'), IDYES},
        {"OK: Enter", MB_OK, Enter, IDOK},
        {"OK: Space", MB_OK, Space, IDOK},
        {"OK: Escape", MB_OK, Escape, IDOK},
        {"OK: O", MB_OK, Letter('o'), IDOK},
        {"OK: Y and N do nothing", MB_OK, Join({Letter('y'), Letter('n'), Tab, Enter}), IDOK},
        {"OK/Cancel: Enter", MB_OKCANCEL, Enter, IDOK},
        {"OK/Cancel: Tab, Enter", MB_OKCANCEL, Join({Tab, Enter}), IDCANCEL},
        {"OK/Cancel: Escape", MB_OKCANCEL, Escape, IDCANCEL},
        {"OK/Cancel: C", MB_OKCANCEL, Letter('c'), IDCANCEL},
        {"Yes/No/Cancel: Enter", MB_YESNOCANCEL, Enter, IDYES},
        {"Yes/No/Cancel: N", MB_YESNOCANCEL, Letter('n'), IDNO},
        {"Yes/No/Cancel: Shift+Tab", MB_YESNOCANCEL | MB_ICONQUESTION, Join({ShiftTab, Space}),
         IDCANCEL},
        {"Yes/No/Cancel: Escape", MB_YESNOCANCEL, Escape, IDCANCEL},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        win::FlushConsoleInputBuffer(Input());
        // A key after the answer stays for the program.
        ASSERT_NO_FATAL_FAILURE(Inject(Join({c.keys, Letter('z')})));
        const int answer = c.type == Question
                               ? AskYesNo("Shall we?", "Question")
                               : win::MessageBoxA(nullptr, "Shall we?", "Question", c.type);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(NextQueuedCharacter(), 'z');
    }
}

TEST_F(MessageBoxKeysTest, InputThatEndsBeforeAnAnswerGivesZero) {
    ASSERT_NO_FATAL_FAILURE(Inject(Join({Tab, Letter('x'), Right})));
    win::SetLastError(0);
    EXPECT_EQ(AskYesNo("Shall we?"), 0);
    EXPECT_EQ(win::GetLastError(), ERROR_HANDLE_EOF);
}

TEST_F(MessageBoxKeysTest, NoticeTakesOneKeyAndLeavesTheRest) {
    ASSERT_NO_FATAL_FAILURE(Inject(Join({Letter('q'), Enter, Letter('z')})));
    ShowNotice("Saved.");
    EXPECT_EQ(NextQueuedCharacter(), 'z');
}

TEST_F(MessageBoxKeysTest, UnknownStylesAreRefused) {
    // Abort/Retry/Ignore, Retry/Cancel, and an icon this console does not draw.
    const UINT types[] = {0x2, 0x5, 0x10 | MB_OK, 0x40 | MB_YESNO};
    for (const UINT type : types) {
        SCOPED_TRACE(type);
        ASSERT_NO_FATAL_FAILURE(Inject(Enter));
        win::SetLastError(0);
        EXPECT_EQ(win::MessageBoxA(nullptr, "text", "caption", type), 0);
        EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(NextQueuedCharacter(), '\r');  // no box read it
        win::FlushConsoleInputBuffer(Input());
    }
}

struct RestoreCase {
    const char* name;
    Keys keys;
    int answer;  // -1: a notice, which gives none
};

TEST_F(MessageBoxKeysTest, TheScreenIsAsItWasOnceTheBoxIsGone) {
    const RestoreCase cases[] = {
        {"answered after moves", Join({Tab, Right, Left, Enter}), IDNO},
        {"input ended", {}, 0},
        {"notice", Escape, -1},
    };
    const DWORD lineMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        FillPattern();
        ASSERT_TRUE(win::SetConsoleCursorPosition(Output(), COORD{7, 21}));
        ASSERT_TRUE(win::SetConsoleTextAttribute(Output(), 0x2E));
        ASSERT_TRUE(win::SetConsoleMode(Input(), lineMode));
        const Screen before = ReadScreen();
        if (!c.keys.empty()) {
            ASSERT_NO_FATAL_FAILURE(Inject(c.keys));
        }

        if (c.answer < 0) {
            ShowNotice("A notice of\r\nthree lines,\nthe last rather longer than the others");
        } else {
            EXPECT_EQ(AskYesNo("Keep the cells?", "A long caption for a short question"), c.answer);
        }

        EXPECT_TRUE(ReadScreen() == before);
        const CONSOLE_SCREEN_BUFFER_INFO info = BufferInfo();
        EXPECT_EQ(info.dwCursorPosition.X, 7);
        EXPECT_EQ(info.dwCursorPosition.Y, 21);
        EXPECT_EQ(info.wAttributes, 0x2E);
        EXPECT_EQ(InputMode(), lineMode);
    }
}

}  // namespace
}  // namespace conlib
