// Test helper: opens a file with the library's file operations and holds it open, so that a
// test in another process can try the same file meanwhile.
//
//   conlib_file_holder read|create PATH
//
// Opens PATH with FileOpenRead ("read") or FileCreateWrite ("create") and prints "held", or
// "failed CODE" with the last error code, on a line of its own. Then it waits until its
// standard input brings a line or ends, closes the file and exits with 0.
#include <cstdio>
#include <cstring>

#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/test_support.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: conlib_file_holder read|create PATH\n", stderr);
        return 2;
    }
    conlib::test::WriteStandardOutputAsIs();
    conlib::FileHandle file = conlib::InvalidFileHandle;
    if (std::strcmp(argv[1], "read") == 0) {
        file = conlib::FileOpenRead(argv[2]);
    } else if (std::strcmp(argv[1], "create") == 0) {
        file = conlib::FileCreateWrite(argv[2]);
    } else {
        std::fputs("conlib_file_holder: the mode is read or create\n", stderr);
        return 2;
    }

    if (file == conlib::InvalidFileHandle) {
        std::printf("failed %lu\n", static_cast<unsigned long>(conlib::win::GetLastError()));
    } else {
        std::puts("held");
    }
    std::fflush(stdout);

    for (int ch = std::getchar(); ch != EOF && ch != '\n'; ch = std::getchar()) {
    }
    if (file != conlib::InvalidFileHandle && !conlib::FileClose(file)) return 1;
    return 0;
}
