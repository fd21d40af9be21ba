// Keyboard input from a VT terminal, decoded into the key events a Windows keyboard gives, and
// the terminal's replies to queries, told apart from keys.
//
// The decoder does no I/O and reads no clock. The caller keeps the bytes not used yet and
// decides, with its own short timer, when no more bytes are coming, so that a lone ESC becomes
// Escape without delay and never swallows the key typed after it. Between calls the decoder
// keeps one thing, in a DecoderState of the caller's: that it is dropping the rest of a
// sequence too long to hold, so that none of its bytes arrives as a key.
#pragma once

#include <cstddef>

#include "platform/win.hpp"

namespace conlib::platform {

// The records of one key press, as a keyboard gives them: the modifier keys the key is typed
// with, pressed in the order Shift, Alt, Ctrl; the key's own down and up; then the modifiers
// released in reverse order. Every record is a KEY_EVENT with a repeat count of 1; the
// character is in code page 437.
//
// A reply of the terminal to a query is no key: it gives no records, and comes in `report`.
struct TerminalReport {
    enum class Kind : unsigned char {
        None,
        // DECRPM, "CSI ? Pd ; Ps $ y" for a DEC private mode (`decPrivate`) or "CSI Pd ; Ps $ y":
        // values[0] is the mode, values[1] its setting (a ModeSetting).
        Mode,
        // "CSI ? Pc ; ... c", the primary device attributes: values are the parameters, the
        // terminal's class first. A reply too long to hold comes with no values.
        DeviceAttributes,
        // "CSI > Pp ; Pv ; Pc c", the secondary device attributes: values are the parameters.
        SecondaryDeviceAttributes,
        // "CSI ? row ; column R" (with an optional page), or "CSI row ; column R" with a row
        // above 1 ("CSI 1 ; m R" is F3 with modifiers m): values[0] is the row, values[1] the
        // column, both from 1. While the decoder's state says that a cursor report is owed,
        // "CSI 1 ; column R" is a report too.
        CursorPosition,
        // "CSI 48 ; rows ; columns ; height ; width t", the terminal's new size, reported in
        // band on every resize once the host asked for it: values[1] is the rows, values[2]
        // the columns.
        WindowSize,
    };
    enum ModeSetting : unsigned {
        NotRecognized = 0,
        Set = 1,
        Reset = 2,
        PermanentlySet = 3,
        PermanentlyReset = 4,
    };
    static constexpr std::size_t Capacity = 16;

    Kind kind;
    bool decPrivate;
    unsigned values[Capacity];  // each at most 65535
    std::size_t count;          // values held, at most Capacity
};

struct KeyEvents {
    static constexpr std::size_t Capacity = 8;
    win::INPUT_RECORD records[Capacity];
    std::size_t count;
    TerminalReport report;  // kind None but for a reply of the terminal
};

// What the decoder keeps from one call to the next, for a sequence that ran past
// MaxSequenceLength bytes without an end: the sequence is dropped, and so are the bytes after
// the cut that still belong to it, up to its end or to a byte that cannot continue it. Starts
// empty; the caller ends a drop with EndDrop once its timer says that nothing more is coming
// now, so that what comes later is taken as typed.
struct DecoderState {
    enum class Drop : unsigned char { None, ControlSequence, String };
    Drop drop = Drop::None;
    unsigned char marker = 0;  // a dropped control sequence's private marker, such as '?'
    // Set by the caller while the terminal owes it the answer to a cursor position query: a
    // report of a cursor on row 1 then reads as one, not as F3 with modifiers.
    bool cursorReportOwed = false;

    bool Dropping() const { return drop != Drop::None; }
    void EndDrop() { drop = Drop::None; }
};

// The longest escape sequence the decoder waits for, and the bound at which a longer one is
// cut and dropped. Given this many bytes or more it behaves as if `final` were true, so it
// always uses some of them: a caller whose buffer holds at least this many bytes can never
// stall.
inline constexpr std::size_t MaxSequenceLength = 64;

// Decodes the key or report at the start of `bytes` (`length` bytes) into `events`, and
// returns the number of bytes used; the caller passes the rest to the next call, with the
// same `state`.
//
// Returns 0, with no events, when the bytes are the start of a longer sequence and `final` is
// false: more bytes may still come, so the caller calls again when it has them, or with `final`
// true once its timer says that nothing more is coming now. With `final` true every non-empty
// input decodes: a lone ESC is Escape, an unfinished sequence "ESC x..." is Alt+x and the bytes
// after it are keys of their own, and a UTF-8 character cut short is '?'. Returns 0 for an
// empty input.
//
// Never reads past `length`. A sequence that stands for no key (an unknown one, or a reply of
// the terminal) is used whole and gives no events; a reply the decoder knows comes in
// `events.report`. A control string (OSC "ESC ]", DCS "ESC P", APC "ESC _", PM "ESC ^", SOS
// "ESC X"), ended by BEL or by ST (ESC and a backslash), is used whole and gives no events; one
// broken off by a control character or an ESC that does not start ST was typed: Alt with its second
// byte, and the bytes after it are keys of their own (so are those of one cut short by `final`). A
// control sequence broken off by a byte that cannot continue it is used up to that byte and
// gives no events; that byte starts the next key.
std::size_t DecodeKey(const unsigned char* bytes, std::size_t length, bool final,
                      DecoderState& state, KeyEvents& events);

}  // namespace conlib::platform
