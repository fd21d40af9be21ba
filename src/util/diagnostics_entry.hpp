// The assembly entry stubs of ShowRegisters, ShowStackFrame and ShowStackFrameNamed, and the
// C++ reports they call. A stub takes what it needs from the processor state at the call
// before anything changes it, then hands it over to its report in diagnostics.cpp.
//
// The stubs are top-level assembly: in diagnostics_entry_x86.cpp for 32-bit x86, and for x86-64
// in diagnostics_entry_x64_sysv.cpp (the System V calling convention) or
// diagnostics_entry_x64_win64.cpp (the Windows x64 one). On any other processor, or with a
// compiler that has no GNU-style assembly, diagnostics.cpp defines the three operations itself
// and they only say that they are not available.
#pragma once

#include <cstdint>

// Defining CONLIB_DIAGNOSTICS_STUBS as 0 on the command line builds that variant anywhere.
#if !defined(CONLIB_DIAGNOSTICS_STUBS)
#if (defined(__GNUC__) || defined(__clang__)) && \
    ((defined(__x86_64__) && !defined(__ILP32__)) || defined(__i386__))
#define CONLIB_DIAGNOSTICS_STUBS 1
#else
#define CONLIB_DIAGNOSTICS_STUBS 0
#endif
#endif

// Assembler names: the C-level name with the target's prefix (an underscore on 32-bit
// Windows, none elsewhere), as a string literal.
#define CONLIB_ASM_STRING2(text) #text
#define CONLIB_ASM_STRING(text) CONLIB_ASM_STRING2(text)
#define CONLIB_ASM_NAME(name) CONLIB_ASM_STRING(__USER_LABEL_PREFIX__) #name

// The public operations by their mangled names, and the reports.
#define CONLIB_ASM_SHOW_REGISTERS_SYMBOL _ZN6conlib13ShowRegistersEv
#define CONLIB_ASM_SHOW_STACK_FRAME_SYMBOL _ZN6conlib14ShowStackFrameEjjj
#define CONLIB_ASM_SHOW_STACK_FRAME_NAMED_SYMBOL _ZN6conlib19ShowStackFrameNamedEjjjPKc
#define CONLIB_ASM_SHOW_REGISTERS \
    CONLIB_ASM_STRING(__USER_LABEL_PREFIX__) CONLIB_ASM_STRING(CONLIB_ASM_SHOW_REGISTERS_SYMBOL)
#define CONLIB_ASM_SHOW_STACK_FRAME \
    CONLIB_ASM_STRING(__USER_LABEL_PREFIX__) CONLIB_ASM_STRING(CONLIB_ASM_SHOW_STACK_FRAME_SYMBOL)
#define CONLIB_ASM_SHOW_STACK_FRAME_NAMED    \
    CONLIB_ASM_STRING(__USER_LABEL_PREFIX__) \
    CONLIB_ASM_STRING(CONLIB_ASM_SHOW_STACK_FRAME_NAMED_SYMBOL)
#define CONLIB_ASM_UNNAMED_FRAME_MARK CONLIB_ASM_NAME(_ZN6conlib16UnnamedFrameMarkE)
#define CONLIB_ASM_REGISTERS_REPORT CONLIB_ASM_NAME(conlib_diagnostics_registers_report)
#define CONLIB_ASM_FRAME_REPORT CONLIB_ASM_NAME(conlib_diagnostics_frame_report)

// Start and end of a global function; ELF objects also record its type and size.
#if defined(__ELF__)
#define CONLIB_ASM_FUNCTION(name) \
    ".globl " name "\n.type " name ", @function\n.p2align 4\n" name ":\n"
#define CONLIB_ASM_FUNCTION_END(name) ".size " name ", .-" name "\n"
#else
#define CONLIB_ASM_FUNCTION(name) ".globl " name "\n.p2align 4\n" name ":\n"
#define CONLIB_ASM_FUNCTION_END(name) ""
#endif

