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
#include "platform/posix/win.hpp"

namespace conlib::posix {

namespace {

// The command line, built once and kept for the life of the process, as the system's own
// line is. The GNU C library hands the arguments to the functions of .init_array, so the line
// is built there, before the program can change or take out any of them (a test framework
// takes out its own options, for one); elsewhere it is built from /proc/self/cmdline when
// first asked for.
std::string& Line() {
    static std::string line;
    return line;
}
bool LineBuilt = false;

#if defined(__GLIBC__)
void BuildLineAtStart(int argc, char** argv, char** /*envp*/) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        arguments.emplace_back(argv[i]);
    Line() = CommandLineOf(arguments);
    LineBuilt = true;
}

[[gnu::section(".init_array"),
  gnu::used]] void (*const BuildLineAtStartEntry)(int, char**, char**) = BuildLineAtStart;
#endif

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
    if (!posix::LineBuilt) {
        posix::Line() = posix::CommandLineOf(posix::ArgumentsFromProc());
        posix::LineBuilt = true;
    }
    return posix::Line().data();
}

}  // namespace conlib::win
