// Console helpers shared by the tests: the standard handles, cells and the cursor read back,
// key events written into the input queue. They use only console calls that every console
// offers, so a test written with them runs on the headless console and on Windows alike.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win.hpp"

namespace conlib::test {

win::HANDLE Input();
win::HANDLE Output();

// The characters and the attributes of `count` cells from column `x` of row `y` on, along the
// rows; fewer where the buffer ends first.
std::string ReadCells(int x, int y, int count);
std::vector<win::WORD> ReadAttributes(int x, int y, int count);

win::COORD Cursor();
win::COORD BufferSize();
win::DWORD InputMode();

// Writes `ch` into every cell of the buffer, and `attribute` too when one is given.
void FillCells(char ch, std::optional<win::WORD> attribute = std::nullopt);

// Readies the console session, empties the input queue and clears the screen.
void ResetConsole();

win::INPUT_RECORD KeyRecord(bool down, win::WORD vk, char ch, win::WORD scan = 0,
                            win::DWORD state = 0, win::WORD repeat = 1);

// The press and the release of one key.
std::vector<win::INPUT_RECORD> KeyStroke(win::WORD vk, char ch, win::WORD scan = 0,
                                         win::DWORD state = 0);
// The presses and releases that type `text`, as Type types it, without writing them anywhere.
std::vector<win::INPUT_RECORD> TextStrokes(const std::string& text);

// The presses and releases of `keys`: characters as TextStrokes takes them, and keys without a
// character in braces: {L} {R} {H} {E} Left Right Home End, {D} Delete, {I} Insert, {U} {N} Up
// and Down, {1} {3} F1 and F3; with Ctrl: {W} {V} Ctrl+Left and Ctrl+Right, {h} {e} Ctrl+Home
// and Ctrl+End.
std::vector<win::INPUT_RECORD> EditStrokes(const std::string& keys);

// Writes `records` into the input queue, all of them or a test failure.
void Inject(const std::vector<win::INPUT_RECORD>& records);

// Types `text` as presses and releases of the keys of a US keyboard: '\r' is Enter, '\b'
// Backspace, '\x1b' Escape. A character of no key of its own comes as VK_PACKET.
void Type(const std::string& text);
// `text`, then Enter.
void TypeLine(const std::string& text);

}  // namespace conlib::test
