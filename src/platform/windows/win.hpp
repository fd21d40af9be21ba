// The Windows services the library calls: the Windows API itself.
//
// The same subset of types and functions as the POSIX layer declares, brought into
// `conlib::win` by using-declarations, so that library code written as `win::WriteConsoleA(...)`
// calls the system directly. The constants are the macros of <windows.h>, used unqualified.
//
// Our own code stands in for the console calls where a standard handle is not a console but a
// file or a pipe (console_output.cpp, console_input.cpp): output then goes out as plain bytes,
// and input is read as typed keys and lines, up to an end of input that makes every wait return.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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

// Console output. A write to a standard output that is a file or a pipe writes the bytes.
BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID lpReserved);
using ::GetConsoleScreenBufferInfo;
using ::ReadConsoleOutputAttribute;
using ::ReadConsoleOutputCharacterA;
using ::SetConsoleCursorPosition;
using ::SetConsoleScreenBufferSize;
using ::SetConsoleTextAttribute;
using ::WriteConsoleOutputAttribute;
using ::WriteConsoleOutputCharacterA;

// Console input. On a standard input that is a file or a pipe these read its bytes as typed
// keys (ReadConsoleA with line input: as lines, each handed over with CR LF), keep the input
// mode, and fail with ERROR_HANDLE_EOF once the input has ended and nothing is left.
BOOL ReadConsoleA(HANDLE hConsoleInput, LPVOID lpBuffer, DWORD nNumberOfCharsToRead,
                  LPDWORD lpNumberOfCharsRead, LPVOID pInputControl);
BOOL GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode);
BOOL SetConsoleMode(HANDLE hConsoleHandle, DWORD dwMode);
BOOL PeekConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead);
BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       LPDWORD lpNumberOfEventsRead);
BOOL WriteConsoleInputA(HANDLE hConsoleInput, const INPUT_RECORD* lpBuffer, DWORD nLength,
                        LPDWORD lpNumberOfEventsWritten);
BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, LPDWORD lpNumberOfEvents);
BOOL FlushConsoleInputBuffer(HANDLE hConsoleInput);
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

// Message boxes: the system's box; a box that cannot be shown at all gives 0.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

}  // namespace conlib::win
