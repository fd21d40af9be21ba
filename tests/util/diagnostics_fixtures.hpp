// Assembly fixtures of the diagnostics tests: they call the register and stack frame displays
// with every register, or every stack slot, holding a value the test chose.
#pragma once

#include <cstdint>

#include "util/diagnostics_entry.hpp"

namespace conlib::test {

// In the layout of the ShowRegisters stub's saved words: the general registers in the order
// EAX, EBX, ECX, EDX, ESI, EDI, EBP, ESP (on x86-64 RAX ... RSP, R8 ... R15), then the flags.
inline constexpr std::uint32_t RegisterCount = detail::SavedRegisterCount;
inline constexpr std::uint32_t StackPointerIndex = detail::SavedStackPointer;
inline constexpr std::uint32_t FlagsIndex = RegisterCount;

struct RegisterRun {
    // Loaded into the registers and the flags word just before the call (the stack pointer
    // entry is not used).
    std::uintptr_t before[RegisterCount + 1];
    // Stored from the registers and the flags word just after the call (the stack pointer
    // entry is not written).
    std::uintptr_t after[RegisterCount + 1];
    // The address of the instruction after the call, and the stack pointer at the call.
    std::uintptr_t returnAddress;
    std::uintptr_t stackPointer;
};

// A frame built for one call of ShowStackFrame or ShowStackFrameNamed. The fixture calls a
// procedure of its own with `above` pushed as its stack arguments (above[0] nearest the
// return address). The procedure pushes `registers` (registers[0] highest), pushes the frame
// pointer and makes the stack pointer its frame pointer, pushes `below` (below[0] right under
// the saved frame pointer) and then calls the display with the three counts: ShowStackFrame
// when `name` is null, ShowStackFrameNamed with `name` otherwise.
struct FrameRun {
    std::uintptr_t parameters;
    std::uintptr_t locals;
    std::uintptr_t savedRegisters;
    const char* name;
    std::uintptr_t aboveCount;
    const std::uintptr_t* above;
    std::uintptr_t registerCount;
    const std::uintptr_t* registers;
    std::uintptr_t belowCount;
    const std::uintptr_t* below;
    // Written by the fixture: the procedure's frame pointer; the return address into the
    // fixture; the fixture's own frame pointer (which the procedure saves) with the two slots
    // at it, the next saved frame pointer and the return address into the test.
    std::uintptr_t framePointer;
    std::uintptr_t returnAddress;
    std::uintptr_t outerFramePointer;
    std::uintptr_t outerSavedFramePointer;
    std::uintptr_t outerReturnAddress;
};

}  // namespace conlib::test

extern "C" {
void conlib_test_run_show_registers(conlib::test::RegisterRun* run);
void conlib_test_run_frame(conlib::test::FrameRun* run);
}
