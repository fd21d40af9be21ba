// Assembly fixtures of the diagnostics tests (see diagnostics_fixtures.hpp), one set per
// calling convention: x86-64 System V, x86-64 Windows and 32-bit x86.
#include "util/diagnostics_fixtures.hpp"

#include <cstddef>

namespace {

using conlib::test::FrameRun;
using conlib::test::RegisterRun;

constexpr std::size_t Word = sizeof(std::uintptr_t);
constexpr std::size_t RegistersAfter = offsetof(RegisterRun, after);

// The assembly below hard-codes these offsets.
static_assert(offsetof(RegisterRun, after) == Word * (conlib::test::RegisterCount + 1));
static_assert(offsetof(RegisterRun, returnAddress) == RegistersAfter * 2);
static_assert(offsetof(RegisterRun, stackPointer) == RegistersAfter * 2 + Word);
static_assert(offsetof(FrameRun, framePointer) == Word * 10);
static_assert(offsetof(FrameRun, outerReturnAddress) == Word * 14);

}  // namespace

#define RUN_REGISTERS CONLIB_ASM_NAME(conlib_test_run_show_registers)
#define RUN_FRAME CONLIB_ASM_NAME(conlib_test_run_frame)

#if CONLIB_DIAGNOSTICS_STUBS && defined(__x86_64__)

#if defined(__ELF__)
#define CALL(name) "    call " name "@PLT\n"
#else
#define CALL(name) "    call " name "\n"
#endif

// The run's address is in RAX and on top of the stack: loads the flags word and every
// register but RSP from `before`, calls ShowRegisters, stores every register but RSP and the
// flags word into `after` and the return address and the stack pointer of the call; then
// drops the run's address.
#define RUN_REGISTERS_BODY \
    "    pushq 128(%rax)\n"              \
    "    popfq\n"                        \
    "    movq 8(%rax), %rbx\n"           \
    "    movq 16(%rax), %rcx\n"          \
    "    movq 24(%rax), %rdx\n"          \
    "    movq 32(%rax), %rsi\n"          \
    "    movq 40(%rax), %rdi\n"          \
    "    movq 48(%rax), %rbp\n"          \
    "    movq 64(%rax), %r8\n"           \
    "    movq 72(%rax), %r9\n"           \
    "    movq 80(%rax), %r10\n"          \
    "    movq 88(%rax), %r11\n"          \
    "    movq 96(%rax), %r12\n"          \
    "    movq 104(%rax), %r13\n"         \
    "    movq 112(%rax), %r14\n"         \
    "    movq 120(%rax), %r15\n"         \
    "    movq 0(%rax), %rax\n"           \
    CALL(CONLIB_ASM_SHOW_REGISTERS)      \
    ".Lafter_show_registers:\n"          \
    "    pushfq\n"                       \
    "    pushq %rax\n"                   \
    "    movq 16(%rsp), %rax\n"          \
    "    movq %rbx, 144(%rax)\n"         \
    "    movq %rcx, 152(%rax)\n"         \
    "    movq %rdx, 160(%rax)\n"         \
    "    movq %rsi, 168(%rax)\n"         \
    "    movq %rdi, 176(%rax)\n"         \
    "    movq %rbp, 184(%rax)\n"         \
    "    movq %r8, 200(%rax)\n"          \
    "    movq %r9, 208(%rax)\n"          \
    "    movq %r10, 216(%rax)\n"         \
    "    movq %r11, 224(%rax)\n"         \
    "    movq %r12, 232(%rax)\n"         \
    "    movq %r13, 240(%rax)\n"         \
    "    movq %r14, 248(%rax)\n"         \
    "    movq %r15, 256(%rax)\n"         \
    "    popq 136(%rax)\n"               \
    "    popq 264(%rax)\n"               \
    "    leaq .Lafter_show_registers(%rip), %rcx\n" \
    "    movq %rcx, 272(%rax)\n"         \
    "    movq %rsp, 280(%rax)\n"         \
    "    leaq 8(%rsp), %rsp\n"

