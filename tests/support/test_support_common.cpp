// The test helpers that need nothing of the system: whole-file reads and writes, the removal
// of a scratch folder, the lines of a child process's output once they have arrived, and the
// note of a fault of Wine's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "support/test_support.hpp"

namespace conlib::test {

namespace fs = std::filesystem;

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    return fs::exists(path);
}

bool MeetsWineFault(const char* fault) {
    if (!RunningUnderWine()) return false;
    ::testing::Test::RecordProperty("wine_fault", fault);
    return true;
}

std::optional<std::string> ChildProcess::TakeLine() {
    const auto end = pending_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
}

}  // namespace conlib::test
