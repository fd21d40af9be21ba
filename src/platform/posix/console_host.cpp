// The console host and the console output calls served by it.
#include "console_host.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

#include "handles.hpp"
#include "terminal.hpp"
#include "win.hpp"

namespace conlib::posix {

namespace {

// Sizes a console buffer can have; the cell count keeps a mistyped size from taking all memory.
constexpr int MaxSide = 32767;
constexpr long MaxCells = 1L << 24;
static_assert(MaxSide == 32767 && MaxCells == 16777216, "the refusals of ParseSize name them");
// The size of a console with no terminal behind it, when none is asked for.
constexpr int PlainColumns = 80;
constexpr int PlainRows = 25;

volatile std::sig_atomic_t TerminalResized = 0;
struct sigaction PreviousResizeAction;

void OnTerminalResized(int signal) {
    TerminalResized = 1;
    if ((PreviousResizeAction.sa_flags & SA_SIGINFO) == 0 &&
        PreviousResizeAction.sa_handler != SIG_DFL && PreviousResizeAction.sa_handler != SIG_IGN) {
        PreviousResizeAction.sa_handler(signal);
    }
}

bool ValidSize(long columns, long rows) {
    return columns >= 1 && rows >= 1 && columns <= MaxSide && rows <= MaxSide &&
           columns * rows <= MaxCells;
}

// COLUMNSxROWS, for example 120x300. When the text is refused, `problem` says which rule it
// broke.
bool ParseSize(const char* text, int& columns, int& rows, const char*& problem) {
    problem = "is not a console size COLUMNSxROWS (two whole numbers, for example 120x300)";
    char* end = nullptr;
    errno = 0;
    const long c = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X') || text[0] == '-') {
        return false;
    }
    const bool cOverflow = errno != 0;
    const char* second = end + 1;
    errno = 0;
    const long r = std::strtol(second, &end, 10);
    if (end == second || *end != '\0' || second[0] == '-') return false;
    if (cOverflow || errno != 0 || c < 1 || r < 1 || c > MaxSide || r > MaxSide) {
        problem = "has a side out of range: columns and rows are 1 to 32767 each";
        return false;
    }
    if (!ValidSize(c, r)) {
        problem = "has too many cells: columns times rows is at most 16777216";
        return false;
    }
    columns = static_cast<int>(c);
    rows = static_cast<int>(r);
    return true;
}

bool TerminalSize(int& columns, int& rows) {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || !ValidSize(size.ws_col, size.ws_row)) {
        return false;
    }
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

struct Setup {
    ConsoleHost::Mode mode;
    int columns;
    int rows;
};

Setup ChooseSetup() {
    Setup setup{ConsoleHost::Mode::Plain, PlainColumns, PlainRows};
    if (const char* headless = std::getenv("CONLIB_CONSOLE")) {
        const char* problem = nullptr;
        if (ParseSize(headless, setup.columns, setup.rows, problem)) {
            setup.mode = ConsoleHost::Mode::Headless;
            return setup;
        }
        std::fprintf(stderr, "conlib: CONLIB_CONSOLE=\"%s\" %s; using the terminal instead\n",
                     headless, problem);
    }
    if (isatty(STDOUT_FILENO) && TerminalSize(setup.columns, setup.rows)) {
        setup.mode = ConsoleHost::Mode::Terminal;
    }
    return setup;
}

}  // namespace

ConsoleHost& ConsoleHost::Instance() {
    // Never destroyed: the handlers that run at exit still need it.
    static ConsoleHost* host = new ConsoleHost();
    return *host;
}

ConsoleHost::ConsoleHost() : mode_(Mode::Plain), screen_(1, 1) {
    const Setup setup = ChooseSetup();
    mode_ = setup.mode;
    windowColumns_ = setup.columns;
    windowRows_ = setup.rows;
    screen_ = ScreenBuffer(setup.columns, setup.rows);
    if (mode_ != Mode::Terminal) return;

    renderer_.Reset(setup.columns, setup.rows, Renderer::Start::ScrollOut);
    pending_.reserve(1u << 16);
    struct sigaction action {};
    action.sa_handler = OnTerminalResized;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, &PreviousResizeAction);
    std::atexit(FinishAtExit);
}

ScreenBuffer& ConsoleHost::Screen() {
    if (TerminalResized != 0) FollowTerminalSize();
    if (terminal::TakeContinued()) Redraw();
    return screen_;
}

void ConsoleHost::Redraw() {
    if (mode_ != Mode::Terminal) return;
    renderer_.Reset(screen_.Columns(), screen_.Rows(), Renderer::Start::Erase);
    Show();
}

void ConsoleHost::FollowTerminalSize() {
    TerminalResized = 0;
    int columns = 0;
    int rows = 0;
    if (mode_ != Mode::Terminal || !TerminalSize(columns, rows)) return;
    if (columns == screen_.Columns() && rows == screen_.Rows()) return;
    // The terminal has rearranged what it showed: draw everything again.
    windowColumns_ = columns;
    windowRows_ = rows;
    screen_.Resize(columns, rows);
    renderer_.Reset(columns, rows, Renderer::Start::Erase);
    Show();
}

void ConsoleHost::Write(const char* text, std::size_t length) {
    Screen().Write(text, length);
    if (mode_ == Mode::Plain) {
        screen_.TakeChanges();
        WriteOut(text, length);
    } else {
        Show();
    }
}

bool ConsoleHost::Resize(int columns, int rows) {
    if (!ValidSize(columns, rows)) return false;
    Screen();
    if (mode_ == Mode::Terminal) return columns == screen_.Columns() && rows == screen_.Rows();
    if (columns < windowColumns_ || rows < windowRows_) return false;
    screen_.Resize(columns, rows);
    screen_.TakeChanges();
    return true;
}

