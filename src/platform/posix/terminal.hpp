// The terminal's own state: who echoes and edits typed text, and how it is put back.
//
// Like the Windows console, the console host echoes typed text itself and only during a line
// read. From the first console operation that needs the keyboard (or draws on the terminal)
// until the process ends, the terminal neither echoes keys nor buffers lines of its own. Its
// original state comes back at exit, on every signal that ends the process, and while the
// process is stopped. Mode switches wait for output to drain but never discard type-ahead.
#pragma once

namespace conlib::posix::terminal {

// Takes the keyboard over when standard input is a terminal; later calls do nothing. Ctrl+C
// ends the process when `interruptKey` is true, and is an ordinary key otherwise.
void TakeOver(bool interruptKey);

// Whether standard input is a terminal that has been taken over.
bool TakenOver();

// Makes Ctrl+C end the process (the console's processed input) or arrive as a key.
void SetInterruptKey(bool interruptKey);

// Marks that the terminal's display has been drawn on, so that its colours are reset when
// the process ends on a signal.
void NoteDrawn();

// True once after the process was stopped and continued: whatever ran meanwhile may have
// drawn over the screen, which is then to be drawn again.
bool TakeContinued();

}  // namespace conlib::posix::terminal
