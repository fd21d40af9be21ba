// conlib: shared result type, string routines, random numbers and clock.
#pragma once

#include <compare>
#include <cstdint>

namespace conlib {

// A value together with whether the operation that produced it succeeded. What `value` holds
// on failure is stated by each operation.
template <class T>
struct Result {
    T value;
    bool ok;
};

// String routines on zero-terminated texts; each byte counts as an unsigned value 0 to 255.

// Orders `first` against `second` byte by byte: the first differing byte decides, and a text
// that ends where the other goes on is the lesser.
std::strong_ordering TextCompare(const char* first, const char* second);

// Copies `source` with its terminator into `target`, which must have room for it and must not
// overlap it; nothing after the copied terminator is written.
void TextCopy(const char* source, char* target);

// Removes the run of `ch` at the end of `text`, in place; the same character elsewhere stays.
void TextTrimTrailing(char* text, char ch);

// Turns the letters a to z of `text` into capitals, in place; every other byte stays.
void TextUpper(char* text);

// Pseudo-random numbers: a linear congruential sequence that starts from seed 1, so a program
// that never seeds it gets the same values on every run.

// Advances the sequence one step and returns its next 32-bit value.
std::uint32_t RandNext();

// Advances the sequence one step and returns its value modulo `n`, from 0 to n - 1. An `n` of
// 0 stands for 2^32: the whole 32-bit value is returned.
std::uint32_t RandBelow(std::uint32_t n);

// Restarts the sequence from the millisecond (0 to 999) of the current UTC time.
void RandSeedFromClock();

// Milliseconds since local midnight, 0 to 86,399,999.
std::uint32_t ClockMsOfDay();

// Stores the current local wall-clock time as a file time (100-nanosecond intervals since
// 1 January 1601, 00:00): its low 32 bits at destination[0], its high 32 bits at destination[1].
void ClockNowFileTime(std::uint32_t* destination);

}  // namespace conlib
