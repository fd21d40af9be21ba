// Keyboard input from a VT terminal, decoded into the key events a Windows keyboard gives.
//
// The decoder is a pure function: bytes in, key event records out. It does no I/O, reads no
// clock and keeps nothing between calls. The caller keeps the bytes not used yet and decides,
// with its own short timer, when no more bytes are coming, so that a lone ESC becomes Escape
// without delay and never swallows the key typed after it.
#pragma once

#include <cstddef>

#include "win.hpp"

namespace conlib::platform {

// The records of one key press, as a keyboard gives them: the modifier keys the key is typed
// with, pressed in the order Shift, Alt, Ctrl; the key's own down and up; then the modifiers
// released in reverse order. Every record is a KEY_EVENT with a repeat count of 1; the
// character is in code page 437.
struct KeyEvents {
    static constexpr std::size_t Capacity = 8;
    win::INPUT_RECORD records[Capacity];
    std::size_t count;
};

// The longest escape sequence the decoder waits for. Given this many bytes or more it behaves
// as if `final` were true, so it always uses some of them: a caller whose buffer holds at least
// this many bytes can never stall.
inline constexpr std::size_t MaxSequenceLength = 32;

// Decodes the key at the start of `bytes` (`length` bytes) into `events`, and returns the
// number of bytes used; the caller passes the rest to the next call.
//
// Returns 0, with no events, when the bytes are the start of a longer sequence and `final` is
// false: more bytes may still come, so the caller calls again when it has them, or with `final`
// true once its timer says that nothing more is coming now. With `final` true every non-empty
// input decodes: a lone ESC is Escape, an unfinished sequence "ESC x..." is Alt+x and the bytes
// after it are keys of their own, and a UTF-8 character cut short is '?'. Returns 0 for an
// empty input.
//
// Never reads past `length`. A sequence that stands for no key (an unknown one, or a report
// of the terminal) is used whole and gives no events. A sequence broken off by a byte that
// cannot continue it is used up to that byte and gives no events; that byte starts the next
// key.
std::size_t DecodeKey(const unsigned char* bytes, std::size_t length, bool final,
                      KeyEvents& events);

}  // namespace conlib::platform
