// The system's error text on the console, and file writes to the console's output handle.
// Runs on a headless console; what was written is read back from its cells.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "conlib/console.hpp"
#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

constexpr DWORD Columns = 80;

// The characters of row `row`, all its columns.
std::string ReadRow(int row) {
    return ReadCells(0, row, static_cast<int>(Columns));
}

std::string PadToRow(std::string text) {
    text.resize(Columns, ' ');
    return text;
}

// The system's text for `code` without its closing line break, or nothing when the system has
// no text for it.
std::optional<std::string> SystemText(DWORD code) {
    char* text = nullptr;
    const DWORD length = win::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0) return std::nullopt;
    std::string result(text, length);
    win::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

// The line ConWriteSystemError should leave for `code`: the system's text when it has one.
std::string ExpectedLine(DWORD code) {
    return "Error " + std::to_string(code) + ": " +
           SystemText(code).value_or("Unknown error " + std::to_string(code));
}

TEST(SystemError, ExplainsAFailedOpenOfAMissingFile) {
    test::TempDir dir;
    ConClearScreen();
    ASSERT_EQ(FileOpenRead((dir / "missing.txt").c_str()), InvalidFileHandle);
    ConWriteSystemError();

    const std::optional<std::string> text = SystemText(2);
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
    const std::string line = "Error 2: " + *text;
    ASSERT_LT(line.size(), Columns);
    EXPECT_EQ(ReadRow(0), PadToRow(line));
    // The system's text brings its own line break.
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 1);
}

TEST(SystemError, WritesTheCodeSetBeforeTheCallWithItsTextOrAStandIn) {
    // 0: success has a text too. The two large codes have no text on any system: a text of
    // the library's own names the code and ends the line.
    const DWORD codes[] = {0, 2, 5, 13, 0x20000000, 0xFFFFFFFF};
    for (const DWORD code : codes) {
        SCOPED_TRACE(code);
        ConClearScreen();
        win::SetLastError(code);
        ConWriteSystemError();
        const std::string line = ExpectedLine(code);
        ASSERT_LT(line.size(), Columns);
        EXPECT_EQ(ReadRow(0), PadToRow(line));
        EXPECT_EQ(ReadRow(1), PadToRow(""));
        EXPECT_EQ(Cursor().X, 0);
        EXPECT_EQ(Cursor().Y, 1);
    }
    EXPECT_FALSE(SystemText(0x20000000).has_value());
    EXPECT_FALSE(SystemText(0xFFFFFFFF).has_value());
    ConClearScreen();
    win::SetLastError(0xFFFFFFFF);
    ConWriteSystemError();
    EXPECT_EQ(ReadRow(0), PadToRow("Error 4294967295: Unknown error 4294967295"));
}

TEST(SystemError, TwoExplanationsFollowEachOtherLineByLine) {
    ConClearScreen();
    win::SetLastError(2);
    ConWriteSystemError();
    win::SetLastError(0);
    ConWriteSystemError();
    EXPECT_EQ(ReadRow(0), PadToRow(ExpectedLine(2)));
    EXPECT_EQ(ReadRow(1), PadToRow(ExpectedLine(0)));
    EXPECT_EQ(Cursor().Y, 2);
}

TEST(ConsoleFileWrite, WriteFileOnTheOutputHandleWritesToTheConsole) {
    ConClearScreen();
    DWORD written = 12345;
    EXPECT_NE(win::WriteFile(Output(), "via a file write\r\nnext", 22, &written, nullptr), 0);
    EXPECT_EQ(written, 22u);
    EXPECT_EQ(ReadRow(0), PadToRow("via a file write"));
    EXPECT_EQ(ReadRow(1), PadToRow("next"));
    EXPECT_EQ(Cursor().X, 4);
    EXPECT_EQ(Cursor().Y, 1);
}

}  // namespace
}  // namespace conlib
