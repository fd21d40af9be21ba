// The console host: the screen buffer that the console's output calls work on, and where it
// is shown.
#pragma once

#include <string>

#include "renderer.hpp"
#include "screen_buffer.hpp"

namespace conlib::posix {

class ConsoleHost {
  public:
    enum class Mode {
        Terminal,  // standard output is a terminal: the renderer keeps it in line with the buffer
        Plain,     // standard output is a file or a pipe: text goes out as the bytes written
        Headless,  // CONLIB_CONSOLE=COLUMNSxROWS: an in-memory console, no input or output
    };

    // The process's console host, set up on first use.
    static ConsoleHost& Instance();

    Mode mode() const { return mode_; }

    // The screen buffer, brought to the terminal's size if that changed since the last call.
    ScreenBuffer& Screen();

    // Processed output of text written to the console.
    void Write(const char* text, std::size_t length);

    // The window: the part of the buffer a console shows, from its top left corner. Its size is
    // the terminal's, or the size the console started with.
    int WindowColumns() const { return windowColumns_; }
    int WindowRows() const { return windowRows_; }

    // Sets the buffer's size, never smaller than the window; a terminal's buffer keeps the
    // terminal's size.
    bool Resize(int columns, int rows);

    // Shows what changed in the buffer since the last call, in one write to the terminal.
    void Show();

    // Draws the whole buffer again, on a terminal whose display may have been drawn over.
    void Redraw();

  private:
    ConsoleHost();
    void FollowTerminalSize();
    void WriteOut(const char* bytes, std::size_t length);
    static void FinishAtExit();

    Mode mode_;
    int windowColumns_ = 1;
    int windowRows_ = 1;
    ScreenBuffer screen_;
    Renderer renderer_;
    std::string pending_;  // the bytes of one update, kept to be reused
    bool shown_ = false;
};

}  // namespace conlib::posix
