// The command line that Windows would show for a program started with these arguments.
#pragma once

#include <string>
#include <vector>

namespace conlib::posix {

// `arguments` (the program name first) joined by single blanks; each that is empty or holds a
// blank or a tab is put in double quotes, embedded quotes are escaped with a backslash and
// backslashes are doubled where a quote follows them.
std::string CommandLineOf(const std::vector<std::string>& arguments);

// The process's arguments as /proc/self/cmdline lists them (Linux); none where it cannot be
// read. Where the C library does not hand the arguments over at start, the command line is
// built from these.
std::vector<std::string> ArgumentsFromProc();

}  // namespace conlib::posix
