// conlib: file access and the system's error text.
#pragma once

#include <cstdint>

#include "conlib/util.hpp"

namespace conlib {

// The platform's file handle. A failed open returns InvalidFileHandle (all bits set).
using FileHandle = void*;
inline FileHandle const InvalidFileHandle = reinterpret_cast<FileHandle>(~std::uintptr_t{0});

// Opens the existing file `name` for reading, positioned at its start, with no sharing: while
// the handle is open, every other open of the same file fails, in this process or another.
// Returns InvalidFileHandle on failure, with the system's last error code set.
FileHandle FileOpenRead(const char* name);

// Creates `name`, or empties it if it exists, and opens it for writing with no sharing.
// Returns InvalidFileHandle on failure (an existing file is then left as it was), with the
// system's last error code set.
FileHandle FileCreateWrite(const char* name);

// Reads once, up to `maximum` bytes, into `buffer`. On success: the count read (0 at end of
// file) and ok. On failure: the system's error code in `value`, and not ok. Nothing beyond the
// bytes read is written into `buffer`.
Result<std::uint32_t> FileReadBlock(FileHandle file, void* buffer, std::uint32_t maximum);

// Writes `count` bytes from `buffer`; returns the number written, less than `count` when the
// write failed or was cut short (the last error code then says why).
std::uint32_t FileWriteBlock(FileHandle file, const void* buffer, std::uint32_t count);

// Closes `file`; true when it was closed, false when it was not open (InvalidFileHandle
// included), with the system's last error code set.
bool FileClose(FileHandle file);

// Writes "Error ", the calling thread's last error code in decimal, ": " and the system's
// text for that code (which ends with the system's own line break). The code is fetched
// before anything is written. When the system has no text for the code, "Unknown error ", the
// code and a line break stand in for it.
void ConWriteSystemError();

}  // namespace conlib
