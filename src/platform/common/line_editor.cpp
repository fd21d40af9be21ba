// The line editor and its history.
#include "platform/common/line_editor.hpp"

#include <algorithm>

namespace conlib::platform {

using namespace win;

void LineHistory::Add(std::string_view text) {
    const std::size_t length = text.size();
    if (length == 0 || length > ArenaBytes) return;
    while (count_ == MostLines || used_ + length > ArenaBytes) {
        used_ -= lines_[first_].length;
        first_ = (first_ + 1) % MostLines;
        --count_;
    }
    const std::size_t start =
        count_ == 0 ? 0 : (LineAt(count_ - 1).start + LineAt(count_ - 1).length) % ArenaBytes;
    for (std::size_t i = 0; i < length; ++i)
        arena_[(start + i) % ArenaBytes] = text[i];
    lines_[(first_ + count_) % MostLines] = Line{start, length};
    ++count_;
    used_ += length;
}

std::size_t LineHistory::Length(std::size_t index) const {
    return LineAt(index).length;
}

char LineHistory::At(std::size_t index, std::size_t at) const {
    return arena_[(LineAt(index).start + at) % ArenaBytes];
}

void LineEditor::Start(std::size_t most) {
    line_.clear();
    most_ = most;
    point_ = 0;
    insert_ = true;
    browsed_ = history_.size();
}

LineChange LineEditor::Key(const KEY_EVENT_RECORD& key) {
    if ((key.bKeyDown & 1) == 0) return {};
    const char ch = key.uChar.AsciiChar;
    const WORD vk = key.wVirtualKeyCode;
    const bool ctrl = (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    // A line feed (Ctrl+Enter, Ctrl+J) is a character of the line like any other.
    if (ch == '\r' || (vk == VK_RETURN && ch == '\0')) {
        history_.Add(line_);
        point_ = line_.size();
        return {LineChange::Kind::Entered, 0};
    }
    if (vk == VK_BACK || ch == '\b') return point_ > 0 ? Remove(point_ - 1, point_) : LineChange{};
    if (vk == VK_ESCAPE) return Remove(0, line_.size());
    if (ch != '\0') return Put(ch);
    return EditKey(vk, ctrl);
}

// A key without a character.
LineChange LineEditor::EditKey(WORD vk, bool ctrl) {
    switch (vk) {
        case VK_LEFT:
            return MoveTo(ctrl ? WordLeft() : point_ - (point_ > 0 ? 1 : 0));
        case VK_RIGHT:
            return MoveTo(ctrl ? WordRight() : point_ + (point_ < line_.size() ? 1 : 0));
        case VK_HOME:
            return ctrl ? Remove(0, point_) : MoveTo(0);
        case VK_END:
            return ctrl ? Remove(point_, line_.size()) : MoveTo(line_.size());
        case VK_DELETE:
            return point_ < line_.size() ? Remove(point_, point_ + 1) : LineChange{};
        case VK_INSERT:
            insert_ = !insert_;
            return {};
        case VK_UP:
            if (browsed_ == 0) return {};
            // The line being typed is kept, for Down to bring back.
            if (browsed_ == history_.size()) typed_ = line_;
            return Recall(--browsed_);
        case VK_DOWN:
            if (browsed_ >= history_.size()) return {};
            return Recall(++browsed_);
        case VK_F1:
        case VK_F3:
            return CopyFromLast(vk == VK_F1 ? 1 : most_);
        default:
            return {};
    }
}

// Puts a typed character at the edit point: inserted, or over the character there.
LineChange LineEditor::Put(char ch) {
    if (insert_ || point_ == line_.size()) {
        if (line_.size() >= most_) return {};
        line_.insert(point_, 1, ch);
    } else {
        line_[point_] = ch;
    }
    ++point_;
    return {LineChange::Kind::Text, point_ - 1};
}

// Removes the characters [from, to) of the line; the edit point goes to `from`.
LineChange LineEditor::Remove(std::size_t from, std::size_t to) {
    if (from == to) return {};
    line_.erase(from, to - from);
    point_ = from;
    return {LineChange::Kind::Text, from};
}

LineChange LineEditor::MoveTo(std::size_t index) {
    point_ = index;
    return {LineChange::Kind::Point, 0};
}

namespace {

bool IsBlank(char ch) {
    return ch == ' ';
}

}  // namespace

// The start of the word before the edit point (of the word it stands in).
std::size_t LineEditor::WordLeft() const {
    std::size_t i = point_;
    while (i > 0 && IsBlank(line_[i - 1]))
        --i;
    while (i > 0 && !IsBlank(line_[i - 1]))
        --i;
    return i;
}

// The start of the next word after the edit point, or the end of the line.
std::size_t LineEditor::WordRight() const {
    std::size_t i = point_;
    while (i < line_.size() && !IsBlank(line_[i]))
        ++i;
    while (i < line_.size() && IsBlank(line_[i]))
        ++i;
    return i;
}

// Replaces the line with the history's line `index`, or with the line that was being typed
// when `index` is past the newest; the edit point goes to its end.
LineChange LineEditor::Recall(std::size_t index) {
    if (index < history_.size()) {
        line_.resize(std::min(history_.Length(index), most_));
        for (std::size_t i = 0; i < line_.size(); ++i)
            line_[i] = history_.At(index, i);
    } else {
        line_ = typed_;
    }
    point_ = line_.size();
    return {LineChange::Kind::Text, 0};
}

// Copies at most `most` characters of the last line entered, from the edit point's index on,
// over the line from the edit point.
LineChange LineEditor::CopyFromLast(std::size_t most) {
    if (history_.size() == 0) return {};
    const std::size_t last = history_.size() - 1;
    const std::size_t length = std::min(history_.Length(last), most_);
    if (point_ >= length) return {};
    const std::size_t from = point_;
    const std::size_t count = std::min(most, length - from);
    if (line_.size() < from + count) line_.resize(from + count);
    for (std::size_t i = from; i < from + count; ++i)
        line_[i] = history_.At(last, i);
    point_ = from + count;
    return {LineChange::Kind::Text, from};
}

}  // namespace conlib::platform
