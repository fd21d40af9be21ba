// Key reading and pause. Key events are written into the console's input queue and read back
// by the operations; the prompt is read back from the screen cells. Only console calls that
// every console offers are used.
#include "conlib/input.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "conlib/console.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

INPUT_RECORD Down(WORD vk, WORD scan, char ch = 0, DWORD state = 0) {
    return KeyRecord(true, vk, ch, scan, state);
}

INPUT_RECORD Up(WORD vk, WORD scan, char ch = 0, DWORD state = 0) {
    return KeyRecord(false, vk, ch, scan, state);
}

INPUT_RECORD FocusRecord() {
    INPUT_RECORD record{};
    record.EventType = FOCUS_EVENT;
    record.Event.FocusEvent.bSetFocus = TRUE;
    return record;
}

INPUT_RECORD MouseRecord() {
    INPUT_RECORD record{};
    record.EventType = MOUSE_EVENT;
    record.Event.MouseEvent.dwMousePosition = COORD{3, 4};
    return record;
}

// Keys as a keyboard types them.
const INPUT_RECORD ShiftDown = Down(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED);
const INPUT_RECORD ShiftUp = Up(VK_SHIFT, 0x2A);
const INPUT_RECORD CtrlDown = Down(VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED);
const INPUT_RECORD CtrlUp = Up(VK_CONTROL, 0x1D);
const INPUT_RECORD AltDown = Down(VK_MENU, 0x38, 0, LEFT_ALT_PRESSED);
const INPUT_RECORD AltUp = Up(VK_MENU, 0x38);
const INPUT_RECORD LetterADown = Down('A', 0x1E, 'a');
const INPUT_RECORD LetterAUp = Up('A', 0x1E, 'a');
const INPUT_RECORD LetterBDown = Down('B', 0x30, 'b');
const INPUT_RECORD LetterBUp = Up('B', 0x30, 'b');

// True when no input event is pending: the count is 0, or the input has ended.
bool QueueIsEmpty() {
    DWORD count = 0;
    if (win::GetNumberOfConsoleInputEvents(Input(), &count)) return count == 0;
    return win::GetLastError() == ERROR_HANDLE_EOF;
}

// Each test starts with an empty input queue and a blank screen.
class KeysTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetConsole(); }
};

// ---- KeyTranslate ----------------------------------------------------------------------------

// A character no translated key has, to see whether the character stays or becomes 0.
constexpr std::uint8_t Marker = '*';

struct TableRow {
    const char* key;
    std::uint16_t vk;
    std::uint8_t plain, ctrl, alt;
};

TEST(KeyTranslate, TableKeysTakeTheScanCodeOfTheirCtrlAltState) {
    const TableRow rows[] = {
        {"Left", 0x25, 0x4B, 0x73, 0x4B},     {"Right", 0x27, 0x4D, 0x74, 0x4D},
        {"Up", 0x26, 0x48, 0x8D, 0x48},       {"Down", 0x28, 0x50, 0x91, 0x50},
        {"Page Up", 0x21, 0x49, 0x84, 0x49},  {"Page Down", 0x22, 0x51, 0x76, 0x51},
        {"Home", 0x24, 0x47, 0x77, 0x47},     {"End", 0x23, 0x4F, 0x75, 0x4F},
        {"Insert", 0x2D, 0x52, 0x92, 0x52},   {"Delete", 0x2E, 0x53, 0x93, 0x53},
        {"keypad +", 0x6B, 0x4E, 0x90, 0x4E}, {"keypad -", 0x6D, 0x4A, 0x8E, 0x4A},
        {"F11", 0x7A, 0x85, 0x85, 0x85},      {"F12", 0x7B, 0x86, 0x86, 0x86},
        {"- and _", 0xBD, 0x0C, 0x0C, 0x82},  {"= and +", 0xBB, 0x0D, 0x0D, 0x83},
    };
    struct State {
        const char* name;
        std::uint32_t state;
        bool ctrl, alt;
    };
    const State states[] = {
        {"none", 0, false, false},
        {"Shift", SHIFT_PRESSED, false, false},
        {"locks and enhanced", NUMLOCK_ON | CAPSLOCK_ON | SCROLLLOCK_ON | ENHANCED_KEY, false,
         false},
        {"left Ctrl", LEFT_CTRL_PRESSED, true, false},
        {"right Ctrl", RIGHT_CTRL_PRESSED | SHIFT_PRESSED, true, false},
        {"left Alt", LEFT_ALT_PRESSED, false, true},
        {"right Alt", RIGHT_ALT_PRESSED | SHIFT_PRESSED, false, true},
        {"Ctrl and Alt: Ctrl wins", LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED, true, true},
    };
    for (const TableRow& row : rows) {
        for (const State& s : states) {
            SCOPED_TRACE(std::string(row.key) + " with " + s.name);
            // The scan code given in is never kept: every state has its column.
            const KeyCode got = KeyTranslate(Marker, 0x01, row.vk, s.state);
            const std::uint8_t scan = s.ctrl ? row.ctrl : s.alt ? row.alt : row.plain;
            const std::uint8_t ch = s.ctrl || s.alt ? 0 : Marker;
            EXPECT_EQ(got.scan, scan);
            EXPECT_EQ(got.ch, ch);
        }
    }
}

