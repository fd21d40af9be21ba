// conlib: keyboard input.
#pragma once

#include <cstdint>

#include "conlib/util.hpp"

namespace conlib {

// A key as the program sees it: its character (0 for keys without one) and its scan code.
struct KeyCode {
    std::uint8_t ch;
    std::uint8_t scan;
};

// One key press taken from the console's input, if one was available.
struct KeyPress {
    bool available;
    std::uint8_t ch;
    std::uint8_t scan;
    std::uint16_t vk;
    std::uint32_t state;
};

}  // namespace conlib
