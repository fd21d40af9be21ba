// The Windows services the library calls, provided on POSIX systems by a console host of our
// own (screen buffer model, renderer, keyboard) and by thin wrappers over file descriptors.
//
// Only the subset the library and its tests use is declared, with the Windows names, sizes
// and layouts, so that code written against it builds unchanged on Windows. Constants are
// used unqualified by callers (on Windows most of them are macros), functions through
// `win::`.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace conlib::win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = int;
using SHORT = std::int16_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using CHAR = char;
using WCHAR = char16_t;
using HANDLE = void*;
using HLOCAL = void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

struct COORD {
    SHORT X;
    SHORT Y;
};

struct SMALL_RECT {
    SHORT Left;
    SHORT Top;
    SHORT Right;
    SHORT Bottom;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
    COORD dwSize;
    COORD dwCursorPosition;
    WORD wAttributes;
    SMALL_RECT srWindow;
    COORD dwMaximumWindowSize;
};

struct KEY_EVENT_RECORD {
    BOOL bKeyDown;
    WORD wRepeatCount;
    WORD wVirtualKeyCode;
    WORD wVirtualScanCode;
    union {
        WCHAR UnicodeChar;
        CHAR AsciiChar;
    } uChar;
    DWORD dwControlKeyState;
};

struct MOUSE_EVENT_RECORD {
    COORD dwMousePosition;
    DWORD dwButtonState;
    DWORD dwControlKeyState;
    DWORD dwEventFlags;
};

struct WINDOW_BUFFER_SIZE_RECORD {
    COORD dwSize;
};

struct MENU_EVENT_RECORD {
    UINT dwCommandId;
};

struct FOCUS_EVENT_RECORD {
    BOOL bSetFocus;
};

