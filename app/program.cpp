// The demo program. The file inversion pass reads up to 5000 bytes of "InputFile.txt", shows
// them bit-inverted on the console and writes them to "OutputFile.txt"; inverting is its own
// inverse, so a second run over the output gives the input back. The cross drawing pass then
// waits for a key, draws a cross of '|' and '-' with cursor moves, and waits for another.
#include "program.hpp"

#include <cstdint>

#include "conlib/conlib.hpp"
#include "platform/win.hpp"

namespace conlib::demo {

namespace {

constexpr char TitleText[] = "Tav Quillon - Week 4\r\nKTRV 360 - Dorin Velterhaminos\r\n";
static_assert(sizeof TitleText - 1 == 54);
constexpr char InputFileName[] = "InputFile.txt";
constexpr char OutputFileName[] = "OutputFile.txt";

// The most bytes read from the input, and the capacity of the data buffer.
constexpr std::uint32_t DataCapacity = 5000;

FileHandle InputHandle = InvalidFileHandle;
// One byte more than the data can fill, always zero, ends the text display of a full buffer.
char DataBuffer[DataCapacity + 1] = {};
std::uint32_t DataLength = 0;
int ExitCode = 0;

// The cross: a vertical bar in column CentreLine and a horizontal bar in row CentreLine, each
// covering positions 1 to BarLength.
constexpr char VerticalGlyph = '|';
constexpr char HorizontalGlyph = '-';
constexpr std::uint8_t BarLength = 30;
constexpr std::uint8_t CentreLine = 15;

// Shows the system's text for the failure that just happened, on a line of its own, and
// makes the run end with exit code 1.
void ReportFailure() {
    if (TextLength(DataBuffer) != 0) {
        // The data display ends mid-line: keep the error code across the line break.
        const win::DWORD code = win::GetLastError();
        ConNewLine();
        win::SetLastError(code);
    }
    ConWriteSystemError();
    ExitCode = 1;
}

// Reads the input into DataBuffer; false, reported, when the file cannot be opened or read.
bool ReadInput() {
    InputHandle = FileOpenRead(InputFileName);
    if (InputHandle == InvalidFileHandle) {
        ReportFailure();
        return false;
    }
    const Result<std::uint32_t> read = FileReadBlock(InputHandle, DataBuffer, DataCapacity);
    if (!read.ok) ReportFailure();
    // On failure the value is an error code, never a count; a count is at most the maximum
    // asked for, and the buffer's capacity bounds it all the same.
    DataLength = read.ok && read.value <= DataCapacity ? read.value : 0;
    FileClose(InputHandle);
    InputHandle = InvalidFileHandle;
    return read.ok;
}

void WriteOutput() {
    const FileHandle output = FileCreateWrite(OutputFileName);
    if (output == InvalidFileHandle) {
        ReportFailure();
        return;
    }
    if (FileWriteBlock(output, DataBuffer, DataLength) != DataLength) {
        ReportFailure();
        FileClose(output);
        return;
    }
    if (!FileClose(output)) ReportFailure();
}

}  // namespace

void CrossDrawingPass() {
    ConPause();
    ConClearScreen();
    // Both bars grow from their far ends inward, one cell of each per step; at the crossing the
    // horizontal bar's glyph comes second and stays.
    for (std::uint8_t c = BarLength; c >= 1; --c) {
        ConMoveCursor(CentreLine, c);
        ConWriteChar(VerticalGlyph);
        ConMoveCursor(c, CentreLine);
        ConWriteChar(HorizontalGlyph);
    }
    // The prompt goes where the last glyph left the cursor, over the horizontal bar.
    ConPause();
}

void ProgramMain() {
    ConClearScreen();
    ConWriteText(TitleText);

    // A missing or unreadable input leaves an existing output file as it is.
    if (ReadInput()) {
        for (std::uint32_t i = 0; i < DataLength; ++i) {
            DataBuffer[i] = static_cast<char>(~static_cast<unsigned char>(DataBuffer[i]));
        }
        // As text: the display ends at the first zero byte, an input byte 0xFF.
        ConWriteText(DataBuffer);
        WriteOutput();
    }

    CrossDrawingPass();
    win::ExitProcess(static_cast<win::UINT>(ExitCode));
}

}  // namespace conlib::demo
