// The count cell shared by the file read and the console line read.
#pragma once

#include "platform/win.hpp"

namespace conlib::detail {

// Receives the count of each file read (FileReadBlock) and console line read (ConReadLine).
// Each user takes its count from it directly after its own system call.
extern win::DWORD TransferCount;

}  // namespace conlib::detail
