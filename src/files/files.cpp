// File access: open, create, read, write and close, each one call of the system's file
// service. The thread's last error code is left as the failing call set it.
#include "conlib/files.hpp"

#include "files/transfer_count.hpp"
#include "platform/win.hpp"

namespace conlib {

namespace detail {
win::DWORD TransferCount = 0;
}  // namespace detail

using namespace win;

namespace {

// The count that the last FileWriteBlock's write reported.
DWORD FileWrittenCount = 0;

}  // namespace

FileHandle FileOpenRead(const char* name) {
    return win::CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
}

FileHandle FileCreateWrite(const char* name) {
    return win::CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
}

Result<std::uint32_t> FileReadBlock(FileHandle file, void* buffer, std::uint32_t maximum) {
    if (win::ReadFile(file, buffer, maximum, &detail::TransferCount, nullptr) == 0) {
        // Nothing may run between the failed read and this fetch.
        return {static_cast<std::uint32_t>(win::GetLastError()), false};
    }
    return {static_cast<std::uint32_t>(detail::TransferCount), true};
}

std::uint32_t FileWriteBlock(FileHandle file, const void* buffer, std::uint32_t count) {
    // WriteFile sets the count to 0 before it starts, so its answer adds nothing: a failed
    // write reports 0, a cut-short one the part that went out.
    win::WriteFile(file, buffer, count, &FileWrittenCount, nullptr);
    return static_cast<std::uint32_t>(FileWrittenCount);
}

bool FileClose(FileHandle file) {
    // The invalid handle's value is also the system's handle for the process itself, whose close
    // does nothing and succeeds: it is no open file, so the close fails as for any other.
    if (file == InvalidFileHandle) {
        win::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return win::CloseHandle(file) != 0;
}

}  // namespace conlib
