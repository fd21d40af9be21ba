// Fuzz target: the hexadecimal conversion of ConReadHex on any text and any count within it.
// The text is handed over without a terminator, in a block exactly as long as it, so any read
// beyond the count is caught. The result must be the one std::from_chars gives for the last
// eight of the hexadecimal digits after the blanks.
#include <charconv>
#include <cstddef>
#include <cstdint>

#include "input/line_input.hpp"
#include "number_fuzz_support.hpp"

namespace {

constexpr char Target[] = "hex_text_fuzz";

bool IsHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace conlib::fuzz;
    if (size == 0 || size > 4096) return 0;
    const FuzzText text = MakeText(data, size, false);
    const char* chars = text.storage.get();

    const conlib::Result<std::uint32_t> got = conlib::detail::ConvertHexText(chars, text.length);

    const std::uint32_t start = NumberStart(chars, text.length);
    std::uint32_t end = start;
    while (end < text.length && IsHexDigit(chars[end]))
        ++end;
    // The failure messages show the text up to its count only: it has no terminator.
    if (end == start) {
        if (got.ok || got.value != 0) Fail(Target, "no digit must fail", "", text.length);
        return 0;
    }
    const std::uint32_t first = end - start > 8 ? end - 8 : start;
    std::uint32_t expected = 0;
    std::from_chars(chars + first, chars + end, expected, 16);
    if (!got.ok || got.value != expected) Fail(Target, "wrong value", "", text.length);
    return 0;
}