// The run's address is in RBX: records the frame pointers and the return address, pushes the
// stack arguments and calls the procedure, which builds the frame and calls the display with
// CALL_DISPLAY.
#define RUN_FRAME_BODY(CALL_DISPLAY)        \
    "    movq %rbp, 96(%rbx)\n"             \
    "    movq (%rbp), %rax\n"               \
    "    movq %rax, 104(%rbx)\n"            \
    "    movq 8(%rbp), %rax\n"              \
    "    movq %rax, 112(%rbx)\n"            \
    "    leaq .Lframe_return(%rip), %rax\n" \
    "    movq %rax, 88(%rbx)\n"             \
    "    movq 32(%rbx), %rcx\n"             \
    "    movq 40(%rbx), %rdx\n"             \
    "1:  testq %rcx, %rcx\n"                \
    "    jz 2f\n"                           \
    "    pushq -8(%rdx,%rcx,8)\n"           \
    "    decq %rcx\n"                       \
    "    jmp 1b\n"                          \
    "2:  call .Lframe_procedure\n"          \
    ".Lframe_return:\n"                     \
    "    movq -8(%rbp), %rbx\n"             \
    "    leave\n"                           \
    "    ret\n"                             \
    ".Lframe_procedure:\n"                  \
    "    movq 48(%rbx), %rcx\n"             \
    "    movq 56(%rbx), %rdx\n"             \
    "    xorl %eax, %eax\n"                 \
    "1:  cmpq %rcx, %rax\n"                 \
    "    jae 2f\n"                          \
    "    pushq (%rdx,%rax,8)\n"             \
    "    incq %rax\n"                       \
    "    jmp 1b\n"                          \
    "2:  pushq %rbp\n"                      \
    "    movq %rsp, %rbp\n"                 \
    "    movq %rbp, 80(%rbx)\n"             \
    "    movq 64(%rbx), %rcx\n"             \
    "    movq 72(%rbx), %rdx\n"             \
    "    xorl %eax, %eax\n"                 \
    "1:  cmpq %rcx, %rax\n"                 \
    "    jae 2f\n"                          \
    "    pushq (%rdx,%rax,8)\n"             \
    "    incq %rax\n"                       \
    "    jmp 1b\n"                          \
    "2:\n" CALL_DISPLAY                     \
    "    movq %rbp, %rsp\n"                 \
    "    popq %rbp\n"                       \
    "    movq 48(%rbx), %rcx\n"             \
    "    leaq (%rsp,%rcx,8), %rsp\n"        \
    "    ret\n"

#if defined(_WIN64)

// Arguments in RCX, RDX, R8, R9 under a 32-byte home area.
#define CALL_DISPLAY \
    "    subq $32, %rsp\n"                           \
    "    movl 0(%rbx), %ecx\n"                       \
    "    movl 8(%rbx), %edx\n"                       \
    "    movl 16(%rbx), %r8d\n"                      \
    "    movq 24(%rbx), %r9\n"                       \
    "    testq %r9, %r9\n"                           \
    "    jz 3f\n"                                    \
    CALL(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)          \
    "    jmp 4f\n"                                   \
    "3:\n" CALL(CONLIB_ASM_SHOW_STACK_FRAME) "4:\n"

asm(".text\n" CONLIB_ASM_FUNCTION(RUN_REGISTERS)
    "    pushq %rbp\n"
    "    pushq %rbx\n"
    "    pushq %rdi\n"
    "    pushq %rsi\n"
    "    pushq %r12\n"
    "    pushq %r13\n"
    "    pushq %r14\n"
    "    pushq %r15\n"
    "    pushq %rcx\n"
    "    movq %rcx, %rax\n" RUN_REGISTERS_BODY
    "    popq %r15\n"
    "    popq %r14\n"
    "    popq %r13\n"
    "    popq %r12\n"
    "    popq %rsi\n"
    "    popq %rdi\n"
    "    popq %rbx\n"
    "    popq %rbp\n"
    "    cld\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(RUN_REGISTERS)

    CONLIB_ASM_FUNCTION(RUN_FRAME)
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    pushq %rbx\n"
    "    movq %rcx, %rbx\n" RUN_FRAME_BODY(CALL_DISPLAY) CONLIB_ASM_FUNCTION_END(RUN_FRAME));

#else

// Arguments in RDI, RSI, RDX, RCX.
#define CALL_DISPLAY \
    "    movl 0(%rbx), %edi\n"                       \
    "    movl 8(%rbx), %esi\n"                       \
    "    movl 16(%rbx), %edx\n"                      \
    "    movq 24(%rbx), %rcx\n"                      \
    "    testq %rcx, %rcx\n"                         \
    "    jz 3f\n"                                    \
    CALL(CONLIB_ASM_SHOW_STACK_FRAME_NAMED)          \
    "    jmp 4f\n"                                   \
    "3:\n" CALL(CONLIB_ASM_SHOW_STACK_FRAME) "4:\n"

asm(".text\n" CONLIB_ASM_FUNCTION(RUN_REGISTERS)
    "    pushq %rbp\n"
    "    pushq %rbx\n"
    "    pushq %r12\n"
    "    pushq %r13\n"
    "    pushq %r14\n"
    "    pushq %r15\n"
    "    pushq %rdi\n"
    "    movq %rdi, %rax\n" RUN_REGISTERS_BODY
    "    popq %r15\n"
    "    popq %r14\n"
    "    popq %r13\n"
    "    popq %r12\n"
    "    popq %rbx\n"
    "    popq %rbp\n"
    "    cld\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(RUN_REGISTERS)

    CONLIB_ASM_FUNCTION(RUN_FRAME)
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    pushq %rbx\n"
    "    movq %rdi, %rbx\n" RUN_FRAME_BODY(CALL_DISPLAY) CONLIB_ASM_FUNCTION_END(RUN_FRAME));

