// Code page 437, the console's code page: the glyph of each byte.
#pragma once

#include <string_view>

namespace conlib::platform {

// The Unicode code point of the glyph that the code page shows for `byte`.
char16_t Cp437CodePoint(unsigned char byte);

// The UTF-8 text of the glyph that the code page shows for `byte` (one to three bytes).
std::string_view Cp437Glyph(unsigned char byte);

}  // namespace conlib::platform
