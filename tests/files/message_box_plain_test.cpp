// Message boxes without a console to draw them on: standard output is a pipe, so the caption,
// the text and a prompt go to standard error and the answer is read as a line from standard
// input. Run through a helper program (CONLIB_MESSAGE_BOX_PROBE_PATH).
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace test;

struct Shown {
    ProcessResult result;
    std::string errors;  // what went to standard error
};

Shown RunProbe(const std::string& mode, const std::string& text, const char* caption,
               const std::string& input) {
    const TempDir dir;
    const std::string errors = dir / "errors";
    std::vector<std::string> command = {CONLIB_MESSAGE_BOX_PROBE_PATH, errors, mode, text};
    if (caption != nullptr) command.emplace_back(caption);
    ProcessOptions options;
    options.input = input;
    Shown shown{RunProcess(command, options), ReadFileBytes(errors)};
    return shown;
}

TEST(MessageBoxWithoutConsole, TheQuestionIsAnsweredWithALine) {
    struct Case {
        const char* input;
        const char* answer;
        int prompts;  // times the question was asked
    };
    const Case cases[] = {
        {"y\n", "6", 1},
        {"yes\n", "6", 1},
        {"YES\r\n", "6", 1},
        {"  n \t\n", "7", 1},
        {"no\n", "7", 1},
        {"No", "7", 1},  // the last line needs no line end
        {"maybe\nY\n", "6", 2},
        {"\n\nn\nextra\n", "7", 3},
        {"y e s\nyess\nn o\nnn\n", "0", 5},
        {"a line much longer than any answer that names a button y\nno\n", "7", 2},
        {"", "0", 1},
        {"maybe\n", "0", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const Shown shown = RunProbe("ask", "Go on?", "Question", c.input);
        EXPECT_EQ(shown.result.exitCode, 0);
        EXPECT_EQ(shown.result.output, std::string(c.answer) + "\n");
        std::string expected = "Question\nGo on?\n";
        for (int i = 0; i < c.prompts; ++i)
            expected += "[Y/N] \n";
        EXPECT_EQ(shown.errors, expected);
    }
}

TEST(MessageBoxWithoutConsole, CaptionIsABlankWhenNoneIsGiven) {
    const Shown question = RunProbe("ask", "Go on?", nullptr, "n\n");
    EXPECT_EQ(question.result.output, "7\n");
    EXPECT_EQ(question.errors, " \nGo on?\n[Y/N] \n");

    const Shown notice = RunProbe("notice", "Saved.", nullptr, "\n");
    EXPECT_EQ(notice.result.output, "done\n");
    EXPECT_EQ(notice.errors, " \nSaved.\n[OK] \n");
}

TEST(MessageBoxWithoutConsole, NoticeTakesAnyLineOrTheEndOfInput) {
    for (const char* input : {"\n", "whatever\n", ""}) {
        SCOPED_TRACE(input);
        const Shown shown = RunProbe("notice", "First line\r\nsecond\nthird", "Notice", input);
        EXPECT_EQ(shown.result.exitCode, 0);
        EXPECT_EQ(shown.result.output, "done\n");
        EXPECT_EQ(shown.errors, "Notice\nFirst line\nsecond\nthird\n[OK] \n");
    }
}

}  // namespace
}  // namespace conlib
