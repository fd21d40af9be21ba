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
    // What the terminal shows when the renderer starts, and how the next frame deals with it.
    enum class Start {
        // Its cursor is at a known place, set with StartAt: what it shows is left as it is,
        // cell by cell, until the buffer's cell there is written.
        AtCursor,
        // Unknown (the terminal's size changed under it, or something else drew on it): every
        // row of the window is drawn again, erased row by row.
        Redraw,
        // Unknown, and so is the cursor: it is scrolled up out of view, into the terminal's
        // history.
        ScrollOut,
    };

    // Forgets what the terminal shows: the next frame starts it afresh at this size.
    void Reset(int columns, int rows, Start start);
    // With Start::AtCursor: where the terminal's cursor is.
    void StartAt(int column, int row);

    // Whether frames are wrapped in synchronized output (the terminal said it supports it).
    void SetSynchronized(bool synchronized) { synchronized_ = synchronized; }

    // Appends to `out` one frame: the bytes that make the terminal show the window of `screen`
    // (the renderer's size of rows from buffer row `windowTop`, of columns from the window's
    // left column) and its cursor, nothing when it shows them already. Takes the screen's
    // record of changes.
    void Render(ScreenBuffer& screen, int windowTop, FrameBytes& out);

    // Appends what leaves the terminal fit for the next program: default colours, and the
    // cursor at the start of the line after the last one of `screen`'s window with output or
    // the cursor's own, whichever is lower. Without a screen (one that may be changing under
    // it), the line after the terminal's cursor unless that is at a line's start already.
    void Finish(const ScreenBuffer* screen, int windowTop, FrameBytes& out);

    // Whether the terminal's cursor is at the start of a line, as far as the renderer knows.
    bool AtLineStart() const { return cursorX_ == 0 && !wrapPending_; }

  private:
    static constexpr std::uint16_t NoAttribute = 0xFFFF;
    static constexpr int Unknown = -1;

    void StartAfresh(FrameBytes& out);
    void Scroll(const ScreenBuffer& screen, int windowTop, const ScreenChanges& changes,
                FrameBytes& out);
    void LineFeedAtBottom(FrameBytes& out, bool keepRows);
    void EraseBelow(const ScreenBuffer& screen, int windowTop, int firstRow, FrameBytes& out);
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
    int startColumn_ = 0;
    int startRow_ = 0;
};

}  // namespace conlib::posix
