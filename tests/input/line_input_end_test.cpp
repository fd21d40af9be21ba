// Line input at the end of the console's input: on the headless console nothing can arrive
// once its queue is empty, and standard input from a pipe ends where its writer closed it.
// Every read must then end with what was delivered instead of waiting for ever.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

class LineEndOfInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetConsole();
        win::SetConsoleMode(Input(), UsualMode);
    }

    static constexpr DWORD UsualMode = 0x1F7;
};

TEST_F(LineEndOfInputTest, NothingDeliveredLeavesTheBufferAsItWas) {
    char buffer[8];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer, sizeof buffer), "XXXXXXXX");
}

TEST_F(LineEndOfInputTest, ReadersGiveWhatAnEmptyLengthGives) {
    Result<std::uint32_t> got = ConReadUnsigned();
    EXPECT_EQ(got.value, 0u);
    EXPECT_FALSE(got.ok);
    got = ConReadHex();
    EXPECT_EQ(got.value, 0u);
    EXPECT_FALSE(got.ok);
    const Result<std::int32_t> signedGot = ConReadSigned();
    EXPECT_EQ(signedGot.value, 0);
    EXPECT_TRUE(signedGot.ok);
    EXPECT_EQ(ReadCells(0, 0, 40), std::string(40, ' '));
}

// The buffer holds a line end from an earlier line behind the place where the unfinished line
// stops: it must not be taken for this line's.
TEST_F(LineEndOfInputTest, UnfinishedLineIsKeptWhole) {
    char buffer[16];
    std::memcpy(buffer, "zzzzzz\r\nzzzzzzzz", sizeof buffer);
    Type("abc");
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "abc");
    Type("12");
    const Result<std::uint32_t> got = ConReadUnsigned();
    EXPECT_EQ(got.value, 12u);
    EXPECT_TRUE(got.ok);
    Type("ff");
    EXPECT_EQ(ConReadHex().value, 0xFFu);
}

TEST_F(LineEndOfInputTest, ThrowingAwayTheRestEndsWithTheInput) {
    Type(std::string(100, '7'));
    char buffer[80];
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 79u);
    EXPECT_EQ(std::string(buffer), std::string(79, '7'));
    EXPECT_EQ(InputMode(), UsualMode);
    EXPECT_EQ(ConReadLine(buffer, sizeof buffer), 0u);
}

// ---- Standard input from a pipe --------------------------------------------------------------

// Runs `command` with `input` on a pipe as its standard input and no headless console, for at
// most 20 s (exit code 124 when it had to be stopped).
test::ProcessResult RunOnPipe(std::vector<std::string> command, const std::string& input) {
    command.insert(command.begin(),
                   {"/usr/bin/timeout", "20", "/usr/bin/env", "-u", "CONLIB_CONSOLE"});
    return test::RunProcess(command, {.directory = {}, .environment = {}, .input = input});
}

struct PipeCase {
    const char* what;
    const char* capacity;
    std::string input;
    std::string output;
};

TEST(LineInputPipe, LinesFromStandardInput) {
    const PipeCase cases[] = {
        {"line feeds and CR LF", "8", "one\ntwo\r\n\nx\n",
         "3 one\r\n3 two\r\n0 \r\n1 x\r\nend\r\n"},
        {"lines around the capacity", "8", "abcdef\nabcdefg\nabcdefgh\nabcdefghijklmn\nnext\n",
         "6 abcdef\r\n7 abcdefg\r\n7 abcdefg\r\n7 abcdefg\r\n4 next\r\nend\r\n"},
        {"last line without line end", "8", "one\nlast", "3 one\r\n4 last\r\nend\r\n"},
        {"long last line without line end", "8", "abcdefghijklmn", "7 abcdefg\r\nend\r\n"},
        {"capacity 1", "1", "5\n\n", "0 \r\n0 \r\nend\r\n"},
        {"capacity 2", "2", "5\n56\n", "1 5\r\n1 5\r\nend\r\n"},
        {"no input", "8", "", "end\r\n"},
    };
    for (const PipeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const test::ProcessResult result =
            RunOnPipe({CONLIB_LINE_READER_PATH, c.capacity}, c.input);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, c.output);
    }
}

// A poll drops the keys typed ahead of it on a keyboard; a pipe's bytes are read only as a
// poll asks for a key, so every one of them is a key.
TEST(KeysPipe, EveryByteIsAKey) {
    const test::ProcessResult result = RunOnPipe({CONLIB_LINE_READER_PATH, "keys"}, "hello 42");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "hello 42end\r\n");
}

}  // namespace
}  // namespace conlib
