// Entry stubs of the register and stack frame displays for x86-64 with the Windows calling
// convention (arguments in RCX, RDX, R8, R9, then on the stack above a 32-byte home area that
// the caller provides). The reports they call are in diagnostics.cpp; the saved-word layout is
// described in diagnostics_entry.hpp.
#include <cstdint>

#include "util/diagnostics_entry.hpp"

#if CONLIB_DIAGNOSTICS_STUBS && defined(__x86_64__)

// The home area of its call, the return address and the saved frame pointer.
const std::uintptr_t conlib::detail::ShowStackFrameOwnBytes = 48;

// ShowRegisters: the flags word first, then the sixteen general registers, all before any of
// them changes; the RSP slot then receives the caller's stack pointer without the return
// address. The report runs on a 16-byte aligned stack with a home area and the direction flag
// clear, and the x87 and SSE state saved around it. Every register comes back in reverse
// order, the flags word last but one.
asm(".text\n" CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_REGISTERS)
    CONLIB_ASM_X64_SAVE_REGISTERS
    "    andq $-16, %rsp\n"
    "    subq $544, %rsp\n"
    "    fxsave 32(%rsp)\n"
    "    cld\n"
    "    movq %rbx, %rcx\n"
    "    call " CONLIB_ASM_REGISTERS_REPORT "\n"
    "    fxrstor 32(%rsp)\n"
    CONLIB_ASM_X64_RESTORE_REGISTERS CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_REGISTERS)

    // ShowStackFrameNamed(P, L, R, name): the four arguments stay in their registers; the
    // caller's frame pointer and the address above the home area of this call (the caller's
    // stack pointer before it made room for that area) follow on the stack.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)
    ".Lconlib_show_stack_frame_named:\n"
    "    movq %rbp, %rax\n"
    "    leaq 40(%rsp), %r10\n"
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    andq $-16, %rsp\n"
    "    subq $48, %rsp\n"
    "    movq %rax, 32(%rsp)\n"
    "    movq %r10, 40(%rsp)\n"
    "    call " CONLIB_ASM_FRAME_REPORT "\n"
    "    leave\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)

    // ShowStackFrame(P, L, R): a frame of its own with a home area, then
    // ShowStackFrameNamed(P, L, R, UnnamedFrameMark), which thus shows the frame of
    // ShowStackFrame's caller.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME)
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    subq $32, %rsp\n"
    "    leaq " CONLIB_ASM_UNNAMED_FRAME_MARK "(%rip), %r9\n"
    "    call .Lconlib_show_stack_frame_named\n"
    "    leave\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME));

#endif
