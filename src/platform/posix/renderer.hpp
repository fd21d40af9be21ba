// Brings a VT terminal in line with the screen buffer's window, one frame at a time, with as
// few bytes as it can.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "screen_buffer.hpp"

namespace conlib::posix {

// The bytes of a frame. They are kept in a buffer that grows as it needs; once told to spill to
// a descriptor it never grows again and writes out whatever fills it instead, so that a frame
// can be drawn where nothing may be allocated (a signal handler).
class FrameBytes {
  public:
    void Append(char ch) {
        if (spillFd_ >= 0 && bytes_.size() == bytes_.capacity()) Spill();
        bytes_ += ch;
    }
    void Append(std::string_view text);
    void Append(char ch, std::size_t count);

    // From now on, full means writing out to `fd` (-1: growing again).
    void SpillTo(int fd) { spillFd_ = fd; }
    // Writes out what is held (to the spill descriptor) and empties the buffer.
    void Spill();

    void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
    void Clear() { bytes_.clear(); }
    // Drops what was appended after the first `size` bytes.
    void Truncate(std::size_t size) {
        if (size < bytes_.size()) bytes_.resize(size);
    }
    bool Empty() const { return bytes_.empty(); }
    std::size_t Size() const { return bytes_.size(); }
    const char* Data() const { return bytes_.data(); }
    const std::string& Text() const { return bytes_; }
    void Swap(FrameBytes& other) { bytes_.swap(other.bytes_); }

  private:
    std::string bytes_;
    int spillFd_ = -1;
};

class Renderer {
  public:
    // How the terminal's present content is done away with at the next frame.
    enum class Start {
        ScrollOut,  // scrolled up out of view, into the terminal's history (a session's start)
        Erase,      // erased (the terminal's size changed under it)
    };

    // The sequences of the terminal's takeover and restore, and of the start-up query.
    static constexpr std::string_view AltSendsEscape = "\x1b[?1036h";
    static constexpr std::string_view AltSendsEighthBit = "\x1b[?1036l";
    static constexpr std::string_view StartupQuery = "\x1b[?2026$p\x1b[?1036$p\x1b[c";

    // Forgets what the terminal shows: the next frame starts it afresh at this size.
    void Reset(int columns, int rows, Start start);

    // Whether frames are wrapped in synchronized output (the terminal said it supports it).
    void SetSynchronized(bool synchronized) { synchronized_ = synchronized; }

    // Appends to `out` one frame: the bytes that make the terminal show the window of `screen`
    // (the renderer's size of rows from buffer row `windowTop`, of columns from the window's
    // left column) and its cursor, nothing when it shows them already. Takes the screen's
    // record of changes.
    void Render(ScreenBuffer& screen, int windowTop, FrameBytes& out);

    // Appends what leaves the terminal fit for the next program: default colours and, when
    // the cursor is not at the start of a line, a line break.
    void Finish(FrameBytes& out);

  private:
    static constexpr std::uint16_t NoAttribute = 0xFFFF;
    static constexpr int Unknown = -1;

    void StartAfresh(FrameBytes& out);
    void ScrollUp(int lines, FrameBytes& out);
    bool EraseAll(const ScreenBuffer& screen, int windowTop, FrameBytes& out);
    void RenderRow(CellRow model, int y, FrameBytes& out);
    void PutCell(const Cell& cell, FrameBytes& out);
    std::size_t BestMove(int x, int y, char* move) const;
    void MoveTo(int x, int y, FrameBytes& out);
    std::size_t AttributeCost(std::uint16_t from, std::uint16_t to) const;
    void SetAttribute(std::uint16_t attribute, FrameBytes& out);
    Cell* FrontRow(int y) {
        return &front_[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_)];
    }

    // What the terminal shows, as far as the renderer has drawn it.
    std::vector<Cell> front_;
    int columns_ = 0;
    int rows_ = 0;
    int cursorX_ = Unknown;
    int cursorY_ = Unknown;
    // After a glyph in the last column the cursor stays there, with the terminal's wrap to the
    // next line pending: only moves that do not depend on its column are used.
    bool wrapPending_ = false;
    std::uint16_t attribute_ = NoAttribute;
    bool startPending_ = false;
    bool synchronized_ = false;
    Start start_ = Start::ScrollOut;
};

}  // namespace conlib::posix