TEST(KeyTranslate, FunctionKeysOneToTenAreOffsetByTheirModifier) {
    for (std::uint16_t n = 0; n < 10; ++n) {
        SCOPED_TRACE(testing::Message() << "F" << n + 1);
        const auto vk = static_cast<std::uint16_t>(VK_F1 + n);
        const auto scan = static_cast<std::uint8_t>(0x3B + n);
        const auto expect = [&](std::uint32_t state, int base) {
            const KeyCode got = KeyTranslate(0, scan, vk, state);
            EXPECT_EQ(got.scan, base + n) << "state " << state;
            EXPECT_EQ(got.ch, 0);
        };
        expect(0, 0x3B);
        expect(NUMLOCK_ON | ENHANCED_KEY, 0x3B);
        expect(SHIFT_PRESSED, 0x54);
        expect(LEFT_CTRL_PRESSED, 0x5E);
        expect(RIGHT_CTRL_PRESSED | SHIFT_PRESSED, 0x5E);
        expect(LEFT_ALT_PRESSED, 0x68);
        expect(RIGHT_ALT_PRESSED | SHIFT_PRESSED, 0x68);
        expect(LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED, 0x5E);
    }
}

struct TranslateCase {
    const char* name;
    std::uint8_t ch, scan;
    std::uint16_t vk;
    std::uint32_t state;
    std::uint8_t wantCh, wantScan;
};

