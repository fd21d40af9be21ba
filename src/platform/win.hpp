// The Windows services the library calls, in namespace conlib::win: on Windows the system's own
// (platform/windows/win.hpp), elsewhere those of the POSIX layer (platform/posix/win.hpp).
#pragma once

#if defined(_WIN32)
#include "platform/windows/win.hpp"
#else
#include "platform/posix/win.hpp"
#endif
