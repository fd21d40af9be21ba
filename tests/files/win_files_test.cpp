// The system's file calls beyond what the library's operations pass: the other creation
// dispositions, shared opens, and the count and text conventions of the calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return win::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(SystemFileCalls, CreationDispositions) {
    const struct {
        const char* what;
        DWORD disposition;
        bool exists;  // the file is there before the open
        bool opens;
        const char* left;  // the file's content after the open, or null when there is none
    } cases[] = {
        {"new, missing", CREATE_NEW, false, true, ""},
        {"new, existing", CREATE_NEW, true, false, "kept"},
        {"always, missing", CREATE_ALWAYS, false, true, ""},
        {"always, existing", CREATE_ALWAYS, true, true, ""},
        {"existing, missing", OPEN_EXISTING, false, false, nullptr},
        {"existing, existing", OPEN_EXISTING, true, true, "kept"},
        {"open always, missing", OPEN_ALWAYS, false, true, ""},
        {"open always, existing", OPEN_ALWAYS, true, true, "kept"},
        {"truncate, missing", TRUNCATE_EXISTING, false, false, nullptr},
        {"truncate, existing", TRUNCATE_EXISTING, true, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string path = dir / "file.txt";
        if (c.exists) test::WriteFileBytes(path, "kept");
        win::SetLastError(0);
        const HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        if (file == INVALID_HANDLE_VALUE) {
            EXPECT_NE(win::GetLastError(), 0u);
        } else {
            EXPECT_NE(win::CloseHandle(file), 0);
        }
        EXPECT_EQ(test::FileExists(path), c.left != nullptr);
        if (c.left != nullptr) {
            EXPECT_EQ(test::ReadFileBytes(path), c.left);
        }
    }
}

TEST(SystemFileCalls, SharedOpensCoexistButNotWithAnOpenWithoutSharing) {
    test::TempDir dir;
    const std::string path = dir / "shared.txt";
    test::WriteFileBytes(path, "shared");

    const HANDLE first = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    const HANDLE second = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    win::SetLastError(0);
    EXPECT_EQ(Open(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(win::GetLastError(), test::SharingViolationCode());
    EXPECT_NE(win::CloseHandle(first), 0);
    EXPECT_NE(win::CloseHandle(second), 0);

    const HANDLE exclusive = Open(path, GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_NE(win::CloseHandle(exclusive), 0);
}

TEST(SystemFileCalls, CountsAreZeroedFirstAndTheReadWriteHandleServesBoth) {
    test::TempDir dir;
    const std::string path = dir / "both.txt";
    const HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 99;
    EXPECT_NE(win::WriteFile(file, "abcdef", 6, &count, nullptr), 0);
    EXPECT_EQ(count, 6u);
    // Positioned at the end: the read finds end of file, and says so with a count of 0.
    char buffer[8] = {};
    count = 99;
    EXPECT_NE(win::ReadFile(file, buffer, sizeof buffer, &count, nullptr), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(win::CloseHandle(file), 0);

    // A failing call zeroes the count before it fails.
    count = 99;
    EXPECT_EQ(win::ReadFile(file, buffer, sizeof buffer, &count, nullptr), 0);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(win::WriteFile(file, "x", 1, &count, nullptr), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(test::ReadFileBytes(path), "abcdef");
}

// The all-bits-set value is also the handle of the process itself, which a close leaves alone.
TEST(SystemFileCalls, ClosingTheInvalidHandleValueSucceedsAndChangesNothing) {
    EXPECT_NE(win::CloseHandle(INVALID_HANDLE_VALUE), 0);
    EXPECT_NE(win::CloseHandle(INVALID_HANDLE_VALUE), 0);
}

TEST(SystemFileCalls, SystemTextsAreAllocatedAndEndWithALineBreak) {
    for (const DWORD code : {DWORD{0}, DWORD{2}, DWORD{5}}) {
        SCOPED_TRACE(code);
        char* text = nullptr;
        const DWORD length =
            win::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
        ASSERT_GT(length, 2u);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::strlen(text), length);
        EXPECT_EQ(std::string(text + length - 2), "\r\n");
        EXPECT_EQ(win::LocalFree(text), nullptr);
    }
}

}  // namespace
}  // namespace conlib
