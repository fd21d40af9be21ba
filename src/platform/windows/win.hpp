// The Windows services the library calls: the Windows API itself.
//
// The same subset of types and functions as the POSIX layer declares, brought into
// `conlib::win` by using-declarations, so that library code written as `win::WriteConsoleA(...)`
// calls the system directly. The constants are the macros of <windows.h>, used unqualified.
//
// The calls that conlib implements itself (platform/common/own_calls.hpp) stand in for the
// system's where a standard handle is not a console but a file or a pipe (console_output.cpp,
// console_input.cpp, message_box.cpp); each is checked here against the system's declaration.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <type_traits>

namespace conlib::win {

using ::BOOL;
using ::BYTE;
using ::CHAR;
using ::DWORD;
using ::HANDLE;
using ::HLOCAL;
using ::HWND;
using ::LONG;
using ::LPCSTR;
using ::LPCVOID;
using ::LPDWORD;
using ::LPSTR;
using ::LPVOID;
using ::SHORT;
using ::UINT;
using ::WCHAR;
using ::WORD;

using ::CONSOLE_SCREEN_BUFFER_INFO;
using ::COORD;
using ::FILETIME;
using ::FOCUS_EVENT_RECORD;
using ::INPUT_RECORD;
using ::KEY_EVENT_RECORD;
using ::MENU_EVENT_RECORD;
using ::MOUSE_EVENT_RECORD;
using ::SMALL_RECT;
using ::SYSTEMTIME;
using ::WINDOW_BUFFER_SIZE_RECORD;

// Process and handles.
using ::CloseHandle;
using ::ExitProcess;
using ::GetCommandLineA;
using ::GetLastError;
using ::GetStdHandle;
using ::SetLastError;

// Console output (and WriteConsoleA, with the calls of platform/common/own_calls.hpp).
using ::GetConsoleScreenBufferInfo;
using ::ReadConsoleOutputAttribute;
using ::ReadConsoleOutputCharacterA;
using ::SetConsoleCursorPosition;
using ::SetConsoleScreenBufferSize;
using ::SetConsoleTextAttribute;
using ::WriteConsoleOutputAttribute;
using ::WriteConsoleOutputCharacterA;

// Console input: the calls of platform/common/own_calls.hpp, which on a standard input that is
// a file or a pipe read its bytes as typed keys (ReadConsoleA with line input: as lines, each
// handed over with CR LF), keep the input mode, and fail with ERROR_HANDLE_EOF once the input
// has ended and nothing is left; and the wait.
using ::Sleep;

// Files.
using ::CreateFileA;
using ::ReadFile;
using ::WriteFile;

// Time.
using ::GetLocalTime;
using ::GetSystemTime;
using ::SystemTimeToFileTime;

// System messages.
using ::FormatMessageA;
using ::LocalFree;

}  // namespace conlib::win

#include "platform/common/own_calls.hpp"

namespace conlib::windows {

// The result and parameter types of a function, without its calling convention (the system's
// calls are __stdcall on 32-bit Windows, ours are not).
template <class Function>
struct Signature;
template <class Result, class... Parameters>
struct Signature<Result (*)(Parameters...)> {
    using type = Result(Parameters...);
};
#if defined(__i386__) || defined(_M_IX86)
template <class Result, class... Parameters>
struct Signature<Result(WINAPI*)(Parameters...)> {
    using type = Result(Parameters...);
};
#endif

#define CONLIB_CHECK_OWN_CALL(result, name, parameters)                         \
    static_assert(std::is_same_v<Signature<decltype(&conlib::win::name)>::type, \
                                 Signature<decltype(&::name)>::type>,           \
                  #name " is declared here otherwise than by the system");
CONLIB_OWN_CALLS(CONLIB_CHECK_OWN_CALL)
#undef CONLIB_CHECK_OWN_CALL

}  // namespace conlib::windows
