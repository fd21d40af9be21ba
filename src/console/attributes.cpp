// Console attributes and the screen buffer's size.
#include "conlib/console.hpp"
#include "console/session.hpp"
#include "platform/win.hpp"

namespace conlib {

using detail::ConsoleSession;
using namespace win;

// Both queries start from a zero record, so a console that cannot be queried yields zeros.

ScreenSize ConGetWindowSize() {
    EnsureConsole();
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    win::GetConsoleScreenBufferInfo(ConsoleSession.output, &info);
    return ScreenSize{static_cast<std::uint16_t>(info.dwSize.X),
                      static_cast<std::uint16_t>(info.dwSize.Y)};
}

std::uint16_t ConGetTextAttr() {
    EnsureConsole();
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    win::GetConsoleScreenBufferInfo(ConsoleSession.output, &info);
    return info.wAttributes;
}

void ConSetTextAttr(std::uint16_t attribute) {
    EnsureConsole();
    win::SetConsoleTextAttribute(ConsoleSession.output, attribute);
}

}  // namespace conlib
