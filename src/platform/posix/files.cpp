// Files over file descriptors, and the system's message texts.
//
// A file handle carries its descriptor (handles.hpp). Sharing is built on flock(): an open
// with share mode 0 takes an exclusive lock on its own open file description, any other open
// a shared one, both without waiting. A second open of a held file, in this process or in
// another, therefore fails, as a sharing violation does on Windows. Error codes are errno
// values throughout.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "handles.hpp"
#include "platform/posix/win.hpp"

namespace conlib::win {

namespace {

// The most one read() or write() is asked to move at once; Linux caps a transfer there anyway.
constexpr DWORD MaximumTransfer = 0x7ffff000u;

// Fails the current call: records `code` as the last error and hands back `result`.
template <class T>
T FailWith(int code, T result) {
    SetLastError(static_cast<DWORD>(code));
    return result;
}

// The open() flags for a desired access, or -1 when the access is not one we serve.
int AccessFlags(DWORD desiredAccess) {
    switch (desiredAccess) {
        case GENERIC_READ:
            return O_RDONLY;
        case GENERIC_WRITE:
            return O_WRONLY;
        case GENERIC_READ | GENERIC_WRITE:
            return O_RDWR;
        default:
            return -1;
    }
}

// The open() flags for a creation disposition, or -1 for an unknown one. Truncation is not
// among them: it waits until the lock is held.
int DispositionFlags(DWORD disposition) {
    switch (disposition) {
        case CREATE_NEW:
            return O_CREAT | O_EXCL;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            return O_CREAT;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING:
            return 0;
        default:
            return -1;
    }
}

// Closes `fd` after a failed step of CreateFileA, keeping `code` as the last error.
HANDLE AbandonOpen(int fd, int code) {
    close(fd);
    return FailWith(code, INVALID_HANDLE_VALUE);
}

// The text of strerror_r, whichever of its two variants the C library offers: the XSI one
// returns 0 and fills the buffer, the GNU one returns the text (not always in the buffer).
[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorTextOf(const char* result, const char*) {
    return result;
}

// Whether the C library has a message of its own for `code`.
bool HasErrorText(int code) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    return strerrordesc_np(code) != nullptr;
#else
    // Without a way to ask, every number counts as known, and its text is what strerror says.
    static_cast<void>(code);
    return true;
#endif
}

constexpr char MessageLineEnd[] = "\r\n";
constexpr std::size_t MessageLineEndLength = sizeof MessageLineEnd - 1;

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   void* /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
    posix::OpenClosedStandardHandles();
    const int access = AccessFlags(dwDesiredAccess);
    const int disposition = DispositionFlags(dwCreationDisposition);
    if (lpFileName == nullptr || access < 0 || disposition < 0) {
        return FailWith(EINVAL, INVALID_HANDLE_VALUE);
    }

