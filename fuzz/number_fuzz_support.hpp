// Shared by the number parsing fuzz targets: how an input is cut into a text and the length
// handed in, and a plain reference conversion to compare the parsers with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace conlib::fuzz {

// The text of an input in a heap block of its own, exactly as long as the text (plus the
// terminator when asked for), so that AddressSanitizer sees any read beyond it.
struct FuzzText {
    std::unique_ptr<char[]> storage;
    std::uint32_t size;    // characters of text, terminator not counted
    std::uint32_t length;  // the length to hand in, at most `size`
};

// The first input byte chooses the length: below 0x40, that many characters (at most the whole
// text); otherwise the whole text, as the line readers hand it in. The rest is the text.
inline FuzzText MakeText(const std::uint8_t* data, std::size_t size, bool terminate) {
    FuzzText text{};
    text.size = static_cast<std::uint32_t>(size - 1);
    text.storage = std::make_unique<char[]>(text.size + (terminate ? 1 : 0));
    if (text.size > 0) std::memcpy(text.storage.get(), data + 1, text.size);
    if (terminate) text.storage[text.size] = '\0';
    text.length = data[0] < 0x40 ? (data[0] < text.size ? data[0] : text.size) : text.size;
    return text;
}

inline bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

inline bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// Where the number starts: after the blanks among the first `length` characters; `length`
// when they are all blanks.
inline std::uint32_t NumberStart(const char* text, std::uint32_t length) {
    std::uint32_t start = 0;
    while (start < length && IsBlank(text[start]))
        ++start;
    return start;
}

// The run of decimal digits from `text`.
inline std::size_t DigitRun(const char* text) {
    std::size_t run = 0;
    while (IsDigit(text[run]))
        ++run;
    return run;
}

[[noreturn]] inline void Fail(const char* target, const char* what, const char* text,
                              std::uint32_t length) {
    std::fprintf(stderr, "%s: %s (length %u, text \"%s\")\n", target, what, length, text);
    std::abort();
}

}  // namespace conlib::fuzz
