// String routines on zero-terminated texts, in the caller's storage.
#include <compare>
#include <cstdint>

#include "conlib/console.hpp"
#include "conlib/util.hpp"

namespace conlib {

std::strong_ordering TextCompare(const char* first, const char* second) {
    for (std::uint32_t i = 0;; ++i) {
        const auto a = static_cast<unsigned char>(first[i]);
        const auto b = static_cast<unsigned char>(second[i]);
        if (a != b) return a <=> b;
        if (a == 0) return std::strong_ordering::equal;
    }
}

void TextCopy(const char* source, char* target) {
    const std::uint32_t length = TextLength(source);
    for (std::uint32_t i = 0; i <= length; ++i)
        target[i] = source[i];
}

void TextTrimTrailing(char* text, char ch) {
    const std::uint32_t length = TextLength(text);
    if (length == 0) return;
    std::uint32_t end = length;
    while (end > 0 && text[end - 1] == ch)
        --end;
    text[end] = '\0';
}

void TextUpper(char* text) {
    for (std::uint32_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] & ~0x20);
    }
}

}  // namespace conlib
