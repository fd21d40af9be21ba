// conlib: file access, the system's error text, message boxes and the command-line tail.
//
// Like the rest of the library, these operations are for one thread, one call at a time.
#pragma once

#include <cstdint>

#include "conlib/export.hpp"
#include "conlib/util.hpp"

namespace conlib {

// The platform's file handle. A failed open returns InvalidFileHandle (all bits set).
using FileHandle = void*;
inline FileHandle const InvalidFileHandle = reinterpret_cast<FileHandle>(~std::uintptr_t{0});

// Opens the existing file `name` for reading, positioned at its start, with no sharing: while
// the handle is open, every other open of the same file fails, in this process or another.
// Returns InvalidFileHandle on failure, with the system's last error code set.
[[nodiscard]] CONLIB_API FileHandle FileOpenRead(const char* name);

// Creates `name`, or empties it if it exists, and opens it for writing with no sharing.
// Returns InvalidFileHandle on failure (an existing file is then left as it was), with the
// system's last error code set.
[[nodiscard]] CONLIB_API FileHandle FileCreateWrite(const char* name);

// Reads once, up to `maximum` bytes, into `buffer`. On success: the count read (0 at end of
// file) and ok. On failure: the system's error code in `value`, and not ok. Nothing beyond the
// bytes read is written into `buffer`.
CONLIB_API Result<std::uint32_t> FileReadBlock(FileHandle file, void* buffer,
                                               std::uint32_t maximum);

// Writes `count` bytes from `buffer`; returns the number written, less than `count` when the
// write failed or was cut short (the last error code then says why).
[[nodiscard]] CONLIB_API std::uint32_t FileWriteBlock(FileHandle file, const void* buffer,
                                                      std::uint32_t count);

// Closes `file`; true when it was closed, false when it was not open (InvalidFileHandle
// included), with the system's last error code set.
CONLIB_API bool FileClose(FileHandle file);

// Writes "Error ", the calling thread's last error code in decimal, ": " and the system's
// text for that code (which ends with the system's own line break). The code is fetched
// before anything is written. When the system has no text for the code, "Unknown error ", the
// code and a line break stand in for it.
CONLIB_API void ConWriteSystemError();

// Shows a modal message box with `text`, titled `caption` (one blank when it is null), and an
// OK button; returns when the user has dismissed it.
CONLIB_API void ShowNotice(const char* text, const char* caption = nullptr);

// Shows a modal message box with `text`, titled `caption` (one blank when it is null), a
// question mark and the buttons Yes and No. Returns 6 when the user chose Yes, 7 for No, and 0
// when no box could be shown or no answer came.
[[nodiscard]] CONLIB_API int AskYesNo(const char* text, const char* caption = nullptr);

// Copies the part of the process's command line that follows the program name into `buffer`,
// which holds `capacity` bytes. The program name ends at its first blank, or just after the
// closing quote of a quoted stretch within it, and the tail starts there. Returns true when a
// tail of at least one character was copied with its terminator; false, with the empty text in
// the buffer (when `capacity` is at least 1), when there is no tail, when a quote in the
// program name is never closed, or when the tail and its terminator do not fit. Nothing is
// written beyond `capacity` bytes.
CONLIB_API bool GetArgumentTail(char* buffer, std::uint32_t capacity);

// Steps over a quoted stretch: `position` lies just after an opening double quote; returns the
// position just after the next double quote, or the position of the terminating zero byte when
// the text ends before one.
[[nodiscard]] CONLIB_API const char* SkipQuotedText(const char* position);

}  // namespace conlib