// conlib.dll exports the stubs as the compiler exports the functions it compiles: with
// directives to the linker, which name them without the target's prefix. diagnostics.cpp
// gives them once.
#define CONLIB_ASM_EXPORT(symbol) ".ascii \" -export:" CONLIB_ASM_STRING(symbol) "\"\n"
#define CONLIB_ASM_DLL_EXPORTS                                                \
    ".section .drectve\n" CONLIB_ASM_EXPORT(CONLIB_ASM_SHOW_REGISTERS_SYMBOL) \
        CONLIB_ASM_EXPORT(CONLIB_ASM_SHOW_STACK_FRAME_SYMBOL)                 \
            CONLIB_ASM_EXPORT(CONLIB_ASM_SHOW_STACK_FRAME_NAMED_SYMBOL) ".text\n"

// The ShowRegisters stubs of both x86-64 calling conventions begin and end alike. The start
// pushes the flags word and the sixteen general registers in the layout below, puts the
// caller's stack pointer (without the return address) into the RSP slot, and keeps the
// address of the saved words in RBX. The end goes back to that address and takes everything
// back in reverse order, the flags word last, then returns.
#define CONLIB_ASM_X64_SAVE_REGISTERS \
    "    pushfq\n"                    \
    "    pushq %r15\n"                \
    "    pushq %r14\n"                \
    "    pushq %r13\n"                \
    "    pushq %r12\n"                \
    "    pushq %r11\n"                \
    "    pushq %r10\n"                \
    "    pushq %r9\n"                 \
    "    pushq %r8\n"                 \
    "    pushq %rsp\n"                \
    "    pushq %rbp\n"                \
    "    pushq %rdi\n"                \
    "    pushq %rsi\n"                \
    "    pushq %rdx\n"                \
    "    pushq %rcx\n"                \
    "    pushq %rbx\n"                \
    "    pushq %rax\n"                \
    "    leaq 144(%rsp), %rax\n"      \
    "    movq %rax, 56(%rsp)\n"       \
    "    movq %rsp, %rbx\n"
#define CONLIB_ASM_X64_RESTORE_REGISTERS \
    "    movq %rbx, %rsp\n"              \
    "    popq %rax\n"                    \
    "    popq %rbx\n"                    \
    "    popq %rcx\n"                    \
    "    popq %rdx\n"                    \
    "    popq %rsi\n"                    \
    "    popq %rdi\n"                    \
    "    popq %rbp\n"                    \
    "    leaq 8(%rsp), %rsp\n"           \
    "    popq %r8\n"                     \
    "    popq %r9\n"                     \
    "    popq %r10\n"                    \
    "    popq %r11\n"                    \
    "    popq %r12\n"                    \
    "    popq %r13\n"                    \
    "    popq %r14\n"                    \
    "    popq %r15\n"                    \
    "    popfq\n"                        \
    "    ret\n"

namespace conlib::detail {

// What the ShowRegisters stub saves on the stack, one machine word each, from the lowest
// address up: the general registers in the order EAX, EBX, ECX, EDX, ESI, EDI, EBP, ESP (on
// x86-64 RAX ... RSP, then R8 to R15), the flags word, the return address. The ESP slot holds
// the caller's stack pointer before the call.
inline constexpr std::uint32_t SavedRegisterCount = sizeof(std::uintptr_t) == 8 ? 16 : 8;
inline constexpr std::uint32_t SavedStackPointer = 7;
inline constexpr std::uint32_t SavedFlags = SavedRegisterCount;
inline constexpr std::uint32_t SavedReturnAddress = SavedRegisterCount + 1;

// The bytes that ShowStackFrame's own frame takes between its caller's stack pointer and its
// call of ShowStackFrameNamed; defined with the stubs, as it follows the calling convention.
extern const std::uintptr_t ShowStackFrameOwnBytes;

}  // namespace conlib::detail

extern "C" {

// Writes the ShowRegisters report from the words the stub saved (layout above).
void conlib_diagnostics_registers_report(const std::uintptr_t* saved);

// The stack frame display. `framePointer` is the caller's frame pointer at the call of
// ShowStackFrameNamed, `argumentsTop` the stack pointer A of its validity test.
void conlib_diagnostics_frame_report(std::uint32_t parameters, std::uint32_t locals,
                                     std::uint32_t savedRegisters, const char* name,
                                     std::uintptr_t framePointer, std::uintptr_t argumentsTop);
}
