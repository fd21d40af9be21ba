// File access through the library's five file operations, within one process.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;

class FileAccess : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir / name; }

    test::TempDir dir;
};

// The bytes in a read buffer that no read has touched.
constexpr char Untouched = '\xA5';

struct ReadCase {
    const char* what;
    std::string content;
    std::uint32_t maximum;
    std::vector<std::string> blocks;  // what the successive reads deliver before end of file
};

TEST_F(FileAccess, ReadsBlocksUpToTheMaximumThenReportsEndOfFile) {
    const ReadCase cases[] = {
        {"empty file", "", 16, {}},
        {"shorter than the maximum", "hello", 16, {"hello"}},
        {"exactly the maximum", "abcd", 4, {"abcd"}},
        {"longer than the maximum", "0123456789", 4, {"0123", "4567", "89"}},
        {"every byte value",
         std::string("\0\x01\xFF\x80\r\n\x1A", 7),
         16,
         {std::string("\0\x01\xFF\x80\r\n\x1A", 7)}},
        {"the main flow's block",
         std::string(6000, 'x'),
         5000,
         {std::string(5000, 'x'), std::string(1000, 'x')}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("input.bin");
        test::WriteFileBytes(path, c.content);
        const FileHandle file = FileOpenRead(path.c_str());
        ASSERT_NE(file, InvalidFileHandle);

        std::vector<std::string> expected = c.blocks;
        // End of file, and once more after it: success with a count of 0 both times.
        expected.emplace_back();
        expected.emplace_back();
        for (const std::string& block : expected) {
            // Eight bytes past the maximum too: a read writes nowhere but where its bytes go.
            std::string buffer(c.maximum + 8, Untouched);
            const Result<std::uint32_t> read = FileReadBlock(file, buffer.data(), c.maximum);
            ASSERT_TRUE(read.ok);
            ASSERT_EQ(read.value, block.size());
            EXPECT_EQ(buffer.substr(0, read.value), block);
            EXPECT_EQ(buffer.substr(read.value),
                      std::string(buffer.size() - read.value, Untouched));
        }
        EXPECT_TRUE(FileClose(file));
    }
}

TEST_F(FileAccess, MissingFileGivesTheInvalidHandleAndItsReadFailsWithTheCode) {
    win::SetLastError(0);
    const FileHandle file = FileOpenRead(Path("missing.txt").c_str());
    EXPECT_EQ(file, InvalidFileHandle);
    EXPECT_EQ(win::GetLastError(), 2u);  // the system's "file not found"

    // The main flow reads from whatever the open gave, and takes the code for a count.
    char buffer[8] = {};
    win::SetLastError(0);
    const Result<std::uint32_t> read = FileReadBlock(file, buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.value, 0u);
    EXPECT_EQ(read.value, win::GetLastError());
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\0'));
}

TEST_F(FileAccess, OpensThatTheSystemRefusesGiveTheInvalidHandle) {
    const std::string inMissingFolder = Path("no-such-folder/file.txt");
    const struct {
        const char* what;
        FileHandle (*open)(const char*);
        std::string path;
    } cases[] = {
        {"read a folder", FileOpenRead, dir.path()},
        {"create over a folder", FileCreateWrite, dir.path()},
        {"create in a missing folder", FileCreateWrite, inMissingFolder},
        {"read an empty name", FileOpenRead, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        win::SetLastError(0);
        EXPECT_EQ(c.open(c.path.c_str()), InvalidFileHandle);
        EXPECT_NE(win::GetLastError(), 0u);
    }
    EXPECT_FALSE(test::FileExists(inMissingFolder));
}

TEST_F(FileAccess, CreateMakesANewFileThatTakesTheWrittenBytes) {
    const std::string path = Path("output.bin");
    const std::string data("inverted\0\xFF bytes", 16);
    const FileHandle file = FileCreateWrite(path.c_str());
    ASSERT_NE(file, InvalidFileHandle);
    EXPECT_EQ(FileWriteBlock(file, data.data(), 0), 0u);
    EXPECT_EQ(FileWriteBlock(file, data.data(), static_cast<std::uint32_t>(data.size())),
              data.size());
    EXPECT_EQ(FileWriteBlock(file, "!", 1), 1u);
    EXPECT_TRUE(FileClose(file));
    EXPECT_EQ(test::ReadFileBytes(path), data + "!");
}

TEST_F(FileAccess, CreateEmptiesAnExistingFileAtOnce) {
    const std::string path = Path("output.bin");
    test::WriteFileBytes(path, "old contents that must go");
    const FileHandle file = FileCreateWrite(path.c_str());
    ASSERT_NE(file, InvalidFileHandle);
    // The file cannot be read while it is held; its size shows all the same.
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(FileWriteBlock(file, "", 0), 0u);
    EXPECT_TRUE(FileClose(file));
    EXPECT_EQ(test::ReadFileBytes(path), "");
}

TEST_F(FileAccess, HandlesServeOnlyTheirOwnDirection) {
    const std::string path = Path("data.txt");
    test::WriteFileBytes(path, "data");
    char buffer[8] = {};

    const FileHandle reader = FileOpenRead(path.c_str());
    ASSERT_NE(reader, InvalidFileHandle);
    win::SetLastError(0);
    EXPECT_EQ(FileWriteBlock(reader, "xy", 2), 0u);
    EXPECT_NE(win::GetLastError(), 0u);
    // Even a write of nothing is refused on a handle that cannot write.
    win::SetLastError(0);
    EXPECT_EQ(FileWriteBlock(reader, "", 0), 0u);
    EXPECT_NE(win::GetLastError(), 0u);
    EXPECT_TRUE(FileClose(reader));
    EXPECT_EQ(test::ReadFileBytes(path), "data");

    const FileHandle writer = FileCreateWrite(path.c_str());
    ASSERT_NE(writer, InvalidFileHandle);
    win::SetLastError(0);
    const Result<std::uint32_t> read = FileReadBlock(writer, buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.value, 0u);
    EXPECT_EQ(read.value, win::GetLastError());
    EXPECT_TRUE(FileClose(writer));
}

struct Opener {
    const char* name;
    FileHandle (*open)(const char*);
};

constexpr Opener Openers[] = {{"FileOpenRead", FileOpenRead}, {"FileCreateWrite", FileCreateWrite}};

TEST_F(FileAccess, AnOpenFileCannotBeOpenedAgainUntilClosed) {
    const std::string path = Path("held.txt");
    for (const Opener& holder : Openers) {
        for (const Opener& contender : Openers) {
            SCOPED_TRACE(std::string(holder.name) + " holds, " + contender.name + " tries");
            test::WriteFileBytes(path, "held data");
            const FileHandle held = holder.open(path.c_str());
            ASSERT_NE(held, InvalidFileHandle);

            win::SetLastError(0);
            EXPECT_EQ(contender.open(path.c_str()), InvalidFileHandle);
            EXPECT_EQ(win::GetLastError(), test::SharingViolationCode());

            EXPECT_TRUE(FileClose(held));
            // A create that was refused has not emptied the file under its holder (which cannot
            // be read while held): what is left is what the holder's own open left.
            EXPECT_EQ(test::ReadFileBytes(path), holder.open == FileCreateWrite ? "" : "held data");
            const FileHandle again = contender.open(path.c_str());
            EXPECT_NE(again, InvalidFileHandle);
            if (again != InvalidFileHandle) {
                EXPECT_TRUE(FileClose(again));
            }
        }
    }
}

TEST_F(FileAccess, ClosingAHandleThatIsNotOpenReturnsFalse) {
    const std::string path = Path("closed.txt");
    const FileHandle file = FileCreateWrite(path.c_str());
    ASSERT_NE(file, InvalidFileHandle);
    EXPECT_TRUE(FileClose(file));
    EXPECT_FALSE(FileClose(file));
    // No open file, though the system would take the value for the process's own handle.
    win::SetLastError(0);
    EXPECT_FALSE(FileClose(InvalidFileHandle));
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace conlib
