#include "rig/stack_probe.h"

// ebx remembers the stack pointer after the arguments were pushed; the callee must preserve
// it, so after the call esp - ebx is exactly what the callee popped.
#if defined(__i386__)
asm(R"(
    .text
    .globl _rig_CallAndMeasure
_rig_CallAndMeasure:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %ebx
    call *8(%ebp)
    movl 20(%ebp), %ecx
    testl %ecx, %ecx
    jz 3f
    movl %eax, (%ecx)
3:  movl %esp, %eax
    subl %ebx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
#endif
