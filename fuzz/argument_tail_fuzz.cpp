// Fuzz target: the command-line tail over any command line and any buffer capacity. The buffer
// and the command line sit in heap blocks of exactly their size, so that AddressSanitizer
// catches a read past the line's terminator or a write past the capacity. A tail that is
// reported must be a non-empty end piece of the line that fits with its terminator; a failure
// must leave the empty text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/command_line.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the capacity; the rest, up to a zero byte, is the line.
    const auto capacity = static_cast<std::uint32_t>(data[0] | (data[1] << 8));
    const char* const text = reinterpret_cast<const char*>(data + 2);
    const std::size_t length = strnlen(text, size - 2);

    std::vector<char> line(text, text + length);
    line.push_back('\0');
    line.shrink_to_fit();
    std::vector<char> buffer(capacity, '\x7f');
    buffer.shrink_to_fit();

    const bool ok = conlib::CopyArgumentTail(line.data(), buffer.data(), capacity);
    if (capacity == 0) {
        if (ok) std::abort();
        return 0;
    }
    const void* const end = std::memchr(buffer.data(), '\0', capacity);
    if (end == nullptr) std::abort();  // the buffer must always hold a text
    const std::size_t tail =
        static_cast<std::size_t>(static_cast<const char*>(end) - buffer.data());
    if (!ok) {
        if (tail != 0) std::abort();
        return 0;
    }
    if (tail == 0 || tail > length) std::abort();
    if (std::memcmp(buffer.data(), line.data() + (length - tail), tail) != 0) std::abort();
    return 0;
}
