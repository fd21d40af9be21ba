// The command-line tail: the scan over chosen command lines, and a child process's own tail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "conlib/files.hpp"
#include "files/command_line.hpp"
#include "files/tail_probe.hpp"

namespace conlib {
namespace {

using test::RunProbe;

struct TailCase {
    const char* commandLine;
    bool ok;
    const char* tail;  // what the buffer holds afterwards
};

// Runs the scan with a buffer that is `capacity` bytes of a larger guarded area, filled with
// 'x' beforehand so that a missing terminator or a write past the capacity shows.
struct TailRun {
    bool ok;
    std::string buffer;  // up to its terminator
    bool guardIntact;
};

TailRun RunTail(const char* commandLine, std::uint32_t capacity) {
    std::vector<char> area(capacity + 16, 'x');
    const bool ok = CopyArgumentTail(commandLine, area.data(), capacity);
    const auto limit = area.begin() + static_cast<std::ptrdiff_t>(capacity);
    const bool guardIntact = std::all_of(limit, area.end(), [](char ch) { return ch == 'x'; });
    const auto end = std::find(area.begin(), limit, '\0');
    return {ok, std::string(area.begin(), end), guardIntact};
}

TEST(ArgumentTail, FindsTheTailAfterTheProgramName) {
    const TailCase cases[] = {
        {"prog a b", true, "a b"},
        {"prog  a", true, " a"},
        {"\"C:\\dir\\prog.exe\" a b", true, " a b"},
        {"ab\"c d\"e f", true, "e f"},
        {"\"a b.exe\"x", true, "x"},
        {"prog\tx y", true, "y"},
        {"prog", false, ""},
        {"prog ", false, ""},
        {"prog  ", true, " "},
        {"prog x", true, "x"},
        {"\"a b.exe\"", false, ""},
        {"\"a b.exe\" x", true, " x"},
        {"\"a\"  b", true, "  b"},
        {"", false, ""},
        {" x", true, "x"},
        {"\"\"", false, ""},
        {"\"\" rest", true, " rest"},
        // A quote that is never closed ends at the end of the line: no tail.
        {"\"prog a b", false, ""},
        {"pr\"og a b", false, ""},
    };
    for (const TailCase& c : cases) {
        SCOPED_TRACE(c.commandLine);
        const TailRun run = RunTail(c.commandLine, 64);
        EXPECT_EQ(run.ok, c.ok);
        EXPECT_EQ(run.buffer, c.tail);
        EXPECT_TRUE(run.guardIntact);
    }
}

TEST(ArgumentTail, ATailThatDoesNotFitIsRefusedAndNothingPastTheCapacityIsWritten) {
    // "abc" needs 4 bytes with its terminator.
    struct {
        std::uint32_t capacity;
        bool ok;
        const char* buffer;
    } const cases[] = {{5, true, "abc"}, {4, true, "abc"}, {3, false, ""}, {1, false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        const TailRun run = RunTail("prog abc", c.capacity);
        EXPECT_EQ(run.ok, c.ok);
        EXPECT_EQ(run.buffer, c.buffer);
        EXPECT_TRUE(run.guardIntact);
    }

    // No room even for the empty text: nothing is written at all.
    char untouched[2] = {'x', 'x'};
    EXPECT_FALSE(CopyArgumentTail("prog abc", untouched, 0));
    EXPECT_EQ(untouched[0], 'x');
}

TEST(ArgumentTail, AFailureLeavesTheEmptyTextInAFilledBuffer) {
    char buffer[16] = "previous text";
    EXPECT_FALSE(CopyArgumentTail("prog", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

TEST(SkipQuotedText, StopsJustAfterTheClosingQuoteOrOnTheTerminator) {
    const char closed[] = "a b\" rest";
    EXPECT_EQ(SkipQuotedText(closed), closed + 4);
    const char empty[] = "\"x";
    EXPECT_EQ(SkipQuotedText(empty), empty + 1);
    const char unclosed[] = "a b";
    EXPECT_EQ(SkipQuotedText(unclosed), unclosed + 3);
    const char atEnd[] = "";
    EXPECT_EQ(SkipQuotedText(atEnd), atEnd);
}

TEST(ArgumentTail, AProcessSeesTheArgumentsItWasStartedWith) {
    EXPECT_EQ(RunProbe({}).tail, "failed[]");
    EXPECT_EQ(RunProbe({"one"}).tail, "ok[one]");
    EXPECT_EQ(RunProbe({"one", "two  three"}).tail, "ok[one \"two  three\"]");
    EXPECT_EQ(RunProbe({""}).tail, "ok[\"\"]");
    // The tail "one two" and its terminator need 8 bytes.
    EXPECT_EQ(RunProbe({"one", "two"}, 8).tail, "ok[one two]");
    EXPECT_EQ(RunProbe({"one", "two"}, 7).tail, "failed[]");
}

}  // namespace
}  // namespace conlib
