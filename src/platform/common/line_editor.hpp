// The editing of a typed line, as the Windows console does it for a line read (ReadConsoleA
// with line input on), with no I/O of its own: keys in; the line, its edit point and what to
// redraw out. The layer that reads the keys shows the line (its echo) from what each key says.
//
// The line has an edit point, where typed characters go: in insert mode (each line starts in
// it) they push the rest of the line right, in overwrite mode (Insert toggles) they replace the
// character there. A control character is a character of the line like any other (a line feed
// from Ctrl+Enter or Ctrl+J included). The keys:
//   Left, Right, Home, End          move the edit point; Ctrl+Left and Ctrl+Right by words
//                                   (to the start of a word; words are split by blanks)
//   Backspace, Delete               remove the character before, at the edit point
//   Ctrl+Home, Ctrl+End             remove the line before, from the edit point
//   Escape                          clears the line
//   Up, Down                        the lines entered before (LineHistory); Down past the
//                                   newest brings back the line that was being typed
//   F1, F3                          copy one character, the rest, of the last line entered from
//                                   the edit point on
//   Enter                           ends the line, wherever the edit point is (it goes to the
//                                   line's end); a line that is not empty joins the history
// Other keys without a character (function keys, modifiers) and key releases are passed over.
// A line holds at most the count of characters its Start gives; characters typed when it is
// full are dropped, and a line recalled or copied in is cut to that count. The line's storage
// grows as it needs, and keeps its size for the lines after.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win.hpp"

namespace conlib::platform {

// The lines entered before, the newest last: at most MostLines of them, their text in a ring
// of ArenaBytes bytes, one line after the other. The oldest lines go when a new one needs the
// room; a line longer than the whole ring is not kept.
class LineHistory {
  public:
    static constexpr std::size_t MostLines = 50;
    static constexpr std::size_t ArenaBytes = 16384;

    std::size_t size() const { return count_; }

    // Keeps a line that is not empty.
    void Add(std::string_view text);

    // The length of line `index` (0 is the oldest), and its character `at`.
    std::size_t Length(std::size_t index) const;
    char At(std::size_t index, std::size_t at) const;

  private:
    struct Line {
        std::size_t start;
        std::size_t length;
    };
    const Line& LineAt(std::size_t index) const { return lines_[(first_ + index) % MostLines]; }

    Line lines_[MostLines] = {};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::size_t used_ = 0;
    char arena_[ArenaBytes] = {};
};

// What a key did to the line, for its echo to follow.
struct LineChange {
    enum class Kind {
        None,     // nothing shown changes
        Point,    // only the edit point moved
        Text,     // the text changed from character `from` on (and the edit point may have moved)
        Entered,  // Enter: the line is complete, its edit point at its end
    };
    Kind kind = Kind::None;
    std::size_t from = 0;

    bool operator==(const LineChange&) const = default;
};

class LineEditor {
  public:
    // Starts a new line, empty and in insert mode, of at most `most` characters.
    void Start(std::size_t most);

    // Applies one key event.
    LineChange Key(const win::KEY_EVENT_RECORD& key);

    std::string_view line() const { return line_; }
    // The edit point: the index in line() where the next character goes.
    std::size_t point() const { return point_; }
    bool inserting() const { return insert_; }

  private:
    LineChange EditKey(win::WORD vk, bool ctrl);
    LineChange Put(char ch);
    LineChange Remove(std::size_t from, std::size_t to);
    LineChange MoveTo(std::size_t index);
    std::size_t WordLeft() const;
    std::size_t WordRight() const;
    LineChange Recall(std::size_t index);
    LineChange CopyFromLast(std::size_t most);

    std::string line_;
    std::size_t most_ = 0;
    std::size_t point_ = 0;
    bool insert_ = true;
    LineHistory history_;
    std::size_t browsed_ = 0;  // the history line shown; history_.size() for the one typed
    std::string typed_;        // the line being typed, while a history line is shown
};

}  // namespace conlib::platform
