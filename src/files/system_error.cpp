// The system's text for the thread's last error code, written to the console.
#include "conlib/console.hpp"
#include "conlib/files.hpp"
#include "platform/win.hpp"

namespace conlib {

using namespace win;

namespace {

// The code that the last ConWriteSystemError fetched.
DWORD SystemErrorCode = 0;
// The text the system allocated for it; released before the operation returns, so between
// calls it holds no usable address.
char* SystemErrorText = nullptr;

constexpr char ErrorPrefixText[] = "Error ";
constexpr char ErrorSeparatorText[] = ": ";
constexpr char UnknownErrorText[] = "Unknown error ";

}  // namespace

void ConWriteSystemError() {
    // First of all, before any output can change it.
    SystemErrorCode = win::GetLastError();
    ConWriteText(ErrorPrefixText);
    ConWriteUnsigned(static_cast<std::uint32_t>(SystemErrorCode));
    ConWriteText(ErrorSeparatorText);

    // The call supplies no arguments, so inserts in the system's text must stay as they are.
    SystemErrorText = nullptr;
    const DWORD length = win::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, SystemErrorCode, 0, reinterpret_cast<LPSTR>(&SystemErrorText), 0, nullptr);
    if (length == 0 || SystemErrorText == nullptr) {
        // No text was delivered, so there is nothing to write or release: a text of our own
        // stands in for it, and ends the line as the system's texts do.
        ConWriteText(UnknownErrorText);
        ConWriteUnsigned(static_cast<std::uint32_t>(SystemErrorCode));
        ConNewLine();
        return;
    }
    ConWriteText(SystemErrorText);
    win::LocalFree(SystemErrorText);
    SystemErrorText = nullptr;
}

}  // namespace conlib
