// Test helper: shows a message box with no console to draw it on.
//
//   conlib_message_box_probe ERRORS ask|notice TEXT [CAPTION]
//
// Standard output stays what the test gave (a pipe), standard error goes to the file ERRORS,
// and the program never uses the headless console the tests run on. "ask" asks the question
// with AskYesNo and prints its answer, "notice" shows the notice with ShowNotice and prints
// "done"; a line each.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "conlib/files.hpp"

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::fputs("usage: conlib_message_box_probe ERRORS ask|notice TEXT [CAPTION]\n", stderr);
        return 2;
    }
    unsetenv("CONLIB_CONSOLE");
    const int errors = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errors < 0 || dup2(errors, STDERR_FILENO) < 0) return 2;
    close(errors);

    const char* caption = argc == 5 ? argv[4] : nullptr;
    if (std::strcmp(argv[2], "ask") == 0) {
        std::printf("%d\n", conlib::AskYesNo(argv[3], caption));
    } else {
        conlib::ShowNotice(argv[3], caption);
        std::puts("done");
    }
    return 0;
}
