// Console session, text output and cursor.
#include "conlib/console.hpp"

#include "console/session.hpp"
#include "platform/win.hpp"

namespace conlib {

namespace detail {
ConsoleSessionState ConsoleSession = {0, nullptr, nullptr, 0};
char ScratchText[ScratchTextSize] = {};
}  // namespace detail

using detail::ConsoleSession;
using namespace win;

namespace {

// ConClearScreen's storage: a row of blanks that never changes, a row of attributes refilled
// at each clear, and the row being written.
constexpr std::uint32_t ClearRowCapacity = 512;

struct BlankRowText {
    char cells[ClearRowCapacity];
    constexpr BlankRowText() : cells() {
        for (char& cell : cells)
            cell = ' ';
    }
};

constexpr BlankRowText BlankRow;
WORD AttributeRow[ClearRowCapacity] = {};
DWORD ClearRowWidth = 0;
COORD ClearRowOrigin = {0, 0};
DWORD ClearCellsWritten = 0;

// ConMoveCursor's storage: the last position asked for.
COORD CursorTarget = {0, 0};

constexpr char LineBreakText[] = "\r\n";

}  // namespace

void EnsureConsole() {
    if (ConsoleSession.ready != 0) return;
    ConsoleSession.input = win::GetStdHandle(STD_INPUT_HANDLE);
    ConsoleSession.output = win::GetStdHandle(STD_OUTPUT_HANDLE);
    ConsoleSession.ready = 1;
}

std::uint32_t TextLength(const char* text) {
    std::uint32_t length = 0;
    while (text[length] != '\0')
        ++length;
    return length;
}

void ConWriteText(const char* text) {
    EnsureConsole();
    const std::uint32_t length = TextLength(text);
    win::WriteConsoleA(ConsoleSession.output, text, length, &ConsoleSession.charactersWritten,
                       nullptr);
}

void ConWriteChar(char ch) {
    EnsureConsole();
    detail::ScratchText[0] = ch;
    win::WriteConsoleA(ConsoleSession.output, detail::ScratchText, 1,
                       &ConsoleSession.charactersWritten, nullptr);
}

void ConNewLine() {
    EnsureConsole();
    ConWriteText(LineBreakText);
}

void ConClearScreen() {
    EnsureConsole();
    // When the query fails the record stays zero: no row is cleared, the cursor still moves.
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    win::GetConsoleScreenBufferInfo(ConsoleSession.output, &info);

    const auto columns = static_cast<std::uint16_t>(info.dwSize.X);
    const auto rows = static_cast<std::uint16_t>(info.dwSize.Y);
    ClearRowWidth = columns > ClearRowCapacity ? ClearRowCapacity : columns;
    for (DWORD i = 0; i < ClearRowWidth; ++i)
        AttributeRow[i] = info.wAttributes;

    ClearRowOrigin.X = 0;
    for (std::uint32_t row = 0; row < rows; ++row) {
        ClearRowOrigin.Y = static_cast<SHORT>(row);
        win::WriteConsoleOutputCharacterA(ConsoleSession.output, BlankRow.cells, ClearRowWidth,
                                          ClearRowOrigin, &ClearCellsWritten);
        win::WriteConsoleOutputAttribute(ConsoleSession.output, AttributeRow, ClearRowWidth,
                                         ClearRowOrigin, &ClearCellsWritten);
    }
    ClearRowOrigin.Y = 0;
    win::SetConsoleCursorPosition(ConsoleSession.output, ClearRowOrigin);
}

void ConMoveCursor(std::uint8_t column, std::uint8_t row) {
    EnsureConsole();
    CursorTarget.X = static_cast<SHORT>(column);
    CursorTarget.Y = static_cast<SHORT>(row);
    win::SetConsoleCursorPosition(ConsoleSession.output, CursorTarget);
}

}  // namespace conlib
