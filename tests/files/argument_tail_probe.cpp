// Test helper: reports what GetArgumentTail finds in its own command line.
//
//   CONLIB_TAIL_CAPACITY=N conlib_argument_tail_probe [ARGUMENTS...]
//
// Calls GetArgumentTail with a buffer of N bytes (default 4096) that holds "stale" before the
// call, and prints "ok[TAIL]" or "failed[BUFFER]" on one line, then the whole command line in
// brackets on a second line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "conlib/files.hpp"
#include "platform/win.hpp"
#include "support/test_support.hpp"

int main() {
    conlib::test::WriteStandardOutputAsIs();
    std::uint32_t capacity = 4096;
    if (const char* setting = std::getenv("CONLIB_TAIL_CAPACITY")) {
        capacity = static_cast<std::uint32_t>(std::strtoul(setting, nullptr, 10));
    }
    std::vector<char> buffer(capacity + 1, '\0');
    std::strncpy(buffer.data(), "stale", buffer.size() - 1);
    const bool ok = conlib::GetArgumentTail(buffer.data(), capacity);
    std::printf("%s[%s]\n[%s]\n", ok ? "ok" : "failed", buffer.data(),
                conlib::win::GetCommandLineA());
    return 0;
}
