// Brings a VT terminal in line with the screen buffer, with as few bytes as it can.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen_buffer.hpp"

namespace conlib::posix {

// The escape sequence that selects a console attribute's colours on the terminal.
void AppendAttributeSequence(std::uint16_t attribute, std::string& out);

class Renderer {
  public:
    // How the terminal's present content is done away with at the next render.
    enum class Start {
        ScrollOut,  // scrolled up out of view, into the terminal's history (a session's start)
        Erase,      // erased (the terminal's size changed under it)
    };

    // Forgets what the terminal shows: the next Render starts it afresh at this size.
    void Reset(int columns, int rows, Start start);

    // Appends to `out` the bytes that make the terminal show `screen` and its cursor, and
    // takes the screen's record of changes.
    void Render(ScreenBuffer& screen, std::string& out);

    // Appends what leaves the terminal fit for the next program: default colours and, when
    // the cursor is not at the start of a line, a line break.
    void Finish(std::string& out);

  private:
    static constexpr std::uint16_t NoAttribute = 0xFFFF;
    static constexpr int Unknown = -1;

    void StartAfresh(std::string& out);
    void ScrollUp(int lines, std::string& out);
    void RenderRow(const ScreenBuffer& screen, int y, std::string& out);
    void MoveTo(int x, int y, std::string& out);
    void SetAttribute(std::uint16_t attribute, std::string& out);
    Cell* FrontRow(int y) {
        return &front_[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_)];
    }

    // What the terminal shows, as far as the renderer has drawn it.
    std::vector<Cell> front_;
    int columns_ = 0;
    int rows_ = 0;
    int cursorX_ = Unknown;  // Unknown after writing the last column (the terminal may wrap)
    int cursorY_ = Unknown;
    std::uint16_t attribute_ = NoAttribute;
    bool startPending_ = false;
    Start start_ = Start::ScrollOut;
};

}  // namespace conlib::posix