void ConsoleHost::Show() {
    if (mode_ != Mode::Terminal) {
        screen_.TakeChanges();
        return;
    }
    if (!shown_) {
        // From the first drawing on, typed keys must not be echoed over the screen.
        terminal::TakeOver(true);
        terminal::NoteDrawn();
        shown_ = true;
    }
    pending_.clear();
    renderer_.Render(screen_, pending_);
    WriteOut(pending_.data(), pending_.size());
}

void ConsoleHost::WriteOut(const char* bytes, std::size_t length) {
    // A terminal that is gone loses what is left, as a failed console write loses its text.
    WriteAll(STDOUT_FILENO, bytes, length);
}

void ConsoleHost::FinishAtExit() {
    ConsoleHost& host = Instance();
    if (!host.shown_) return;
    host.pending_.clear();
    host.renderer_.Finish(host.pending_);
    host.WriteOut(host.pending_.data(), host.pending_.size());
}

}  // namespace conlib::posix

namespace conlib::win {

namespace {

using posix::ConsoleHost;

// The host behind a console output handle, or null (with the last error set) for any other
// handle.
ConsoleHost* OutputHost(HANDLE handle) {
    if (!posix::IsConsoleOutput(handle)) {
        SetLastError(EBADF);
        return nullptr;
    }
    return &ConsoleHost::Instance();
}

void Store(LPDWORD place, std::size_t value) {
    if (place != nullptr) *place = static_cast<DWORD>(value);
}

// The cell calls: `cells` reads or writes the buffer and returns the number of cells it
// covered (none from a start outside the buffer, which is no failure); a write is then shown.
template <class CellWork>
BOOL CellCall(HANDLE handle, LPDWORD count, bool writes, CellWork cells) {
    Store(count, 0);
    ConsoleHost* host = OutputHost(handle);
    if (host == nullptr) return FALSE;
    Store(count, cells(host->Screen()));
    if (writes) host->Show();
    return TRUE;
}

}  // namespace

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* lpBuffer, DWORD nNumberOfCharsToWrite,
                   LPDWORD lpNumberOfCharsWritten, LPVOID) {
    Store(lpNumberOfCharsWritten, 0);
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    host->Write(static_cast<const char*>(lpBuffer), nNumberOfCharsToWrite);
    Store(lpNumberOfCharsWritten, nNumberOfCharsToWrite);
    return TRUE;
}

BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info) {
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    const posix::ScreenBuffer& screen = host->Screen();
    const auto columns = static_cast<SHORT>(screen.Columns());
    const auto rows = static_cast<SHORT>(screen.Rows());
    info->dwSize = {columns, rows};
    info->dwCursorPosition = {static_cast<SHORT>(screen.CursorX()),
                              static_cast<SHORT>(screen.CursorY())};
    info->wAttributes = screen.Attribute();
    const auto windowColumns = static_cast<SHORT>(host->WindowColumns());
    const auto windowRows = static_cast<SHORT>(host->WindowRows());
    info->srWindow = {0, 0, static_cast<SHORT>(windowColumns - 1),
                      static_cast<SHORT>(windowRows - 1)};
    info->dwMaximumWindowSize = {windowColumns, windowRows};
    return TRUE;
}

BOOL SetConsoleCursorPosition(HANDLE hConsoleOutput, COORD dwCursorPosition) {
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    if (!host->Screen().SetCursor(dwCursorPosition.X, dwCursorPosition.Y)) {
        SetLastError(EINVAL);
        return FALSE;
    }
    host->Show();
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE hConsoleOutput, WORD wAttributes) {
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    host->Screen().SetAttribute(wAttributes);
    return TRUE;
}

BOOL SetConsoleScreenBufferSize(HANDLE hConsoleOutput, COORD dwSize) {
    ConsoleHost* host = OutputHost(hConsoleOutput);
    if (host == nullptr) return FALSE;
    if (!host->Resize(dwSize.X, dwSize.Y)) {
        SetLastError(EINVAL);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteConsoleOutputCharacterA(HANDLE hConsoleOutput, LPCSTR lpCharacter, DWORD nLength,
                                  COORD dwWriteCoord, LPDWORD lpNumberOfCharsWritten) {
    return CellCall(hConsoleOutput, lpNumberOfCharsWritten, true, [&](posix::ScreenBuffer& s) {
        return s.WriteCharacters(lpCharacter, nLength, dwWriteCoord.X, dwWriteCoord.Y);
    });
}

BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* lpAttribute, DWORD nLength,
                                 COORD dwWriteCoord, LPDWORD lpNumberOfAttrsWritten) {
    return CellCall(hConsoleOutput, lpNumberOfAttrsWritten, true, [&](posix::ScreenBuffer& s) {
        return s.WriteAttributes(lpAttribute, nLength, dwWriteCoord.X, dwWriteCoord.Y);
    });
}

BOOL ReadConsoleOutputCharacterA(HANDLE hConsoleOutput, LPSTR lpCharacter, DWORD nLength,
                                 COORD dwReadCoord, LPDWORD lpNumberOfCharsRead) {
    return CellCall(hConsoleOutput, lpNumberOfCharsRead, false, [&](posix::ScreenBuffer& s) {
        return s.ReadCharacters(lpCharacter, nLength, dwReadCoord.X, dwReadCoord.Y);
    });
}

BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* lpAttribute, DWORD nLength,
                                COORD dwReadCoord, LPDWORD lpNumberOfAttrsRead) {
    return CellCall(hConsoleOutput, lpNumberOfAttrsRead, false, [&](posix::ScreenBuffer& s) {
        return s.ReadAttributes(lpAttribute, nLength, dwReadCoord.X, dwReadCoord.Y);
    });
}

}  // namespace conlib::win
