// The input queue both system layers serve the console's input calls from, on a source that
// gives scripted bytes: lines and characters of a stream, however its reads split them, keys
// read one at a time, escape sequences whose rest comes late or never, a full queue and the
// end of the input.
#include "platform/common/input_queue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win.hpp"

namespace conlib::platform {
namespace {

using namespace win;

// A stream that gives its script one step a read: the step's bytes, as many as the read has
// room for (the rest stays for the next read), or, for an empty step, nothing this time.
// After the last step it has ended.
class ScriptedInput final : public InputQueue {
  public:
    explicit ScriptedInput(std::vector<std::string> steps) : steps_(std::move(steps)) {}

  private:
    SourceRead ReadSource(unsigned char* buffer, std::size_t room, int) override {
        if (next_ == steps_.size()) return {0, true};
        std::string& step = steps_[next_];
        const std::size_t count = std::min(room, step.size());
        std::memcpy(buffer, step.data(), count);
        step.erase(0, count);
        if (step.empty()) ++next_;
        return {count, false};
    }

    void TakeReport(const TerminalReport& report) override { reports.push_back(report); }

    std::vector<std::string> steps_;
    std::size_t next_ = 0;

  public:
    std::vector<TerminalReport> reports;
};

// The queue is too large for a test's stack.
std::unique_ptr<ScriptedInput> Scripted(std::vector<std::string> steps, DWORD mode) {
    auto input = std::make_unique<ScriptedInput>(std::move(steps));
    input->SetMode(mode);
    return input;
}

// What ReadText gives, `count` characters at most a call, until it fails; the failure must be
// the end of the input.
std::vector<std::string> ReadAll(InputQueue& input, DWORD count) {
    std::vector<std::string> texts;
    for (;;) {
        std::string text(count, '\0');
        DWORD read = 99;
        if (input.ReadText(text.data(), count, &read) == FALSE) {
            EXPECT_EQ(read, 0u);
            EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
            return texts;
        }
        text.resize(read);
        texts.push_back(text);
    }
}

// The virtual key codes of the key presses read until the input ends.
std::vector<WORD> KeysPressed(InputQueue& input) {
    std::vector<WORD> keys;
    INPUT_RECORD record{};
    DWORD read = 0;
    while (input.ReadRecords(&record, 1, &read) != FALSE && read == 1) {
        if (record.Event.KeyEvent.bKeyDown != FALSE) {
            keys.push_back(record.Event.KeyEvent.wVirtualKeyCode);
        }
    }
    return keys;
}

struct TextCase {
    const char* what;
    DWORD mode;
    DWORD count;
    std::vector<std::string> steps;
    std::vector<std::string> texts;
};

TEST(InputQueueTest, TextOfAStream) {
    const std::string longLine(5000, 'a');
    const TextCase cases[] = {
        {"LF and CR LF end lines",
         ENABLE_LINE_INPUT,
         80,
         {"one\ntwo\r\n\nx\n"},
         {"one\r\n", "two\r\n", "\r\n", "x\r\n"}},
        {"CR LF split across reads",
         ENABLE_LINE_INPUT,
         80,
         {"ab\r", "\ncd\r", "\n", "e\r"},
         {"ab\r\n", "cd\r\n", "e\r"}},
        {"a CR without LF is a character", ENABLE_LINE_INPUT, 80, {"a\rb\n"}, {"a\rb\r\n"}},
        {"an unfinished last line as it is",
         ENABLE_LINE_INPUT,
         80,
         {"one\nla", "st"},
         {"one\r\n", "last"}},
        {"a line in pieces of the count",
         ENABLE_LINE_INPUT,
         3,
         {"abcdefg\nh\n"},
         {"abc", "def", "g\r\n", "h\r\n"}},
        {"a line as long as the count arrives whole",
         ENABLE_LINE_INPUT,
         9000,
         {std::string(9000, 'a') + "\r\n"},
         {std::string(9000, 'a'), "\r\n"}},
        {"a line past the count and the capacity is cut, its end kept",
         ENABLE_LINE_INPUT,
         4000,
         {longLine + "\r\n"},
         {std::string(4000, 'a'), std::string(InputQueue::LineCapacity - 2 - 4000, 'a') + "\r\n"}},
        {"no input", ENABLE_LINE_INPUT, 80, {}, {}},
        // Without line input a call takes what one read gives, at most the count.
        {"characters up to the count", 0, 4, {"abcdef", "gh"}, {"abcd", "ef", "gh"}},
        {"line ends are characters too", 0, 80, {"a\r\n", "b"}, {"a\r\n", "b"}},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto input = Scripted(c.steps, c.mode);
        EXPECT_EQ(ReadAll(*input, c.count), c.texts);
    }
}

TEST(InputQueueTest, KeysBeforeALineAreTakenOneAtATime) {
    auto input = Scripted({"xy\r\nz\n"}, ENABLE_LINE_INPUT);
    DWORD count = 0;
    ASSERT_TRUE(input->CountRecords(&count));
    EXPECT_EQ(count, 2u);  // x, down and up: y is not read yet
    // A flush discards the key in hand, not what the source still holds.
    input->Flush();
    INPUT_RECORD records[4] = {};
    DWORD read = 0;
    ASSERT_TRUE(input->ReadRecords(records, 4, &read));
    ASSERT_EQ(read, 2u);
    EXPECT_EQ(records[0].Event.KeyEvent.wVirtualKeyCode, 'Y');
    EXPECT_EQ(ReadAll(*input, 80), (std::vector<std::string>{"\r\n", "z\r\n"}));
}

struct KeyCase {
    const char* what;
    std::vector<std::string> steps;
    std::vector<WORD> keys;
};

TEST(InputQueueTest, EscapeSequencesAcrossReads) {
    const KeyCase cases[] = {
        {"the rest comes with the next reads", {"\x1b", "[", "A"}, {VK_UP}},
        {"the rest never comes: Escape, then the next key", {"\x1b", "", "x"}, {VK_ESCAPE, 'X'}},
        {"a key right behind ESC: Alt with it", {"\x1b", "x"}, {VK_MENU, 'X'}},
        {"the input ends inside a sequence", {"\x1b["}, {VK_MENU, VK_OEM_4}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto input = Scripted(c.steps, 0);
        EXPECT_EQ(KeysPressed(*input), c.keys);
    }
}

// The terminal's replies go to TakeReport, however the reads split them, and never into the
// queue; nor does the rest of a sequence too long to hold.
TEST(InputQueueTest, RepliesOfTheTerminalAreNoKeys) {
    auto input = Scripted(
        {"a\x1b[?2026;", "2$y\x1b]11;rgb:0/0/0\x1b", "\\b", "\x1b[", std::string(600, '9'), "~c"},
        0);
    EXPECT_EQ(KeysPressed(*input), (std::vector<WORD>{'A', 'B', 'C'}));
    ASSERT_EQ(input->reports.size(), 1u);
    EXPECT_EQ(input->reports[0].kind, TerminalReport::Kind::Mode);
    EXPECT_EQ(input->reports[0].values[0], 2026u);
}

TEST(InputQueueTest, QueueGrowsForABurstAndKeepsTheOrder) {
    constexpr std::size_t Start = InputQueue::QueueStart;
    auto input = Scripted({}, 0);
    std::vector<INPUT_RECORD> records(3 * Start);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].EventType = KEY_EVENT;
        records[i].Event.KeyEvent.wVirtualScanCode = static_cast<WORD>(i);
    }
    // The ring wraps before it grows: the front has moved on.
    DWORD done = 0;
    ASSERT_TRUE(input->WriteRecords(records.data(), Start - 5, &done));
    EXPECT_EQ(done, Start - 5);
    std::vector<INPUT_RECORD> out(records.size());
    ASSERT_TRUE(input->ReadRecords(out.data(), 10, &done));
    EXPECT_EQ(done, 10u);
    const auto rest = static_cast<DWORD>(records.size() - (Start - 5));
    ASSERT_TRUE(input->WriteRecords(records.data() + (Start - 5), rest, &done));
    EXPECT_EQ(done, rest);

