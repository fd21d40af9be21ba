// Standard handles that are not a console.
#pragma once

#include "platform/windows/win.hpp"

namespace conlib::windows {

// True when `handle` is the process's standard handle `standardHandle` (STD_INPUT_HANDLE or
// STD_OUTPUT_HANDLE) and that is a file, a pipe or a device other than a console: the
// console calls cannot serve it, plain reads and writes can. The thread's last error code is
// left as it was.
bool IsRedirected(win::HANDLE handle, win::DWORD standardHandle);

}  // namespace conlib::windows
