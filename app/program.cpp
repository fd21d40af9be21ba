// The file inversion pass: reads up to 5000 bytes of "InputFile.txt", shows them bit-inverted
// on the console and writes them to "OutputFile.txt". Inverting is its own inverse, so a second
// run over the output gives the input back.
#include "program.hpp"

#include <cstdint>

#include "conlib/conlib.hpp"
#include "win.hpp"

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
    // Drawn once the library reads the keyboard: the pass starts and ends with a key press.
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
