// conlib: shared result type, string routines, random numbers, clock and diagnostics.
//
// The random sequence and the diagnostics keep their state in the process: call them from one
// thread, one call at a time.
#pragma once

#include <compare>
#include <cstdint>

#include "conlib/export.hpp"

namespace conlib {

// A value together with whether the operation that produced it succeeded. What `value` holds
// on failure is stated by each operation. A result dropped unread is a failure unseen, so the
// compiler warns of it.
template <class T>
struct [[nodiscard]] Result {
    T value;
    bool ok;
};

// String routines on zero-terminated texts; each byte counts as an unsigned value 0 to 255.

// Orders `first` against `second` byte by byte: the first differing byte decides, and a text
// that ends where the other goes on is the lesser.
[[nodiscard]] CONLIB_API std::strong_ordering TextCompare(const char* first, const char* second);

// Copies `source` with its terminator into `target`, which must have room for it and must not
// overlap it; nothing after the copied terminator is written.
CONLIB_API void TextCopy(const char* source, char* target);

// Removes the run of `ch` at the end of `text`, in place; the same character elsewhere stays.
CONLIB_API void TextTrimTrailing(char* text, char ch);

// Turns the letters a to z of `text` into capitals, in place; every other byte stays.
CONLIB_API void TextUpper(char* text);

// Pseudo-random numbers: a linear congruential sequence that starts from seed 1, so a program
// that never seeds it gets the same values on every run.

// Advances the sequence one step and returns its next 32-bit value (a caller may drop it to
// skip a value).
CONLIB_API std::uint32_t RandNext();

// Advances the sequence one step and returns its value modulo `n`, from 0 to n - 1. An `n` of
// 0 stands for 2^32: the whole 32-bit value is returned.
[[nodiscard]] CONLIB_API std::uint32_t RandBelow(std::uint32_t n);

// Restarts the sequence from the millisecond (0 to 999) of the current UTC time.
CONLIB_API void RandSeedFromClock();

// Milliseconds since local midnight, 0 to 86,399,999.
[[nodiscard]] CONLIB_API std::uint32_t ClockMsOfDay();

// Stores the current local wall-clock time as a file time (100-nanosecond intervals since
// 1 January 1601, 00:00): its low 32 bits at destination[0], its high 32 bits at destination[1].
CONLIB_API void ClockNowFileTime(std::uint32_t* destination);

// Diagnostics: reports of fixed layout written to the console with ConWriteText, ConNewLine
// and the number writers, for looking into a running program.
//
// On x86-64 the reports show 64-bit values as 16 hexadecimal digits; otherwise they are as on
// 32-bit x86. On processors other than x86 and x86-64, ShowRegisters and the stack frame
// display write one line saying that they are not available there.

// Writes a line break, "Dump of offset " and `address` (8 hexadecimal digits, 16 on 64-bit
// builds), a line break and a rule of 31 hyphens, then `count` units read from consecutive
// addresses starting at `address`, then a line break. A `unitSize` of 4 shows 4-byte units as
// 8 digits each followed by two blanks, all on one line; 2 shows 2-byte units as 4 digits each
// followed by one blank, all on one line; any other size shows single bytes as 2 digits each
// followed by one blank, with a line break after every 16th. Units are read as little-endian
// values at any alignment. The block is trusted to be readable; a `count` of 0 shows the
// header and the final line break only.
CONLIB_API void ShowMemoryBlock(const void* address, std::uint32_t count, std::uint32_t unitSize);

// Shows the caller's registers as they are at the call: an empty line; EAX, EBX, ECX, EDX;
// ESI, EDI, EBP, ESP; EIP, EFL and the flags CF, SF, ZF, OF, AF and PF as one digit each; an
// empty line. ESP is the caller's stack pointer before the call (and after the return), EIP
// the address of the caller's instruction after the call. On x86-64 the 64-bit registers are
// shown, 16 digits each and three to a line, so that every line fits an 80-column console:
//
//     (empty line)
//       RAX=0000000000000001  RBX=0000000000000002  RCX=0000000000000003
//       RDX=...  RSI=...  RDI=...
//       RBP=...  RSP=...  R8=...
//       R9=...  R10=...  R11=...
//       R12=...  R13=...  R14=...
//       R15=...  RIP=...  RFL=...
//       CF=0  SF=0  ZF=1  OF=0  AF=0  PF=1
//     (empty line)
//
// Every register and the flags word (the SSE and x87 state too) are given back unchanged.
// Keeps its record in static storage: one call at a time.
CONLIB_API void ShowRegisters();

// The first byte of this text is 1: as the name of ShowStackFrameNamed it asks for the frame
// one link further out, with no name in the heading. ShowStackFrame passes it.
CONLIB_API extern const char UnnamedFrameMark[];

// Shows the stack frame of the caller slot by slot. A slot is 4 bytes on 32-bit x86 and 8 on
// x86-64 (written as 8 or 16 digits); FP is the caller's frame pointer (EBP or RBP) at the
// call and is written as "ebp" on both. `parameters`, `locals` and `savedRegisters` count
// slots. The heading is "Stack Frame ", then "for " and `name` unless the name's first byte
// is 0 or 1, then an empty line. With a name whose first byte is 1, FP is the saved frame
// pointer in the slot at FP: the frame one link further out.
//
// Each line shows a slot's value, "  ebp", its signed byte offset from FP and its role; the
// lowest slot's line also says " <--- esp" and is followed by an empty line.
//  - Full layout (in every case but the next): the parameters from FP + 2 slots up, the
//    return address at FP + 1 slot, the saved frame pointer at FP, the local variables below
//    it and the saved registers below those.
//  - Register-only layout (`parameters` and `locals` 0, `savedRegisters` not 0): the return
//    address, the saved registers, the saved frame pointer at FP as the lowest slot. It is
//    shown only when FP equals the caller's stack pointer A described below, or A plus the
//    room that ShowStackFrame takes for its own call (a register-only frame shown through
//    ShowStackFrame); otherwise the line "The stack frame is invalid" follows the heading.
//
// What A is, and what the parameter slots hold, on each processor:
//  - 32-bit x86: A is the caller's stack pointer before it pushed the four arguments;
//    ShowStackFrame takes 20 bytes (three arguments, return address, saved frame pointer).
//    The parameters are the arguments that the caller of the frame's procedure pushed.
//  - x86-64, System V calling convention (Linux and other POSIX systems): A is the caller's
//    stack pointer just before the call, the address above the return address;
//    ShowStackFrame takes 16 bytes (return address, saved frame pointer). Arguments come in
//    registers, so the parameter slots are the procedure's stack-passed arguments (its
//    seventh on).
//  - x86-64, Windows calling convention: A is the caller's stack pointer before it made room
//    for the 32-byte home area of the call, the address just above that area; ShowStackFrame
//    takes 48 bytes (home area, return address, saved frame pointer). The first four
//    parameter slots are the home area of the procedure's register arguments, which hold
//    what the procedure stored there; its stack-passed arguments (the fifth on) follow.
// Compilers keep such frames only with frame pointers (-fno-omit-frame-pointer); the counts
// are trusted to describe the real frame and the slots are read without any test.
CONLIB_API void ShowStackFrameNamed(std::uint32_t parameters, std::uint32_t locals,
                                    std::uint32_t savedRegisters, const char* name);

// Shows the stack frame of the caller as ShowStackFrameNamed does, with no name in the
// heading: it builds a frame of its own and passes UnnamedFrameMark.
CONLIB_API void ShowStackFrame(std::uint32_t parameters, std::uint32_t locals,
                               std::uint32_t savedRegisters);

}  // namespace conlib