TEST(KeyTranslate, OtherKeys) {
    const TranslateCase cases[] = {
        {"plain letter", 'a', 0x1E, 'A', 0, 'a', 0x1E},
        {"Shift+A keeps both codes", 'A', 0x1E, 'A', SHIFT_PRESSED, 'A', 0x1E},
        {"Ctrl+A", 0x01, 0x1E, 'A', LEFT_CTRL_PRESSED, 0x01, 0x1E},
        {"Alt+A", 'a', 0x1E, 'A', LEFT_ALT_PRESSED, 'a', 0x1E},
        {"lock bits alone change nothing", '5', 0x06, '5', NUMLOCK_ON | CAPSLOCK_ON, '5', 0x06},
        {"character outside ASCII", 0x82, 0x12, 'E', 0, 0x82, 0x12},
        {"Alt+1", '1', 0x02, '1', LEFT_ALT_PRESSED, 0, 0x78},
        {"Alt+5", '5', 0x06, '5', LEFT_ALT_PRESSED, 0, 0x7C},
        {"Alt+9", '9', 0x0A, '9', RIGHT_ALT_PRESSED, 0, 0x80},
        {"Alt+0", '0', 0x0B, '0', RIGHT_ALT_PRESSED, 0, 0x81},
        {"Ctrl+Alt+5 counts as Alt", '5', 0x06, '5', LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED, 0, 0x7C},
        {"Alt with a keypad digit", '5', 0x4C, VK_NUMPAD5, LEFT_ALT_PRESSED, 0, 0xC2},
        {"Ctrl+5", '5', 0x06, '5', LEFT_CTRL_PRESSED, '5', 0x06},
        {"Shift+5", '%', 0x06, '5', SHIFT_PRESSED, '%', 0x06},
        {"Shift+Tab", '\t', 0x0F, VK_TAB, SHIFT_PRESSED, 0, 0x0F},
        {"Tab", '\t', 0x0F, VK_TAB, 0, '\t', 0x0F},
        {"Ctrl+Tab", '\t', 0x0F, VK_TAB, LEFT_CTRL_PRESSED, '\t', 0x0F},
        {"Alt+Tab", '\t', 0x0F, VK_TAB, LEFT_ALT_PRESSED, '\t', 0x0F},
        {"Shift+Enter", '\r', 0x1C, VK_RETURN, SHIFT_PRESSED, '\r', 0x1C},
        {"scan code additions wrap at 8 bits", 0, 0xE0, VK_F1, LEFT_ALT_PRESSED, 0, 0x0D},
        {"keypad + keeps its character", '+', 0x4E, VK_ADD, 0, '+', 0x4E},
        {"Shift+= gives + on the = key", '+', 0x0D, VK_OEM_PLUS, SHIFT_PRESSED, '+', 0x0D},
        {"virtual key 0", 'x', 0x2D, 0, LEFT_ALT_PRESSED, 'x', 0x2D},
    };
    for (const TranslateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const KeyCode got = KeyTranslate(c.ch, c.scan, c.vk, c.state);
        EXPECT_EQ(got.ch, c.wantCh);
        EXPECT_EQ(got.scan, c.wantScan);
    }
}

// ---- KeyPoll ---------------------------------------------------------------------------------

TEST_F(KeysTest, PollLeavesTheInputModeAsItFoundIt) {
    for (const DWORD mode : {DWORD{0x1F7}, DWORD{0x0003}, DWORD{0}}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(win::SetConsoleMode(Input(), mode));
        EXPECT_FALSE(KeyPoll().available);
        EXPECT_EQ(InputMode(), mode);

        Inject({LetterADown, LetterAUp});
        EXPECT_TRUE(KeyPoll().available);
        EXPECT_EQ(InputMode(), mode);
    }
    win::SetConsoleMode(Input(), 0x1F7);
}

TEST_F(KeysTest, PollTakesTheFirstKeyAndDiscardsTheRest) {
    Inject({LetterADown, LetterAUp, LetterBDown, LetterBUp});
    const KeyPress key = KeyPoll();
    EXPECT_TRUE(key.available);
    EXPECT_EQ(key.ch, 'a');
    EXPECT_EQ(key.scan, 0x1E);
    EXPECT_EQ(key.vk, 'A');
    EXPECT_EQ(key.state, 0u);
    EXPECT_TRUE(QueueIsEmpty());
    EXPECT_FALSE(KeyPoll().available);
}

