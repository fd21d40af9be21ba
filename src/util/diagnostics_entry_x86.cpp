// Entry stubs of the register and stack frame displays for 32-bit x86 (arguments on the stack,
// the caller removes them). The reports they call are in diagnostics.cpp; the saved-word
// layout is described in diagnostics_entry.hpp.
#include <cstdint>

#include "util/diagnostics_entry.hpp"

#if CONLIB_DIAGNOSTICS_STUBS && defined(__i386__)

// Three arguments, the return address and the saved frame pointer.
const std::uintptr_t conlib::detail::ShowStackFrameOwnBytes = 20;

// In position-independent code the text's address comes from the global offset table.
#if defined(__PIC__)
#define CONLIB_LOAD_UNNAMED_FRAME_MARK                   \
    "    call 1f\n"                                      \
    "1:  popl %eax\n"                                    \
    "    addl $_GLOBAL_OFFSET_TABLE_ + (. - 1b), %eax\n" \
    "    movl " CONLIB_ASM_UNNAMED_FRAME_MARK "@GOT(%eax), %eax\n"
#else
#define CONLIB_LOAD_UNNAMED_FRAME_MARK "    movl $" CONLIB_ASM_UNNAMED_FRAME_MARK ", %eax\n"
#endif

// ShowRegisters: the flags word first, then the general registers, all before any of them
// changes; the ESP slot then receives the caller's stack pointer without the return address.
// The report runs on a 16-byte aligned stack with the direction flag clear, and the x87 and
// SSE state saved around it. Everything comes back in reverse order, the flags word last but
// one, so the caller finds every register as it left it.
asm(".text\n" CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_REGISTERS)
    "    pushfl\n"
    "    pushl %esp\n"
    "    pushl %ebp\n"
    "    pushl %edi\n"
    "    pushl %esi\n"
    "    pushl %edx\n"
    "    pushl %ecx\n"
    "    pushl %ebx\n"
    "    pushl %eax\n"
    "    leal 40(%esp), %eax\n"
    "    movl %eax, 28(%esp)\n"
    "    movl %esp, %ebx\n"
    "    andl $-16, %esp\n"
    "    subl $512, %esp\n"
    "    fxsave (%esp)\n"
    "    subl $12, %esp\n"
    "    pushl %ebx\n"
    "    cld\n"
    "    call " CONLIB_ASM_REGISTERS_REPORT "\n"
    "    addl $16, %esp\n"
    "    fxrstor (%esp)\n"
    "    movl %ebx, %esp\n"
    "    popl %eax\n"
    "    popl %ebx\n"
    "    popl %ecx\n"
    "    popl %edx\n"
    "    popl %esi\n"
    "    popl %edi\n"
    "    popl %ebp\n"
    "    leal 4(%esp), %esp\n"
    "    popfl\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_REGISTERS)

    // ShowStackFrameNamed(P, L, R, name): the report gets the four arguments, the caller's
    // frame pointer and the address above the four arguments.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)
    ".Lconlib_show_stack_frame_named:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    andl $-16, %esp\n"
    "    subl $8, %esp\n"
    "    leal 24(%ebp), %eax\n"
    "    pushl %eax\n"
    "    pushl (%ebp)\n"
    "    pushl 20(%ebp)\n"
    "    pushl 16(%ebp)\n"
    "    pushl 12(%ebp)\n"
    "    pushl 8(%ebp)\n"
    "    call " CONLIB_ASM_FRAME_REPORT "\n"
    "    leave\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)

    // ShowStackFrame(P, L, R): a frame of its own, then ShowStackFrameNamed(P, L, R,
    // UnnamedFrameMark), which thus shows the frame of ShowStackFrame's caller.
    CONLIB_ASM_FUNCTION(CONLIB_ASM_SHOW_STACK_FRAME)
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    CONLIB_LOAD_UNNAMED_FRAME_MARK
    "    pushl %eax\n"
    "    pushl 16(%ebp)\n"
    "    pushl 12(%ebp)\n"
    "    pushl 8(%ebp)\n"
    "    call .Lconlib_show_stack_frame_named\n"
    "    leave\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(CONLIB_ASM_SHOW_STACK_FRAME));

#endif
