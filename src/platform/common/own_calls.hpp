// The Windows calls that conlib implements itself on every system, declared once for both
// system layers. On POSIX systems they are the console host's, like every other call there. On
// Windows they stand in for the system's calls where a standard handle is a file or a pipe
// (output then goes out as plain bytes, input is read as typed keys and lines, up to an end of
// input that makes every wait return) and call the system's own otherwise; the message box
// says 0 when it cannot be shown at all. WaitForSingleObject is the wait on the console's input
// for its next record (or the end of the input): without a limit (INFINITE), or a look (0);
// another limit is taken as a look. There each one is checked at compile time against
// the system's declaration of the same name (platform/windows/win.hpp).
//
// Included at the end of each layer's win.hpp, which declares the types first.
#pragma once

// CALL(result, name, parameters) for each of the calls.
#define CONLIB_OWN_CALLS(CALL)                                                                  \
    CALL(BOOL, WriteConsoleA,                                                                   \
         (HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,             \
          LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved))                                   \
    CALL(BOOL, ReadConsoleA,                                                                    \
         (HANDLE hConsoleInput, LPVOID lpBuffer, DWORD nNumberOfCharsToRead,                    \
          LPDWORD lpNumberOfCharsRead, LPVOID pInputControl))                                   \
    CALL(BOOL, GetConsoleMode, (HANDLE hConsoleHandle, LPDWORD lpMode))                         \
    CALL(BOOL, SetConsoleMode, (HANDLE hConsoleHandle, DWORD dwMode))                           \
    CALL(BOOL, PeekConsoleInputA,                                                               \
         (HANDLE hConsoleInput, INPUT_RECORD * lpBuffer, DWORD nLength,                         \
          LPDWORD lpNumberOfEventsRead))                                                        \
    CALL(BOOL, ReadConsoleInputA,                                                               \
         (HANDLE hConsoleInput, INPUT_RECORD * lpBuffer, DWORD nLength,                         \
          LPDWORD lpNumberOfEventsRead))                                                        \
    CALL(BOOL, WriteConsoleInputA,                                                              \
         (HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,                    \
          LPDWORD lpNumberOfEventsWritten))                                                     \
    CALL(BOOL, GetNumberOfConsoleInputEvents, (HANDLE hConsoleInput, LPDWORD lpNumberOfEvents)) \
    CALL(BOOL, FlushConsoleInputBuffer, (HANDLE hConsoleInput))                                 \
    CALL(DWORD, WaitForSingleObject, (HANDLE hHandle, DWORD dwMilliseconds))                    \
    CALL(int, MessageBoxA, (HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType))

namespace conlib::win {

#define CONLIB_DECLARE_OWN_CALL(result, name, parameters) result name parameters;
CONLIB_OWN_CALLS(CONLIB_DECLARE_OWN_CALL)
#undef CONLIB_DECLARE_OWN_CALL

}  // namespace conlib::win
