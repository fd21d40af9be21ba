// The demo program run as a process in a scratch folder: the bytes of "OutputFile.txt", the
// text it writes and its exit code. Standard output is a pipe, so the console's text arrives as
// the bytes written, and cursor moves and clears leave no trace in it.
#include <gtest/gtest.h>

#include <string>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.hpp"

namespace conlib::test {
namespace {

const std::string Title = "Tav Quillon - Week 4\r\nKTRV 360 - Dorin Velterhaminos\r\n";
const std::string Prompt = "Press any key to continue...";

// The cross drawing pass: the prompt, the 30 steps of the cross (a '|' of the vertical bar,
// then a '-' of the horizontal one), and the prompt again.
std::string CrossPass() {
    std::string text = Prompt;
    for (int step = 0; step < 30; ++step)
        text += "|-";
    return text + Prompt;
}

std::string Inverted(const std::string& bytes) {
    std::string out = bytes;
    for (char& ch : out)
        ch = static_cast<char>(~static_cast<unsigned char>(ch));
    return out;
}

// Standard input is an empty pipe: both pauses return at its end.
ProcessResult RunDemo(const TempDir& dir, const std::string& keys = "") {
    return RunProcess({DemoPath()}, ProcessOptions{dir.path(), {}, keys});
}

struct InversionCase {
    const char* name;
    std::string input;
    std::string output;   // bytes of OutputFile.txt
    std::string display;  // text after the title
};

std::string Pattern(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>('A' + i % 26);
    return bytes;
}

TEST(MainFlow, InvertsShowsAndWritesTheInput) {
    const std::string full = Pattern(5000);
    const std::string longer = Pattern(6000);
    const InversionCase cases[] = {
        {"abc", "abc", "\x9e\x9d\x9c", "\x9e\x9d\x9c"},
        {"empty", "", "", ""},
        {"0xFF ends the display, not the file",
         std::string("ab\xff"
                     "cd",
                     5),
         std::string("\x9e\x9d\x00\x9c\x9b", 5), "\x9e\x9d"},
        {"zero bytes become 0xFF", std::string("\x00\x00", 2), "\xff\xff", "\xff\xff"},
        {"exactly 5000 bytes are all shown", full, Inverted(full), Inverted(full)},
        {"only the first 5000 bytes are read", longer, Inverted(full), Inverted(full)},
    };
    for (const InversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFileBytes(dir / "InputFile.txt", c.input);
        const ProcessResult result = RunDemo(dir);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), c.output);
        EXPECT_EQ(result.output, Title + c.display + CrossPass());
        EXPECT_EQ(ReadFileBytes(dir / "InputFile.txt"), c.input);
    }
}

TEST(MainFlow, ReplacesAnExistingOutputFile) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    WriteFileBytes(dir / "OutputFile.txt", std::string(10000, 'x'));
    EXPECT_EQ(RunDemo(dir).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "\x9e\x9d\x9c");
}

TEST(MainFlow, SecondRunOverTheOutputRestoresTheInput) {
    TempDir first;
    TempDir second;
    std::string input;
    for (int i = 0; i < 256; ++i)
        input += static_cast<char>(i);
    WriteFileBytes(first / "InputFile.txt", input);
    ASSERT_EQ(RunDemo(first).exitCode, 0);
    WriteFileBytes(second / "InputFile.txt", ReadFileBytes(first / "OutputFile.txt"));
    ASSERT_EQ(RunDemo(second).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(second / "OutputFile.txt"), input);
}

TEST(MainFlow, MissingInputIsReportedAndKeepsTheOldOutput) {
    TempDir dir;
    WriteFileBytes(dir / "OutputFile.txt", "precious");
    const ProcessResult result = RunDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, Title + "Error 2: No such file or directory\r\n" + CrossPass());
    EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "precious");
}

TEST(MainFlow, UnreadableInputIsReportedAndCreatesNoOutput) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "InputFile.txt").c_str(), 0755), 0);
    const ProcessResult result = RunDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, Title + "Error 21: Is a directory\r\n" + CrossPass());
    EXPECT_FALSE(FileExists(dir / "OutputFile.txt"));
}