    const auto held = static_cast<DWORD>(records.size() - 10);
    ASSERT_TRUE(input->PeekRecords(out.data(), static_cast<DWORD>(out.size()), &done));
    ASSERT_EQ(done, held);
    for (std::size_t i = 0; i < held; ++i) {
        ASSERT_EQ(out[i].Event.KeyEvent.wVirtualScanCode, static_cast<WORD>(i + 10))
            << "record " << i;
    }
}

TEST(InputQueueTest, EndOfInput) {
    auto input = Scripted({"a"}, 0);
    INPUT_RECORD records[2] = {};
    DWORD count = 99;
    ASSERT_TRUE(input->ReadRecords(records, 2, &count));
    EXPECT_EQ(count, 2u);

    // Once nothing is left, what waits for input fails instead of waiting.
    EXPECT_FALSE(input->CountRecords(&count));
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
    EXPECT_FALSE(input->ReadRecords(records, 2, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(input->ReadRecords(records, 0, &count));
    EXPECT_TRUE(input->PeekRecords(records, 2, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(input->Ended());

    // Records written after the end are read as any others.
    ASSERT_TRUE(input->WriteRecords(records, 1, &count));
    EXPECT_FALSE(input->Ended());
    ASSERT_TRUE(input->CountRecords(&count));
    EXPECT_EQ(count, 1u);
}

}  // namespace
}  // namespace conlib::platform
