#include "sim/validate/stack_probe.h"

namespace sim {

namespace {

// Written in assembly so that no compiler assumption about the callee's
// convention can tidy the stack or the result for it. Returns the bytes
// popped and stores EAX through the last argument.
__attribute__((naked)) int32_t RawProbe(const void*, const uint32_t*, int32_t, uint32_t*) {
  asm("push %ebp\n\t"
      "mov %esp, %ebp\n\t"
      "push %esi\n\t"
      "push %edi\n\t"
      "push %ebx\n\t"
      "mov 16(%ebp), %ecx\n\t"
      "mov 12(%ebp), %edx\n\t"
      "1:\n\t"
      "test %ecx, %ecx\n\t"
      "jz 2f\n\t"
      "dec %ecx\n\t"
      "pushl (%edx,%ecx,4)\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "mov %esp, %esi\n\t"
      "call *8(%ebp)\n\t"
      "mov 20(%ebp), %ecx\n\t"
      "mov %eax, (%ecx)\n\t"
      "mov %esp, %eax\n\t"
      "sub %esi, %eax\n\t"
      "lea -12(%ebp), %esp\n\t"
      "pop %ebx\n\t"
      "pop %edi\n\t"
      "pop %esi\n\t"
      "pop %ebp\n\t"
      "ret\n\t");
}

}  // namespace

ProbedCall ProbeCall(const void* function, const uint32_t* arguments, int32_t count) {
  ProbedCall c{};
  c.popped = RawProbe(function, arguments, count, &c.eax);
  return c;
}

}  // namespace sim