    int fd = -1;
    do {
        fd = open(lpFileName, access | disposition | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        posix::SetLastErrorFromErrno();
        return INVALID_HANDLE_VALUE;
    }

    // A directory opens for reading on POSIX; Windows refuses it as a file.
    struct stat status {};
    if (fstat(fd, &status) != 0) return AbandonOpen(fd, errno);
    if (S_ISDIR(status.st_mode)) return AbandonOpen(fd, EISDIR);

    const int lockKind = (dwShareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int locked = -1;
    do {
        locked = flock(fd, lockKind);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return AbandonOpen(fd, errno == EWOULDBLOCK ? EBUSY : errno);

    // Only now, with the lock held, may the contents go: a create that lost the race for the
    // file must leave it as its holder has it. Devices and pipes have no contents to empty.
    if ((dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING) &&
        S_ISREG(status.st_mode)) {
        int truncated = -1;
        do {
            truncated = ftruncate(fd, 0);
        } while (truncated != 0 && errno == EINTR);
        if (truncated != 0) return AbandonOpen(fd, errno);
    }
    return posix::HandleFromDescriptor(fd);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, void* /*lpOverlapped*/) {
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
    // The console's input is read with the console calls (ReadConsoleA and the like), not as a
    // file: ReadFile on it fails as on any handle that is not a file.
    if (posix::IsConsoleInput(hFile)) return FailWith(EBADF, FALSE);
    const int fd = posix::DescriptorFromHandle(hFile);
    if (fd < 0) return FailWith(EBADF, FALSE);

    const std::size_t request =
        nNumberOfBytesToRead < MaximumTransfer ? nNumberOfBytesToRead : MaximumTransfer;
    ssize_t count = -1;
    do {
        count = read(fd, lpBuffer, request);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        posix::SetLastErrorFromErrno();
        return FALSE;
    }
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = static_cast<DWORD>(count);
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, void* /*lpOverlapped*/) {
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    // Writing to the console's output handle is writing to the console.
    if (posix::IsConsoleOutput(hFile)) {
        return WriteConsoleA(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                             nullptr);
    }
    const int fd = posix::DescriptorFromHandle(hFile);
    if (fd < 0) return FailWith(EBADF, FALSE);

    const auto* bytes = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    // At least one write() is made, so that even a write of no bytes is refused on a handle
    // that cannot be written.
    for (;;) {
        const DWORD left = nNumberOfBytesToWrite - done;
        const ssize_t count =
            posix::WriteQuietly(fd, bytes + done, left < MaximumTransfer ? left : MaximumTransfer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 || (count == 0 && left > 0)) {
            // A write() that moves nothing without an error would loop for ever: take it as EIO.
            SetLastError(static_cast<DWORD>(count < 0 ? errno : EIO));
            if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
            return FALSE;
        }
        done += static_cast<DWORD>(count);
        if (done >= nNumberOfBytesToWrite) break;
    }
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
    return TRUE;
}

// Serves FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, optionally with
// FORMAT_MESSAGE_IGNORE_INSERTS (the texts hold no inserts, so it changes nothing). The text
// is the C library's for the errno value `dwMessageId`, in its own language whatever
// `dwLanguageId` asks, followed by "\r\n"; it is allocated with malloc and released with
// LocalFree. Any other use of the call fails with EINVAL.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID /*lpSource*/, DWORD dwMessageId, DWORD /*dwLanguageId*/,
                     LPSTR lpBuffer, DWORD nSize, va_list* /*Arguments*/) {
    constexpr DWORD Served = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
    if (lpBuffer == nullptr) return FailWith(EINVAL, DWORD{0});
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really where the text's address goes;
    // a failed call leaves null there.
    char** const target = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0
                              ? reinterpret_cast<char**>(lpBuffer)
                              : nullptr;
    if (target != nullptr) *target = nullptr;
    if ((dwFlags & ~FORMAT_MESSAGE_IGNORE_INSERTS) != Served) return FailWith(EINVAL, DWORD{0});
    if (dwMessageId > static_cast<DWORD>(INT_MAX)) return FailWith(EINVAL, DWORD{0});

    // A number the C library has no message for gets no text, as on Windows: the library's
    // "Unknown error N" is not the system's text for anything.
    if (!HasErrorText(static_cast<int>(dwMessageId))) return FailWith(EINVAL, DWORD{0});
    char scratch[256];
    const char* text =
        ErrorTextOf(strerror_r(static_cast<int>(dwMessageId), scratch, sizeof scratch), scratch);
    if (text == nullptr) return FailWith(EINVAL, DWORD{0});

    const std::size_t length = std::strlen(text) + MessageLineEndLength;
    std::size_t size = length + 1;
    if (size < nSize) size = nSize;
    auto* const message = static_cast<char*>(std::malloc(size));
    if (message == nullptr) return FailWith(ENOMEM, DWORD{0});
    std::memcpy(message, text, length - MessageLineEndLength);
    std::memcpy(message + length - MessageLineEndLength, MessageLineEnd, MessageLineEndLength + 1);
    *target = message;
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}

}  // namespace conlib::win
