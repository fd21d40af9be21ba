// The test helpers on Windows: scratch folders in the temporary folder, child processes with
// their standard input and output on pipes.
#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace conlib::test {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> TempDirCount{0};

// A process's handles are kept in the header's int members: Windows handles are 32-bit values,
// even in 64-bit processes, and convert losslessly both ways.
int StoredHandle(HANDLE handle) {
    return static_cast<int>(HandleToLong(handle));
}
HANDLE HandleOf(int stored) {
    return LongToHandle(stored);
}

// One argument as the C runtime's command-line parser reads it back: quoted when it is empty
// or holds blanks or quotes; backslashes doubled only where they come before a quote.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char ch : argument) {
        if (ch == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(ch == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += ch;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string CommandLine(const std::vector<std::string>& command) {
    std::string line;
    for (const std::string& argument : command) {
        if (!line.empty()) line += ' ';
        line += Quoted(argument);
    }
    return line;
}

// The test's own environment with `additions` (NAME=value) put in, as the block that
// CreateProcessA takes: entries ending with a zero byte, an empty one last.
std::string EnvironmentBlock(const std::vector<std::string>& additions) {
    auto sameName = [](const std::string& entry, const std::string& addition) {
        const auto eq = addition.find('=');
        return entry.size() > eq && entry[eq] == '=' &&
               CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry.data(), static_cast<int>(eq),
                              addition.data(), static_cast<int>(eq)) == CSTR_EQUAL;
    };
    std::string block;
    char* const own = GetEnvironmentStringsA();
    for (const char* entry = own; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1) {
        bool replaced = false;
        for (const std::string& addition : additions)
            replaced = replaced || sameName(entry, addition);
        if (!replaced) block.append(entry).push_back('\0');
    }
    if (own != nullptr) FreeEnvironmentStringsA(own);
    for (const std::string& addition : additions)
        block.append(addition).push_back('\0');
    block.push_back('\0');
    return block;
}

struct Pipes {
    HANDLE childInput = nullptr;  // the child's standard input; the test writes the other end
    HANDLE testInput = nullptr;
    HANDLE childOutput = nullptr;  // the child's standard output; the test reads the other end
    HANDLE testOutput = nullptr;
};

// Two pipes whose child ends are inherited and the test's ends are not. The input pipe holds
// `inputSize` bytes, so that the test can write it whole before the child reads it.
Pipes MakePipes(std::size_t inputSize) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Pipes pipes;
    const auto size = static_cast<DWORD>(inputSize + 4096);
    if (!CreatePipe(&pipes.childInput, &pipes.testInput, &inherit, size)) {
        throw std::runtime_error("CreatePipe failed");
    }
    if (!CreatePipe(&pipes.testOutput, &pipes.childOutput, &inherit, 0)) {
        CloseHandle(pipes.childInput);
        CloseHandle(pipes.testInput);
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(pipes.testInput, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(pipes.testOutput, HANDLE_FLAG_INHERIT, 0);
    return pipes;
}

// Starts `command` on the child ends of `pipes`, which it then closes; returns the process.
HANDLE Start(const std::vector<std::string>& command, Pipes& pipes, const char* directory,
             const std::string* environment) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = pipes.childInput;
    startup.hStdOutput = pipes.childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::string line = CommandLine(command);
    const BOOL started =
        CreateProcessA(command.at(0).c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                       environment != nullptr ? const_cast<char*>(environment->data()) : nullptr,
                       directory, &startup, &process);
    CloseHandle(pipes.childInput);
    CloseHandle(pipes.childOutput);
    if (!started) {
        CloseHandle(pipes.testInput);
        CloseHandle(pipes.testOutput);
        throw std::runtime_error("CreateProcess failed for " + command.at(0));
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

void WriteAll(HANDLE pipe, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return;  // the child has gone without reading it all
        }
        done += written;
    }
}

int ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

}  // namespace

TempDir::TempDir() {
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate = base / ("conlib-test-" + std::to_string(GetCurrentProcessId()) +
                                           "-" + std::to_string(TempDirCount.fetch_add(1)) + "-" +
                                           std::to_string(GetTickCount() % 100000));
        if (CreateDirectoryA(candidate.string().c_str(), nullptr)) {
            path_ = candidate.generic_string();
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ProcessResult RunProcess(const std::vector<std::string>& command, const ProcessOptions& options) {
    Pipes pipes = MakePipes(options.input.size());
    const std::string environment = EnvironmentBlock(options.environment);
    const HANDLE process =
        Start(command, pipes, options.directory.empty() ? nullptr : options.directory.c_str(),
              options.environment.empty() ? nullptr : &environment);

    // The pipe holds the input whole; closing it gives the end of the input.
    WriteAll(pipes.testInput, options.input);
    CloseHandle(pipes.testInput);

    ProcessResult result{-1, {}};
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipes.testOutput, buffer, sizeof buffer, &count, nullptr) && count > 0) {
        result.output.append(buffer, count);
    }
    CloseHandle(pipes.testOutput);

    WaitForSingleObject(process, INFINITE);
    result.exitCode = ExitCodeOf(process);
    CloseHandle(process);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    Pipes pipes = MakePipes(0);
    const HANDLE process = Start(command, pipes, nullptr, nullptr);
    pid_ = StoredHandle(process);
    input_ = StoredHandle(pipes.testInput);
    output_ = StoredHandle(pipes.testOutput);
}

ChildProcess::~ChildProcess() {
    Finish();
    if (output_ >= 0) CloseHandle(HandleOf(output_));
}

std::string ChildProcess::ReadLine(int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (std::optional<std::string> line = TakeLine()) return *line;
        if (output_ < 0) return {};
        DWORD available = 0;
        if (!PeekNamedPipe(HandleOf(output_), nullptr, 0, nullptr, &available, nullptr)) {
            // The child has closed its output.
            CloseHandle(HandleOf(output_));
            output_ = -1;
            return {};
        }
        if (available == 0) {
            if (GetTickCount64() >= deadline) return {};
            Sleep(5);
            continue;
        }
        char buffer[256];
        DWORD count = 0;
        if (!ReadFile(HandleOf(output_), buffer,
                      available < sizeof buffer ? available : DWORD{sizeof buffer}, &count,
                      nullptr) ||
            count == 0) {
            CloseHandle(HandleOf(output_));
            output_ = -1;
            return {};
        }
        pending_.append(buffer, count);
    }
}

int ChildProcess::Finish() {
    if (input_ >= 0) {
        CloseHandle(HandleOf(input_));
        input_ = -1;
    }
    if (pid_ < 0) return exitCode_;
    const HANDLE process = HandleOf(pid_);
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 137);
        WaitForSingleObject(process, INFINITE);
    }
    exitCode_ = ExitCodeOf(process);
    CloseHandle(process);
    pid_ = -1;
    return exitCode_;
}

unsigned SharingViolationCode() {
    return ERROR_SHARING_VIOLATION;
}

bool RunningUnderWine() {
    // Wine's own system library exports its version; Windows' does not.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool BoxesWaitForAUser() {
    return !RunningUnderWine();
}

void WriteStandardOutputAsIs() {
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace conlib::test
