// The command line of the POSIX layer: built from the process's arguments as Windows would
// show it, and as a child process sees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tail_probe.hpp"
#include "platform/posix/command_line.hpp"
#include "platform/posix/win.hpp"

namespace conlib {
namespace {

using test::ProbeReport;
using test::RunProbe;

// Our POSIX layer builds the command line that Windows would show from the process's
// arguments, quoted so that the Windows rules read them back unchanged.
TEST(CommandLine, JoinsTheArgumentsAsWindowsWouldShowThem) {
    struct {
        std::vector<std::string> arguments;
        const char* line;
    } const cases[] = {
        {{"prog"}, "prog"},
        {{"prog", "a", "b"}, "prog a b"},
        {{"prog", "a b"}, "prog \"a b\""},
        {{"prog", ""}, "prog \"\""},
        {{"prog", "tab\there"}, "prog \"tab\there\""},
        {{"my prog", "x"}, "\"my prog\" x"},
        {{"prog", "a\"b"}, "prog a\\\"b"},
        {{"prog", "say \"hi\""}, "prog \"say \\\"hi\\\"\""},
        {{"prog", "C:\\dir\\"}, "prog C:\\dir\\"},
        {{"prog", "C:\\my dir\\"}, "prog \"C:\\my dir\\\\\""},
        {{"prog", "a\\\"b"}, "prog a\\\\\\\"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(posix::CommandLineOf(c.arguments), c.line);
    }
}

// Where the C library hands over no arguments at start, the line comes from /proc; both ways
// give the same line.
TEST(CommandLine, TheArgumentsListedByProcGiveTheSameLine) {
    const std::vector<std::string> arguments = posix::ArgumentsFromProc();
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(posix::CommandLineOf(arguments), win::GetCommandLineA());
}

TEST(CommandLine, AProcessSeesItsOwnArgumentsQuoted) {
    const std::vector<std::string> arguments{"a b", "", "x\"y", "tab\t", "end\\"};
    std::vector<std::string> all{CONLIB_ARGUMENT_TAIL_PROBE_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const ProbeReport report = RunProbe(arguments);
    // Built by appending: GCC 12 at -O2 and above warns falsely (-Wrestrict) inside the
    // string's replace when a literal is prepended with operator+.
    std::string expected(1, '[');
    expected.append(posix::CommandLineOf(all)).push_back(']');
    EXPECT_EQ(report.commandLine, expected);
    EXPECT_EQ(report.tail, "ok[\"a b\" \"\" x\\\"y \"tab\t\" end\\]");
}
}  // namespace
}  // namespace conlib