TEST(MainFlow, OutputThatCannotBeCreatedIsReported) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    ASSERT_EQ(mkdir((dir / "OutputFile.txt").c_str(), 0755), 0);
    const ProcessResult result = RunDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    // The error goes on a line of its own, under the data.
    EXPECT_EQ(result.output, Title + "\x9e\x9d\x9c\r\nError 21: Is a directory\r\n" + CrossPass());
}

TEST(MainFlow, OutputThatCannotBeWrittenIsReported) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    // Every write to this device fails for want of space.
    ASSERT_EQ(symlink("/dev/full", (dir / "OutputFile.txt").c_str()), 0);
    const ProcessResult result = RunDemo(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output,
              Title + "\x9e\x9d\x9c\r\nError 28: No space left on device\r\n" + CrossPass());
}

TEST(MainFlow, EmptyInputNeedsNoWrite) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "");
    ASSERT_EQ(symlink("/dev/full", (dir / "OutputFile.txt").c_str()), 0);
    const ProcessResult result = RunDemo(dir);
    // Nothing to write is no failure: a write of 0 bytes succeeds.
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Title + CrossPass());
}

TEST(MainFlow, KeysEndTheTwoPausesOfTheCrossPass) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    // Each key ends one pause; the keys are never shown.
    const ProcessResult result = RunDemo(dir, "xy");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Title + "\x9e\x9d\x9c" + CrossPass());
    EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "\x9e\x9d\x9c");
}

TEST(MainFlow, FinishesWhenStandardInputIsEmpty) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    // Standard input the null device: at its end neither pause waits for a key.
    const ProcessResult result = RunProcess({"/bin/sh", "-c", "exec \"$0\" </dev/null", DemoPath()},
                                            ProcessOptions{dir.path(), {}, ""});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Title + "\x9e\x9d\x9c" + CrossPass());
    EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "\x9e\x9d\x9c");
}

// A console size it refuses: the first line on standard error says which rule it broke, and
// the run goes on without it.
TEST(MainFlow, ARefusedConsoleSizeSaysWhy) {
    const struct {
        const char* size;
        const char* problem;
    } cases[] = {
        {"80", "is not a console size COLUMNSxROWS (two whole numbers, for example 120x300)"},
        {"80x25x", "is not a console size COLUMNSxROWS (two whole numbers, for example 120x300)"},
        {"-80x25", "is not a console size COLUMNSxROWS (two whole numbers, for example 120x300)"},
        {"0x25", "has a side out of range: columns and rows are 1 to 32767 each"},
        {"80x32768", "has a side out of range: columns and rows are 1 to 32767 each"},
        {"99999999999999999999x1", "has a side out of range: columns and rows are 1 to 32767 each"},
        {"8000x8000", "has too many cells: columns times rows is at most 16777216"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        TempDir dir;
        WriteFileBytes(dir / "InputFile.txt", "abc");
        const ProcessResult result =
            RunProcess({"/bin/sh", "-c", "exec \"$0\" </dev/null 2>&1 >/dev/null", DemoPath()},
                       ProcessOptions{dir.path(), {std::string("CONLIB_CONSOLE=") + c.size}, ""});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output.substr(0, result.output.find('\n')),
                  "conlib: CONLIB_CONSOLE=\"" + std::string(c.size) + "\" " + c.problem +
                      "; using the terminal instead");
    }
}

// Standard output a pipe whose reader has gone: the console's text is lost, as a refused
// console write loses it, and the run goes on to its end, SIGPIPE's action the default.
TEST(MainFlow, AReaderThatHasGoneLosesTheTextAndNothingElse) {
    TempDir dir;
    WriteFileBytes(dir / "InputFile.txt", "abc");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing < 0 || dup2(nothing, 0) < 0 || dup2(ends[1], 1) < 0) _exit(120);
        if (chdir(dir.path().c_str()) != 0) _exit(121);
        execl(DemoPath(), DemoPath(), static_cast<char*>(nullptr));
        _exit(122);
    }
    close(ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "\x9e\x9d\x9c");
}

}  // namespace
}  // namespace conlib::test