#endif

#elif CONLIB_DIAGNOSTICS_STUBS && defined(__i386__)

asm(".text\n" CONLIB_ASM_FUNCTION(RUN_REGISTERS)
    "    pushl %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl 20(%esp), %eax\n"
    "    pushl %eax\n"
    "    pushl 32(%eax)\n"
    "    popfl\n"
    "    movl 4(%eax), %ebx\n"
    "    movl 8(%eax), %ecx\n"
    "    movl 12(%eax), %edx\n"
    "    movl 16(%eax), %esi\n"
    "    movl 20(%eax), %edi\n"
    "    movl 24(%eax), %ebp\n"
    "    movl 0(%eax), %eax\n"
    "    call " CONLIB_ASM_SHOW_REGISTERS "\n"
    ".Lafter_show_registers:\n"
    "    pushfl\n"
    "    pushl %eax\n"
    "    movl 8(%esp), %eax\n"
    "    movl %ebx, 40(%eax)\n"
    "    movl %ecx, 44(%eax)\n"
    "    movl %edx, 48(%eax)\n"
    "    movl %esi, 52(%eax)\n"
    "    movl %edi, 56(%eax)\n"
    "    movl %ebp, 60(%eax)\n"
    "    popl 36(%eax)\n"
    "    popl 68(%eax)\n"
    "    call 0f\n"
    "0:  popl %ecx\n"
    "    leal (.Lafter_show_registers - 0b)(%ecx), %ecx\n"
    "    movl %ecx, 72(%eax)\n"
    "    movl %esp, 76(%eax)\n"
    "    leal 4(%esp), %esp\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    cld\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(RUN_REGISTERS)

    CONLIB_ASM_FUNCTION(RUN_FRAME)
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    movl 8(%ebp), %ebx\n"
    "    movl %ebp, 48(%ebx)\n"
    "    movl (%ebp), %eax\n"
    "    movl %eax, 52(%ebx)\n"
    "    movl 4(%ebp), %eax\n"
    "    movl %eax, 56(%ebx)\n"
    "    call 0f\n"
    "0:  popl %eax\n"
    "    leal (.Lframe_return - 0b)(%eax), %eax\n"
    "    movl %eax, 44(%ebx)\n"
    "    movl 16(%ebx), %ecx\n"
    "    movl 20(%ebx), %edx\n"
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    pushl -4(%edx,%ecx,4)\n"
    "    decl %ecx\n"
    "    jmp 1b\n"
    "2:  call .Lframe_procedure\n"
    ".Lframe_return:\n"
    "    movl -4(%ebp), %ebx\n"
    "    leave\n"
    "    ret\n"
    ".Lframe_procedure:\n"
    "    movl 24(%ebx), %ecx\n"
    "    movl 28(%ebx), %edx\n"
    "    xorl %eax, %eax\n"
    "1:  cmpl %ecx, %eax\n"
    "    jae 2f\n"
    "    pushl (%edx,%eax,4)\n"
    "    incl %eax\n"
    "    jmp 1b\n"
    "2:  pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    movl %ebp, 40(%ebx)\n"
    "    movl 32(%ebx), %ecx\n"
    "    movl 36(%ebx), %edx\n"
    "    xorl %eax, %eax\n"
    "1:  cmpl %ecx, %eax\n"
    "    jae 2f\n"
    "    pushl (%edx,%eax,4)\n"
    "    incl %eax\n"
    "    jmp 1b\n"
    "2:  movl 12(%ebx), %eax\n"
    "    testl %eax, %eax\n"
    "    jz 3f\n"
    "    pushl %eax\n"
    "    pushl 8(%ebx)\n"
    "    pushl 4(%ebx)\n"
    "    pushl 0(%ebx)\n"
    "    call " CONLIB_ASM_SHOW_STACK_FRAME_NAMED "\n"
    "    jmp 4f\n"
    "3:  pushl 8(%ebx)\n"
    "    pushl 4(%ebx)\n"
    "    pushl 0(%ebx)\n"
    "    call " CONLIB_ASM_SHOW_STACK_FRAME "\n"
    "4:  movl %ebp, %esp\n"
    "    popl %ebp\n"
    "    movl 24(%ebx), %ecx\n"
    "    leal (%esp,%ecx,4), %esp\n"
    "    ret\n" CONLIB_ASM_FUNCTION_END(RUN_FRAME));

#endif
