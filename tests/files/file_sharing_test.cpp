// Opens without sharing hold against other processes too: a helper program holds a file while
// this test tries it, and the other way round.
#include <gtest/gtest.h>

#include <string>

#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

const char* const FileHolderPath = CONLIB_FILE_HOLDER_PATH;

struct Opener {
    const char* mode;  // the helper's name for it
    FileHandle (*open)(const char*);
};

constexpr Opener Openers[] = {{"read", FileOpenRead}, {"create", FileCreateWrite}};

// What "held data" has become once its holder has let it go: a create empties the file. A file
// held without sharing cannot be read meanwhile (on Windows not even by other means).
std::string ContentAfter(const Opener& holder) {
    return holder.open == FileCreateWrite ? "" : "held data";
}

std::string Trace(const char* side, const Opener& holder, const Opener& contender) {
    return std::string(side) + " holds with " + holder.mode + ", the other side tries " +
           contender.mode;
}

TEST(FileSharingAcrossProcesses, AFileHeldByAnotherProcessOpensOnlyAfterItsRelease) {
    test::TempDir dir;
    const std::string path = dir / "held.txt";
    for (const Opener& holder : Openers) {
        for (const Opener& contender : Openers) {
            SCOPED_TRACE(Trace("the helper", holder, contender));
            test::WriteFileBytes(path, "held data");
            test::ChildProcess child({FileHolderPath, holder.mode, path});
            ASSERT_EQ(child.ReadLine(), "held");

            win::SetLastError(0);
            EXPECT_EQ(contender.open(path.c_str()), InvalidFileHandle);
            EXPECT_EQ(win::GetLastError(), test::SharingViolationCode());

            EXPECT_EQ(child.Finish(), 0);
            // A create that was refused has not emptied the file under its holder.
            EXPECT_EQ(test::ReadFileBytes(path), ContentAfter(holder));
            const FileHandle file = contender.open(path.c_str());
            EXPECT_NE(file, InvalidFileHandle);
            if (file != InvalidFileHandle) {
                EXPECT_TRUE(FileClose(file));
            }
        }
    }
}

TEST(FileSharingAcrossProcesses, AFileHeldHereOpensInAnotherProcessOnlyAfterItIsClosed) {
    test::TempDir dir;
    const std::string path = dir / "held.txt";
    const std::string refused = "failed " + std::to_string(test::SharingViolationCode()) + "\n";
    for (const Opener& holder : Openers) {
        for (const Opener& contender : Openers) {
            SCOPED_TRACE(Trace("the test", holder, contender));
            test::WriteFileBytes(path, "held data");
            const FileHandle held = holder.open(path.c_str());
            ASSERT_NE(held, InvalidFileHandle);

            test::ProcessResult tried =
                test::RunProcess({FileHolderPath, contender.mode, path}, {});
            EXPECT_EQ(tried.output, refused);
            EXPECT_EQ(tried.exitCode, 0);

            EXPECT_TRUE(FileClose(held));
            EXPECT_EQ(test::ReadFileBytes(path), ContentAfter(holder));
            tried = test::RunProcess({FileHolderPath, contender.mode, path}, {});
            EXPECT_EQ(tried.output, "held\n");
            EXPECT_EQ(tried.exitCode, 0);
        }
    }
}

// A process started while a file was open must not keep it held once the file is closed here.
TEST(FileSharingAcrossProcesses, AClosedFileIsFreeWhileAProcessStartedMeanwhileRuns) {
    test::TempDir dir;
    const std::string path = dir / "closed.txt";
    const std::string other = dir / "other.txt";
    for (const Opener& holder : Openers) {
        SCOPED_TRACE(holder.mode);
        test::WriteFileBytes(path, "data");
        const FileHandle held = holder.open(path.c_str());
        ASSERT_NE(held, InvalidFileHandle);
        test::ChildProcess child({FileHolderPath, "create", other});
        ASSERT_EQ(child.ReadLine(), "held");
        EXPECT_TRUE(FileClose(held));

        const FileHandle again = holder.open(path.c_str());
        EXPECT_NE(again, InvalidFileHandle);
        if (again != InvalidFileHandle) {
            EXPECT_TRUE(FileClose(again));
        }
        EXPECT_EQ(child.Finish(), 0);
    }
}

}  // namespace
}  // namespace conlib
