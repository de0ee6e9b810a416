#include "sim/stack_probe.h"

namespace sim {

// Written in assembly so that no compiler assumption about the callee's
// convention can tidy the stack for it.
__attribute__((naked)) int32_t BytesPoppedByCallee(const void*, int32_t) {
  asm("push %ebp\n\t"
      "mov %esp, %ebp\n\t"
      "push %esi\n\t"
      "mov 12(%ebp), %ecx\n\t"
      "1:\n\t"
      "test %ecx, %ecx\n\t"
      "jz 2f\n\t"
      "push $0\n\t"
      "dec %ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "mov %esp, %esi\n\t"
      "call *8(%ebp)\n\t"
      "mov %esp, %eax\n\t"
      "sub %esi, %eax\n\t"
      "lea -4(%ebp), %esp\n\t"
      "pop %esi\n\t"
      "pop %ebp\n\t"
      "ret\n\t");
}

}  // namespace sim
