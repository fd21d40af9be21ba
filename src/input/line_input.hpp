// The conversion of ConReadHex, callable on text of its own without a console read.
#pragma once

#include <cstdint>

#include "conlib/util.hpp"

namespace conlib::detail {

// Converts the first `count` characters of `text` as ConReadHex converts its line: leading
// blanks skipped, then hexadecimal digits up to the first other character; reads nothing
// beyond `count` characters.
Result<std::uint32_t> ConvertHexText(const char* text, std::uint32_t count);

}  // namespace conlib::detail
