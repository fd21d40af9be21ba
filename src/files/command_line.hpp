// The command-line tail over a command line given by the caller: the scan that
// GetArgumentTail runs over the process's own command line, open to tests and fuzzing.
#pragma once

#include <cstdint>

namespace conlib {

// Copies the tail of `commandLine` into `buffer` (`capacity` bytes) as GetArgumentTail
// describes; `commandLine` is a zero-terminated text.
bool CopyArgumentTail(const char* commandLine, char* buffer, std::uint32_t capacity);

}  // namespace conlib
