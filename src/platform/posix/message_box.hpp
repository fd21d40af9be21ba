// The console host's message box, as it is drawn over the screen buffer.
#pragma once

#include "platform/posix/win.hpp"
#include "screen_buffer.hpp"

namespace conlib::posix {

// The cells a box covers: a rectangle from (left, top), clipped to the window and the buffer.
struct MessageBoxArea {
    int left;
    int top;
    int columns;
    int rows;
    friend bool operator==(const MessageBoxArea&, const MessageBoxArea&) = default;
};

// How the box looks.
inline constexpr std::uint16_t MessageBoxAttribute = 0x70;       // black on light grey
inline constexpr std::uint16_t MessageBoxFocusAttribute = 0x1F;  // the focused button
inline constexpr std::uint16_t MessageBoxIconAttribute = 0x1E;   // the question mark

// Draws the box that MessageBoxA shows for `text`, `caption` and `type` (MB_OK, MB_OKCANCEL,
// MB_YESNOCANCEL or MB_YESNO, each with or without MB_ICONQUESTION), centred in a window of
// `windowColumns` x `windowRows` cells whose top left cell is that of the window of `screen`
// (where the terminal shows it), with button `focus` (counted from 0, left to right) marked.
// Nothing is drawn outside the window or the buffer. Returns the cells of the buffer it covers;
// none for a type it does not show.
MessageBoxArea DrawMessageBox(ScreenBuffer& screen, int windowColumns, int windowRows,
                              const char* text, const char* caption, win::UINT type, int focus);

}  // namespace conlib::posix
