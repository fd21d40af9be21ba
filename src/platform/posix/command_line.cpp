// The process's command line, as Windows would show it for the same program and arguments.
//
// A POSIX program receives its arguments as separate texts; Windows hands a program one line
// that its runtime splits again. The line is built once from the arguments, joined by single
// blanks: an argument that is empty or holds a blank or a tab goes in double quotes, an
// embedded quote is escaped with a backslash, and backslashes are doubled where they come
// before a quote (an escaped one or the closing one), so that the Windows rules read the
// arguments back unchanged.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "win.hpp"

namespace conlib::posix {

namespace {

// The arguments the process was started with. The GNU C library hands them to the functions
// of .init_array; elsewhere they are read from /proc/self/cmdline when first needed.
int StartArgumentCount = 0;
char** StartArguments = nullptr;

#if defined(__GLIBC__)
void KeepStartArguments(int argc, char** argv, char** /*envp*/) {
    StartArgumentCount = argc;
    StartArguments = argv;
}

[[gnu::section(".init_array"),
  gnu::used]] void (*const KeepStartArgumentsAtStart)(int, char**, char**) = KeepStartArguments;
#endif

std::vector<std::string> ArgumentsFromProc() {
    std::vector<std::string> arguments;
    std::FILE* const file = std::fopen("/proc/self/cmdline", "rb");
    if (file == nullptr) return arguments;
    std::string current;
    bool any = false;
    for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) {
        any = true;
        if (ch == '\0') {
            arguments.push_back(current);
            current.clear();
            any = false;
        } else {
            current += static_cast<char>(ch);
        }
    }
    if (any) arguments.push_back(current);
    std::fclose(file);
    return arguments;
}

std::vector<std::string> StartArgumentList() {
    if (StartArguments == nullptr) return ArgumentsFromProc();
    std::vector<std::string> arguments;
    for (int i = 0; i < StartArgumentCount && StartArguments[i] != nullptr; ++i) {
        arguments.emplace_back(StartArguments[i]);
    }
    return arguments;
}

void AppendQuoted(std::string& line, const std::string& argument) {
    const bool quoted = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    if (quoted) line += '"';
    std::size_t backslashes = 0;
    for (const char ch : argument) {
        if (ch == '\\') {
            ++backslashes;
            continue;
        }
        if (ch == '"') {
            line.append(backslashes * 2 + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += ch;
    }
    if (quoted) {
        line.append(backslashes * 2, '\\');
        line += '"';
    } else {
        line.append(backslashes, '\\');
    }
}

}  // namespace

std::string CommandLineOf(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i != 0) line += ' ';
        AppendQuoted(line, arguments[i]);
    }
    return line;
}

}  // namespace conlib::posix

namespace conlib::win {

LPSTR GetCommandLineA() {
    // Built on first use and kept for the life of the process, as the system's own line is.
    static std::string line = posix::CommandLineOf(posix::StartArgumentList());
    return line.data();
}

}  // namespace conlib::win
