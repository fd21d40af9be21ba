// What the file calls do on POSIX systems in particular: error codes are errno values, texts
// are the C library's, and a write cut short by the system reports the part that went out.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "conlib/files.hpp"
#include "platform/posix/handles.hpp"
#include "platform/win.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;

// Lowers the file size limit for its lifetime, with SIGXFSZ ignored, so that writes past the
// limit fail with EFBIG instead of ending the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*savedHandler_)(int) = SIG_DFL;
};

TEST(PosixFileCalls, AWriteCutShortReportsThePartWrittenAndWhy) {
    test::TempDir dir;
    const std::string path = dir / "limited.bin";
    const FileHandle file = FileCreateWrite(path.c_str());
    ASSERT_NE(file, InvalidFileHandle);
    const std::string data(25, 'w');
    {
        FileSizeLimit limit(10);
        win::SetLastError(0);
        EXPECT_EQ(FileWriteBlock(file, data.data(), 25), 10u);
        EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(EFBIG));
        // Nothing more fits: nothing is written, and the code stays.
        EXPECT_EQ(FileWriteBlock(file, data.data(), 1), 0u);
        EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(EFBIG));
    }
    EXPECT_TRUE(FileClose(file));
    EXPECT_EQ(test::ReadFileBytes(path), data.substr(0, 10));
}

// A write to a pipe whose reader has gone fails with EPIPE and leaves no SIGPIPE behind,
// through the console's writes and through WriteFile alike; the program's own write() still
// meets SIGPIPE's action. In a child process, which that write ends.
TEST(PosixFileCalls, AReaderThatHasGoneFailsTheWriteAndRaisesNoSignal) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        int ends[2];
        if (pipe(ends) != 0) _exit(120);
        close(ends[0]);
        posix::WriteAll(ends[1], "lost", 4);
        DWORD written = 99;
        if (WriteFile(posix::HandleFromDescriptor(ends[1]), "lost", 4, &written, nullptr) !=
                FALSE ||
            written != 0 || GetLastError() != static_cast<DWORD>(EPIPE)) {
            _exit(121);
        }
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) _exit(122);
        if (write(ends[1], "own", 3) >= 0) _exit(123);
        _exit(124);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE)
        << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// Standard handles closed at the start are opened on /dev/null before main: the program's own
// first open does not take their numbers, and the console's text never goes into a file.
TEST(PosixFileCalls, ClosedStandardHandlesAreNoFileOfTheProgramsOwn) {
    for (const char* closing : {"0<&-", "1>&-", "2>&-", "0<&- 1>&- 2>&-"}) {
        SCOPED_TRACE(closing);
        test::TempDir dir;
        const std::string first = dir / "first.txt";
        const std::string second = dir / "second.txt";
        const std::string script =
            std::string("unset CONLIB_CONSOLE; exec \"$0\" \"$1\" \"$2\" ") + closing;
        const test::ProcessResult result = test::RunProcess(
            {"/bin/sh", "-c", script, CONLIB_CLOSED_HANDLES_PROBE_PATH, first, second}, {});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_GT(std::stoi(test::ReadFileBytes(first)), 2);
        EXPECT_EQ(test::ReadFileBytes(second), "DATA");
    }
}

TEST(PosixFileCalls, ErrorCodesAreErrnoValues) {
    test::TempDir dir;
    const std::string path = dir / "file.txt";
    win::SetLastError(0);
    EXPECT_EQ(FileOpenRead(path.c_str()), InvalidFileHandle);
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ENOENT));

    EXPECT_EQ(FileOpenRead(dir.path().c_str()), InvalidFileHandle);
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(EISDIR));

    test::WriteFileBytes(path, "held");
    const FileHandle held = FileOpenRead(path.c_str());
    ASSERT_NE(held, InvalidFileHandle);
    EXPECT_EQ(FileCreateWrite(path.c_str()), InvalidFileHandle);
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(EBUSY));
    EXPECT_TRUE(FileClose(held));

    char buffer[4];
    const Result<std::uint32_t> read = FileReadBlock(InvalidFileHandle, buffer, sizeof buffer);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.value, static_cast<std::uint32_t>(EBADF));
}

TEST(PosixFileCalls, SystemTextIsTheCLibrarysTextWithALineBreak) {
    for (const DWORD code : {DWORD{0}, DWORD{ENOENT}, DWORD{EACCES}, DWORD{EBUSY}}) {
        SCOPED_TRACE(code);
        char* text = nullptr;
        const DWORD length =
            win::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
        ASSERT_NE(text, nullptr);
        const std::string expected = std::string(std::strerror(static_cast<int>(code))) + "\r\n";
        EXPECT_EQ(std::string(text), expected);
        EXPECT_EQ(length, expected.size());
        win::LocalFree(text);
    }
}

TEST(PosixFileCalls, FormatMessageRefusesWhatItDoesNotServe) {
    const struct {
        const char* what;
        DWORD flags;
        DWORD code;
    } cases[] = {
        {"no allocation", FORMAT_MESSAGE_FROM_SYSTEM, 2},
        {"no system text", FORMAT_MESSAGE_ALLOCATE_BUFFER, 2},
        {"code beyond errno's range", FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
         0x80000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        char* text = reinterpret_cast<char*>(&text);  // anything but null
        win::SetLastError(0);
        EXPECT_EQ(win::FormatMessageA(c.flags, nullptr, c.code, 0, reinterpret_cast<LPSTR>(&text),
                                      0, nullptr),
                  0u);
        EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(EINVAL));
        if ((c.flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
            EXPECT_EQ(text, nullptr);
        }
    }
}

}  // namespace
}  // namespace conlib
