// The test helpers on POSIX: scratch folders made by mkdtemp, child processes with their
// standard input and output on pipes.
#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace conlib::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "conlib-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

namespace {

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// In a forked child: runs `command` (program path first) in place of the child.
[[noreturn]] void Exec(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// The exit code of a process that ended with `status`: 128 + the signal that ended it.
int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& command, const ProcessOptions& options) {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe failed");

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[0]);
        close(toChild[1]);
        close(fromChild[0]);
        close(fromChild[1]);
        if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(126);
        for (const std::string& entry : options.environment) {
            const auto eq = entry.find('=');
            setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
        }
        Exec(command);
    }

    close(toChild[0]);
    close(fromChild[1]);
    // The child's input is small; a pipe holds it whole, and closing it gives end of input.
    const auto oldPipeHandler = signal(SIGPIPE, SIG_IGN);
    WriteAll(toChild[1], options.input);
    close(toChild[1]);
    signal(SIGPIPE, oldPipeHandler);

    ProcessResult result{-1, {}};
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fromChild[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(fromChild[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = ExitCodeOf(status);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // dup2 clears close-on-exec on the copies, so only these two reach the program.
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        Exec(command);
    }
    close(toChild[0]);
    close(fromChild[1]);
    pid_ = static_cast<int>(pid);
    input_ = toChild[1];
    output_ = fromChild[0];
}

ChildProcess::~ChildProcess() {
    Finish();
    if (output_ >= 0) close(output_);
}

std::string ChildProcess::ReadLine(int timeoutMs) {
    for (;;) {
        if (std::optional<std::string> line = TakeLine()) return *line;
        if (output_ < 0) return {};
        pollfd ready{output_, POLLIN, 0};
        const int polled = poll(&ready, 1, timeoutMs);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return {};
        char buffer[256];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(output_);
            output_ = -1;
            return {};
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

int ChildProcess::Finish() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
    if (pid_ < 0) return exitCode_;
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 1000; ++waited) {
        done = waitpid(pid_, &status, WNOHANG);
        if (done != 0 && !(done < 0 && errno == EINTR)) break;
        usleep(10000);
    }
    if (done == 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
    if (done < 0) return exitCode_;
    exitCode_ = ExitCodeOf(status);
    return exitCode_;
}

unsigned SharingViolationCode() {
    return EBUSY;
}

bool RunningUnderWine() {
    return false;
}

bool BoxesWaitForAUser() {
    return false;  // the console host's box reads the console's input
}

void WriteStandardOutputAsIs() {}

}  // namespace conlib::test
