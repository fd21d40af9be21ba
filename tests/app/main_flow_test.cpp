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

// What a file of the scratch folder is before the run.
enum class Entry {
    Absent,
    File,       // InputFile.txt holds "abc", OutputFile.txt "precious"
    Directory,  // a folder of that name
    Full,       // a link to /dev/full, where every write fails for want of space
};

void Make(const std::string& path, Entry entry, const std::string& bytes) {
    switch (entry) {
        case Entry::Absent:
            return;
        case Entry::File:
            WriteFileBytes(path, bytes);
            return;
        case Entry::Directory:
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            return;
        case Entry::Full:
            ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
            return;
    }
}

// A failure is reported with its code and the system's text on a line of its own (under the
// data, once that is shown), the exit code is 1, and an output file that was not opened is left
// as it was: an old one kept, none created.
TEST(MainFlow, FailuresAreReported) {
    struct {
        const char* name;
        Entry input;
        Entry output;
        std::string display;  // the text after the title
    } const cases[] = {
        {"missing input", Entry::Absent, Entry::File, "Error 2: No such file or directory\r\n"},
        {"unreadable input", Entry::Directory, Entry::Absent, "Error 21: Is a directory\r\n"},
        {"output that cannot be created", Entry::File, Entry::Directory,
         "\x9e\x9d\x9c\r\nError 21: Is a directory\r\n"},
        {"output that cannot be written", Entry::File, Entry::Full,
         "\x9e\x9d\x9c\r\nError 28: No space left on device\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_NO_FATAL_FAILURE(Make(dir / "InputFile.txt", c.input, "abc"));
        ASSERT_NO_FATAL_FAILURE(Make(dir / "OutputFile.txt", c.output, "precious"));
        const ProcessResult result = RunDemo(dir);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, Title + c.display + CrossPass());
        if (c.output == Entry::File) {
            EXPECT_EQ(ReadFileBytes(dir / "OutputFile.txt"), "precious");
        } else if (c.output == Entry::Absent) {
            EXPECT_FALSE(FileExists(dir / "OutputFile.txt"));
        }
    }
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