// The type-ahead a poll discards is what was pending when it looked: a key that arrives while
// the poll is still at work stays for the next poll. A second thread plays the typist: it
// watches the queue and types b once the poll has taken a, while the focus events that stood
// behind a at the look are being discarded. A round in which the typist came too late (the
// poll had discarded them all) is played again with twice as many events behind a, until three
// rounds have seen the typist strike within that span. (Where the console's lock keeps the
// typist out while the poll runs, as in sanitizer builds, b comes after the poll: it must
// still be the next key.)
TEST_F(KeysTest, KeyArrivingAfterThePollLookedIsKeptForTheNextPoll) {
    const INPUT_RECORD late[] = {LetterBDown, LetterBUp};
    DWORD behind = 8;
    int struckInside = 0;
    for (int round = 0; round < 24 && struckInside < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << behind << " behind a");
        std::vector<INPUT_RECORD> typeAhead = {LetterADown};
        typeAhead.insert(typeAhead.end(), behind, FocusRecord());
        ASSERT_NO_FATAL_FAILURE(Inject(typeAhead));

        DWORD seen = 0;
        std::atomic<bool> watching{false};
        std::thread typist([&] {
            DWORD count = 0;
            while (win::GetNumberOfConsoleInputEvents(Input(), &count) && count > behind)
                watching = true;
            seen = count;
            DWORD written = 0;
            win::WriteConsoleInputA(Input(), late, 2, &written);
        });
        while (!watching)
            std::this_thread::yield();
        const KeyPress first = KeyPoll();
        typist.join();

        EXPECT_TRUE(first.available);
        EXPECT_EQ(first.ch, 'a');
        const KeyPress next = KeyPoll();
        EXPECT_TRUE(next.available) << "b, typed with " << seen << " events pending, was lost";
        EXPECT_EQ(next.ch, 'b');
        EXPECT_TRUE(QueueIsEmpty());
        KeyFlush();

        if (seen > 0 && seen <= behind) {
            ++struckInside;
        } else if (behind < 4096) {
            behind *= 2;
        }
    }
    RecordProperty("struck_inside", struckInside);
}

TEST_F(KeysTest, PollConsumesWhatIsNoKeyPress) {
    const std::vector<INPUT_RECORD> notKeys[] = {
        {LetterAUp},
        {FocusRecord()},
        {MouseRecord()},
        {ShiftDown},
        {CtrlDown},
        {AltDown},
        {Down(VK_CAPITAL, 0x3A, 0, CAPSLOCK_ON)},
        {Down(VK_NUMLOCK, 0x45, 0, NUMLOCK_ON | ENHANCED_KEY)},
        {Down(VK_SCROLL, 0x46, 0, SCROLLLOCK_ON)},
        {ShiftDown, ShiftUp, CtrlDown, CtrlUp, AltDown, AltUp, FocusRecord(), LetterAUp},
    };
    for (const auto& records : notKeys) {
        SCOPED_TRACE(records.size());
        Inject(records);
        EXPECT_FALSE(KeyPoll().available);
        EXPECT_TRUE(QueueIsEmpty());
    }

    // The same events ahead of a key press are skipped on the way to it.
    Inject({FocusRecord(), LetterBUp, CtrlDown, CtrlUp, Down(VK_CAPITAL, 0x3A, 0, CAPSLOCK_ON),
            AltDown, AltUp, MouseRecord(), LetterBDown, LetterBUp});
    const KeyPress key = KeyPoll();
    EXPECT_TRUE(key.available);
    EXPECT_EQ(key.ch, 'b');
    EXPECT_EQ(key.scan, 0x30);
}

TEST_F(KeysTest, ShiftHeldThenA) {
    Inject({ShiftDown, Down('A', 0x1E, 'A', SHIFT_PRESSED), Up('A', 0x1E, 'A', SHIFT_PRESSED),
            ShiftUp});
    const KeyPress key = KeyPoll();
    EXPECT_TRUE(key.available);
    EXPECT_EQ(key.ch, 'A');
    EXPECT_EQ(key.scan, 0x1E);
    EXPECT_EQ(key.vk, 'A');
    EXPECT_EQ(key.state, SHIFT_PRESSED);
}

TEST_F(KeysTest, RepeatedPressYieldsOneKey) {
    Inject({KeyRecord(true, 'A', 'a', 0x1E, 0, 5), KeyRecord(true, 'A', 'a', 0x1E, 0, 1)});
    EXPECT_TRUE(KeyPoll().available);
    EXPECT_FALSE(KeyPoll().available);
}

TEST_F(KeysTest, PressWithoutVirtualKeyIsUsedUpAsNoKey) {
    Inject({Down(0, 0, 'x'), Up(0, 0, 'x'), LetterBDown, LetterBUp});
    EXPECT_FALSE(KeyPoll().available);
    // The poll ended at that press, and what stood behind it went with it.
    EXPECT_TRUE(QueueIsEmpty());
    EXPECT_FALSE(KeyPoll().available);
}

