// The demo program: the file inversion pass, then the cross drawing pass.
#pragma once

namespace conlib::demo {

// Runs the whole program and ends the process: exit code 0 when every file operation
// succeeded, 1 when one failed (its system error text is shown on the console).
[[noreturn]] void ProgramMain();

// Waits for a key, clears the screen, draws a cross of '|' and '-', and waits again; a wait
// ends at once when the console's input has ended.
void CrossDrawingPass();

}  // namespace conlib::demo
