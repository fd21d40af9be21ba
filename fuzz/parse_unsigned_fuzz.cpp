// Fuzz target: ParseUnsigned on any zero-terminated text and any length within it. The result
// must be the one std::from_chars gives for the digits after the blanks.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <system_error>

#include "conlib/input.hpp"
#include "number_fuzz_support.hpp"

namespace {

constexpr char Target[] = "parse_unsigned_fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace conlib::fuzz;
    if (size == 0 || size > 4096) return 0;
    const FuzzText text = MakeText(data, size, true);
    const char* chars = text.storage.get();

    const conlib::Result<std::uint32_t> got = conlib::ParseUnsigned(chars, text.length);

    const std::uint32_t start = NumberStart(chars, text.length);
    if (text.length == 0 || start == text.length) {
        if (got.ok || got.value != 0)
            Fail(Target, "empty or blank text must fail", chars, text.length);
        return 0;
    }
    const char* digits = chars + start;
    const std::size_t run = DigitRun(digits);
    if (run == 0) {
        if (!got.ok || got.value != 0) Fail(Target, "no digit must give 0", chars, text.length);
        return 0;
    }
    std::uint32_t expected = 0;
    const std::from_chars_result parsed = std::from_chars(digits, digits + run, expected);
    if (parsed.ec == std::errc::result_out_of_range) {
        if (got.ok || got.value != 0) Fail(Target, "overflow must fail", chars, text.length);
        return 0;
    }
    if (!got.ok || got.value != expected) Fail(Target, "wrong value", chars, text.length);
    return 0;
}