struct INPUT_RECORD {
    WORD EventType;
    union {
        KEY_EVENT_RECORD KeyEvent;
        MOUSE_EVENT_RECORD MouseEvent;
        WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
        MENU_EVENT_RECORD MenuEvent;
        FOCUS_EVENT_RECORD FocusEvent;
    } Event;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

static_assert(sizeof(COORD) == 4);
static_assert(sizeof(CONSOLE_SCREEN_BUFFER_INFO) == 22);
static_assert(sizeof(KEY_EVENT_RECORD) == 16);
static_assert(sizeof(INPUT_RECORD) == 20);
static_assert(sizeof(SYSTEMTIME) == 16);
static_assert(sizeof(FILETIME) == 8);

// Standard handles.
inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// CreateFileA: access, sharing, disposition, attributes.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// FormatMessageA.
inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;

// Last error codes. On POSIX systems these are errno values.
inline constexpr DWORD ERROR_INVALID_HANDLE = 9;      // EBADF
inline constexpr DWORD ERROR_INVALID_PARAMETER = 22;  // EINVAL
// The console's input has ended (standard input at end of file, or a console with no input
// source whose queue is empty): nothing more will come.
inline constexpr DWORD ERROR_HANDLE_EOF = 61;  // ENODATA

// Waits.
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Console output attributes.
inline constexpr WORD FOREGROUND_BLUE = 0x0001;
inline constexpr WORD FOREGROUND_GREEN = 0x0002;
inline constexpr WORD FOREGROUND_RED = 0x0004;
inline constexpr WORD FOREGROUND_INTENSITY = 0x0008;
inline constexpr WORD BACKGROUND_BLUE = 0x0010;
inline constexpr WORD BACKGROUND_GREEN = 0x0020;
inline constexpr WORD BACKGROUND_RED = 0x0040;
inline constexpr WORD BACKGROUND_INTENSITY = 0x0080;
inline constexpr WORD COMMON_LVB_REVERSE_VIDEO = 0x4000;
inline constexpr WORD COMMON_LVB_UNDERSCORE = 0x8000;

// Console modes.
inline constexpr DWORD ENABLE_PROCESSED_INPUT = 0x0001;
inline constexpr DWORD ENABLE_LINE_INPUT = 0x0002;
inline constexpr DWORD ENABLE_ECHO_INPUT = 0x0004;
inline constexpr DWORD ENABLE_WINDOW_INPUT = 0x0008;
inline constexpr DWORD ENABLE_MOUSE_INPUT = 0x0010;
inline constexpr DWORD ENABLE_PROCESSED_OUTPUT = 0x0001;
inline constexpr DWORD ENABLE_WRAP_AT_EOL_OUTPUT = 0x0002;

// Input records.
inline constexpr WORD KEY_EVENT = 0x0001;
inline constexpr WORD MOUSE_EVENT = 0x0002;
inline constexpr WORD WINDOW_BUFFER_SIZE_EVENT = 0x0004;
inline constexpr WORD MENU_EVENT = 0x0008;
inline constexpr WORD FOCUS_EVENT = 0x0010;

// Control-key state of a key event.
inline constexpr DWORD RIGHT_ALT_PRESSED = 0x0001;
inline constexpr DWORD LEFT_ALT_PRESSED = 0x0002;
inline constexpr DWORD RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr DWORD LEFT_CTRL_PRESSED = 0x0008;
inline constexpr DWORD SHIFT_PRESSED = 0x0010;
inline constexpr DWORD NUMLOCK_ON = 0x0020;
inline constexpr DWORD SCROLLLOCK_ON = 0x0040;
inline constexpr DWORD CAPSLOCK_ON = 0x0080;
inline constexpr DWORD ENHANCED_KEY = 0x0100;

// Virtual key codes of a key event.
inline constexpr WORD VK_CANCEL = 0x03;
inline constexpr WORD VK_BACK = 0x08;
inline constexpr WORD VK_TAB = 0x09;
inline constexpr WORD VK_CLEAR = 0x0C;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_SHIFT = 0x10;
inline constexpr WORD VK_CONTROL = 0x11;
inline constexpr WORD VK_MENU = 0x12;
inline constexpr WORD VK_PAUSE = 0x13;
inline constexpr WORD VK_CAPITAL = 0x14;
inline constexpr WORD VK_ESCAPE = 0x1B;
inline constexpr WORD VK_SPACE = 0x20;
inline constexpr WORD VK_PRIOR = 0x21;
inline constexpr WORD VK_NEXT = 0x22;
inline constexpr WORD VK_END = 0x23;
inline constexpr WORD VK_HOME = 0x24;
inline constexpr WORD VK_LEFT = 0x25;
inline constexpr WORD VK_UP = 0x26;
inline constexpr WORD VK_RIGHT = 0x27;
inline constexpr WORD VK_DOWN = 0x28;
inline constexpr WORD VK_SNAPSHOT = 0x2C;
inline constexpr WORD VK_INSERT = 0x2D;
inline constexpr WORD VK_DELETE = 0x2E;
inline constexpr WORD VK_HELP = 0x2F;
inline constexpr WORD VK_LWIN = 0x5B;
inline constexpr WORD VK_RWIN = 0x5C;
inline constexpr WORD VK_APPS = 0x5D;
inline constexpr WORD VK_NUMPAD0 = 0x60;
inline constexpr WORD VK_NUMPAD1 = 0x61;
inline constexpr WORD VK_NUMPAD2 = 0x62;
inline constexpr WORD VK_NUMPAD3 = 0x63;
inline constexpr WORD VK_NUMPAD4 = 0x64;
inline constexpr WORD VK_NUMPAD5 = 0x65;
inline constexpr WORD VK_NUMPAD6 = 0x66;
inline constexpr WORD VK_NUMPAD7 = 0x67;
inline constexpr WORD VK_NUMPAD8 = 0x68;
inline constexpr WORD VK_NUMPAD9 = 0x69;
inline constexpr WORD VK_MULTIPLY = 0x6A;
inline constexpr WORD VK_ADD = 0x6B;
inline constexpr WORD VK_SEPARATOR = 0x6C;
inline constexpr WORD VK_SUBTRACT = 0x6D;
inline constexpr WORD VK_DECIMAL = 0x6E;
inline constexpr WORD VK_DIVIDE = 0x6F;
inline constexpr WORD VK_F1 = 0x70;
inline constexpr WORD VK_F2 = 0x71;
inline constexpr WORD VK_F3 = 0x72;
inline constexpr WORD VK_F4 = 0x73;
inline constexpr WORD VK_F5 = 0x74;
inline constexpr WORD VK_F6 = 0x75;
inline constexpr WORD VK_F7 = 0x76;
inline constexpr WORD VK_F8 = 0x77;
inline constexpr WORD VK_F9 = 0x78;
inline constexpr WORD VK_F10 = 0x79;
inline constexpr WORD VK_F11 = 0x7A;
inline constexpr WORD VK_F12 = 0x7B;
inline constexpr WORD VK_F24 = 0x87;
inline constexpr WORD VK_NUMLOCK = 0x90;
inline constexpr WORD VK_SCROLL = 0x91;
inline constexpr WORD VK_LSHIFT = 0xA0;
inline constexpr WORD VK_RSHIFT = 0xA1;
inline constexpr WORD VK_LCONTROL = 0xA2;
inline constexpr WORD VK_RCONTROL = 0xA3;
inline constexpr WORD VK_LMENU = 0xA4;
inline constexpr WORD VK_RMENU = 0xA5;
inline constexpr WORD VK_OEM_1 = 0xBA;       // ; and :
inline constexpr WORD VK_OEM_PLUS = 0xBB;    // = and +
inline constexpr WORD VK_OEM_COMMA = 0xBC;   // , and <
inline constexpr WORD VK_OEM_MINUS = 0xBD;   // - and _
inline constexpr WORD VK_OEM_PERIOD = 0xBE;  // . and >
inline constexpr WORD VK_OEM_2 = 0xBF;       // / and ?
inline constexpr WORD VK_OEM_3 = 0xC0;       // ` and ~
inline constexpr WORD VK_OEM_4 = 0xDB;       // [ and {
inline constexpr WORD VK_OEM_5 = 0xDC;       // backslash and |
inline constexpr WORD VK_OEM_6 = 0xDD;       // ] and }
inline constexpr WORD VK_OEM_7 = 0xDE;       // ' and "
inline constexpr WORD VK_PACKET = 0xE7;      // a character that comes from no key

// Message boxes: buttons, icon and answers.
using HWND = void*;
inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNOCANCEL = 0x00000003;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Process and handles.
HANDLE GetStdHandle(DWORD nStdHandle);
BOOL CloseHandle(HANDLE hObject);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
[[noreturn]] void ExitProcess(UINT uExitCode);
// The process's command line as Windows shows it: the program name and the arguments joined by
// blanks, each that is empty or holds a blank or a tab in double quotes.
LPSTR GetCommandLineA();

// Console output (and WriteConsoleA, with the calls of platform/common/own_calls.hpp).
BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput,
                                CONSOLE_SCREEN_BUFFER_INFO* lpConsoleScreenBufferInfo);
BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition);
BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes);
BOOL SetConsoleScreenBufferSize(HANDLE hConsoleOutput, COORD dwSize);
BOOL WriteConsoleOutputCharacterA(HANDLE hConsoleOutput, LPCSTR lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, LPDWORD lpNumberOfCharsWritten);
BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* lpAttribute, DWORD nLength,
                                 COORD dwWriteCoord, LPDWORD lpNumberOfAttrsWritten);
BOOL ReadConsoleOutputCharacterA(HANDLE hConsoleOutput, LPSTR lpCharacter, DWORD nLength,
                                 COORD dwReadCoord, LPDWORD lpNumberOfCharsRead);
BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* lpAttribute, DWORD nLength,
                                COORD dwReadCoord, LPDWORD lpNumberOfAttrsRead);

// Console input: the calls of platform/common/own_calls.hpp, and the wait.
void Sleep(DWORD dwMilliseconds);

// Files.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   void* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, void* lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, void* lpOverlapped);

// Time.
void GetSystemTime(SYSTEMTIME* lpSystemTime);
void GetLocalTime(SYSTEMTIME* lpSystemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, FILETIME* lpFileTime);

// System messages.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments);
HLOCAL LocalFree(HLOCAL hMem);

}  // namespace conlib::win

// The calls conlib implements on every system. Here MessageBoxA is a modal box drawn over the
// console and answered with the keyboard; without a console, the text goes to standard error
// and the answer is read as a line.
#include "platform/common/own_calls.hpp"
