// The message boxes' end-to-end probe: a screen of text in two colours, its command-line tail
// on it, then the question "Go on?" (no caption) drawn over it; the answer is shown as
// "answer N", then the notice "All done." (caption "Probe"), then "end". Exits with the answer.
#include "conlib/conlib.hpp"

int main() {
    using namespace conlib;
    ConClearScreen();
    for (int row = 0; row < 20; ++row) {
        ConSetTextAttr(row % 2 == 0 ? 0x1E : 0x07);
        ConWriteText("row ");
        ConWriteUnsigned(static_cast<std::uint32_t>(row));
        ConWriteText(" of the text under the boxes ..........................");
        ConNewLine();
    }
    ConSetTextAttr(0x07);
    char tail[64];
    ConWriteText(GetArgumentTail(tail, sizeof tail) ? "tail [" : "no tail [");
    ConWriteText(tail);
    ConWriteText("]");
    ConNewLine();

    const int answer = AskYesNo("Go on?");
    ConWriteText("answer ");
    ConWriteUnsigned(static_cast<std::uint32_t>(answer));
    ConNewLine();
    ShowNotice("All done.", "Probe");
    ConWriteText("end");
    ConNewLine();
    return answer;
}
