// Entry stubs of the register and stack frame displays for x86-64 with the System V calling
// convention (arguments in RDI, RSI, RDX, RCX, R8, R9). The reports they call are in
// diagnostics.cpp; the saved-word layout is described in diagnostics_entry.hpp.
#include <cstdint>

#include "util/diagnostics_entry.hpp"

#if CONLIB_DIAGNOSTICS_STUBS && defined(__x86_64__)

// The return address and the saved frame pointer.
const std::uintptr_t conlib::detail::ShowStackFrameOwnBytes = 16;

// Calls to functions that may lie in another module go through the procedure linkage table.
#if defined(__ELF__)
#define CONLIB_CALL(name) "    call " name "@PLT\n"
#else
#define CONLIB_CALL(name) "    call " name "\n"
#endif

// ShowRegisters: the flags word first, then the sixteen general registers, all before any of
// them changes; the RSP slot then receives the caller's stack pointer without the return
// address. The report runs on a 16-byte aligned stack with the direction flag clear, and the
// x87 and SSE state saved around it (the convention lets it change every SSE register). Every
// register comes back in reverse order, the flags word last but one.
asm(".text\n" CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_REGISTERS)
    CONLIB_ASM_X64_SAVE_REGISTERS
    "    andq $-16, %rsp\n"
    "    subq $512, %rsp\n"
    "    fxsave (%rsp)\n"
    "    cld\n"
    "    movq %rbx, %rdi\n"
    CONLIB_CALL(CONLIB_ASM_REGISTERS_REPORT)
    "    fxrstor (%rsp)\n"
    CONLIB_ASM_X64_RESTORE_REGISTERS CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_REGISTERS)

    // ShowStackFrameNamed(P, L, R, name): the four arguments stay where they are; the report
    // also gets the caller's frame pointer and the caller's stack pointer before the call.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)
    ".Lconlib_show_stack_frame_named:\n"
    "    movq %rbp, %r8\n"
    "    leaq 8(%rsp), %r9\n"
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    andq $-16, %rsp\n"
    CONLIB_CALL(CONLIB_ASM_FRAME_REPORT)
    "    leave\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)

    // ShowStackFrame(P, L, R): a frame of its own, then ShowStackFrameNamed(P, L, R,
    // UnnamedFrameMark), which thus shows the frame of ShowStackFrame's caller.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME)
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    movq " CONLIB_ASM_UNNAMED_FRAME_MARK "@GOTPCREL(%rip), %rcx\n"
    "    call .Lconlib_show_stack_frame_named\n"
    "    popq %rbp\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME));

#endif
