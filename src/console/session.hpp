// Console storage shared between the library's operations.
#pragma once

#include <cstdint>

#include "platform/win.hpp"

namespace conlib::detail {

// The process's standard handles, fetched once by EnsureConsole.
struct ConsoleSessionState {
    std::uint8_t ready;
    win::HANDLE input;
    win::HANDLE output;
    // Receives the count that each console text write reports; nothing reads it.
    win::DWORD charactersWritten;
};

extern ConsoleSessionState ConsoleSession;

// One text buffer shared by the writers that build a short text and hand it to the console
// before they return: ConWriteChar (first byte), ConWriteBinarySized and ConWriteHexPair.
inline constexpr std::uint32_t ScratchTextSize = 512;
extern char ScratchText[ScratchTextSize];

}  // namespace conlib::detail