TEST_F(KeysTest, PollTranslatesCursorKeys) {
    constexpr DWORD Enhanced = ENHANCED_KEY;
    const DWORD ctrl = LEFT_CTRL_PRESSED | Enhanced;
    const DWORD alt = LEFT_ALT_PRESSED | Enhanced;
    struct Case {
        const char* name;
        std::vector<INPUT_RECORD> records;
        WORD vk;
        std::uint8_t ch, scan;
        DWORD state;
    };
    const Case cases[] = {
        {"Left",
         {Down(VK_LEFT, 0x4B, 0, Enhanced), Up(VK_LEFT, 0x4B, 0, Enhanced)},
         VK_LEFT,
         0,
         0x4B,
         Enhanced},
        {"Ctrl+Left",
         {CtrlDown, Down(VK_LEFT, 0x4B, 0, ctrl), Up(VK_LEFT, 0x4B, 0, ctrl), CtrlUp},
         VK_LEFT,
         0,
         0x73,
         ctrl},
        {"Alt+Left",
         {AltDown, Down(VK_LEFT, 0x4B, 0, alt), Up(VK_LEFT, 0x4B, 0, alt), AltUp},
         VK_LEFT,
         0,
         0x4B,
         alt},
        {"keypad +", {Down(VK_ADD, 0x4E, '+'), Up(VK_ADD, 0x4E, '+')}, VK_ADD, '+', 0x4E, 0},
        {"Shift+F1",
         {ShiftDown, Down(VK_F1, 0x3B, 0, SHIFT_PRESSED), Up(VK_F1, 0x3B, 0, SHIFT_PRESSED),
          ShiftUp},
         VK_F1,
         0,
         0x54,
         SHIFT_PRESSED},
        {"Alt+5",
         {AltDown, Down('5', 0x06, '5', LEFT_ALT_PRESSED), Up('5', 0x06, '5', LEFT_ALT_PRESSED),
          AltUp},
         '5',
         0,
         0x7C,
         LEFT_ALT_PRESSED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Inject(c.records);
        const KeyPress key = KeyPoll();
        EXPECT_TRUE(key.available);
        EXPECT_EQ(key.ch, c.ch);
        EXPECT_EQ(key.scan, c.scan);
        EXPECT_EQ(key.vk, c.vk);
        EXPECT_EQ(key.state, c.state);
        EXPECT_TRUE(QueueIsEmpty());
    }
}

TEST_F(KeysTest, FlushDiscardsEverythingPending) {
    Inject({LetterADown, LetterAUp, FocusRecord()});
    KeyFlush();
    EXPECT_TRUE(QueueIsEmpty());
}

// ---- KeyWaitChar and ConPause ----------------------------------------------------------------

TEST_F(KeysTest, WaitCharReturnsThePendingKey) {
    Inject({ShiftUp, CtrlDown, Down(VK_HOME, 0x47, 0, LEFT_CTRL_PRESSED | ENHANCED_KEY)});
    const KeyCode key = KeyWaitChar();
    EXPECT_EQ(key.ch, 0);
    EXPECT_EQ(key.scan, 0x77);
    EXPECT_TRUE(QueueIsEmpty());
}

TEST_F(KeysTest, PauseWritesItsPromptAtTheCursorAndTakesOneKey) {
    ConMoveCursor(5, 3);
    Inject({LetterADown, LetterAUp});
    ConPause();
    EXPECT_EQ(ReadCells(0, 3, 40), "     Press any key to continue...       ");
    // No line break, and the key is not shown.
    EXPECT_EQ(Cursor().X, 33);
    EXPECT_EQ(Cursor().Y, 3);
    EXPECT_EQ(ReadCells(0, 4, 40), std::string(40, ' '));
    EXPECT_TRUE(QueueIsEmpty());
}

}  // namespace
}  // namespace conlib
