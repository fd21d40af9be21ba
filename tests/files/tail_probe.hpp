// The command-line tail probe (CONLIB_ARGUMENT_TAIL_PROBE_PATH) run as a child process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace conlib::test {

// The probe's two lines: what GetArgumentTail reported, and its whole command line.
struct ProbeReport {
    std::string tail;
    std::string commandLine;
};

inline ProbeReport RunProbe(const std::vector<std::string>& arguments,
                            std::uint32_t capacity = 4096) {
    std::vector<std::string> command{CONLIB_ARGUMENT_TAIL_PROBE_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ProcessResult result = RunProcess(
        command, ProcessOptions{"", {"CONLIB_TAIL_CAPACITY=" + std::to_string(capacity)}, ""});
    EXPECT_EQ(result.exitCode, 0);
    const auto lineEnd = result.output.find('\n');
    if (lineEnd == std::string::npos) return {result.output, ""};
    std::string second = result.output.substr(lineEnd + 1);
    if (!second.empty() && second.back() == '\n') second.pop_back();
    return {result.output.substr(0, lineEnd), second};
}

}  // namespace conlib::test
