#include "sim/validate/stack_probe.h"

#include <cstddef>

namespace sim {

// The call's inputs, what the callee left, and the caller's own state, at
// the fixed offsets the assembly below uses.
struct ProbeBlock {
  const void* function;
  const uint32_t* arguments;
  int32_t count;
  uint32_t stackOffset;
  uint32_t ebx, esi, edi, ebp;  // loaded before the call, what the callee left after it
  uint32_t mxcsr;
  uint16_t x87, x87Before, x87After, savedX87;
  uint32_t mxcsrBefore, mxcsrAfter;
  uint32_t eax, eflags, espAtCall, espAfter;
  uint32_t savedEsp, savedEbx, savedEsi, savedEdi, savedEbp, savedMxcsr;
};

static_assert(offsetof(ProbeBlock, arguments) == 4 && offsetof(ProbeBlock, count) == 8 &&
              offsetof(ProbeBlock, stackOffset) == 12 && offsetof(ProbeBlock, ebx) == 16 &&
              offsetof(ProbeBlock, esi) == 20 && offsetof(ProbeBlock, edi) == 24 &&
              offsetof(ProbeBlock, ebp) == 28 && offsetof(ProbeBlock, mxcsr) == 32 &&
              offsetof(ProbeBlock, x87) == 36 && offsetof(ProbeBlock, x87Before) == 38 &&
              offsetof(ProbeBlock, x87After) == 40 && offsetof(ProbeBlock, savedX87) == 42 &&
              offsetof(ProbeBlock, mxcsrBefore) == 44 && offsetof(ProbeBlock, mxcsrAfter) == 48 &&
              offsetof(ProbeBlock, eax) == 52 && offsetof(ProbeBlock, eflags) == 56 &&
              offsetof(ProbeBlock, espAtCall) == 60 && offsetof(ProbeBlock, espAfter) == 64 &&
              offsetof(ProbeBlock, savedEsp) == 68 && offsetof(ProbeBlock, savedEbx) == 72 &&
              offsetof(ProbeBlock, savedEsi) == 76 && offsetof(ProbeBlock, savedEdi) == 80 &&
              offsetof(ProbeBlock, savedEbp) == 84 && offsetof(ProbeBlock, savedMxcsr) == 88);

// At a fixed address: once the callee has run, no register can be trusted
// to find it by.
ProbeBlock gProbeBlock asm("orbitrix_probe_block");

namespace {

#define B "orbitrix_probe_block"

// Written in assembly so that no compiler assumption about the callee's
// convention can tidy the stack, the registers or the result for it. The
// block is passed too, so that the compiler knows the call reads and writes
// it. The arguments go 512 bytes below the caller's stack, at the offset
// asked for from a 16-byte boundary.
__attribute__((naked, noipa)) void RawCall(ProbeBlock*) {
  asm("mov %esp, " B
      "+68\n\t"
      "mov %ebx, " B
      "+72\n\t"
      "mov %esi, " B
      "+76\n\t"
      "mov %edi, " B
      "+80\n\t"
      "mov %ebp, " B
      "+84\n\t"
      "stmxcsr " B
      "+88\n\t"
      "fnstcw " B
      "+42\n\t"
      "mov " B
      "+8, %ecx\n\t"
      "lea -512(%esp), %eax\n\t"
      "lea 0(,%ecx,4), %edx\n\t"
      "sub %edx, %eax\n\t"
      "and $-16, %eax\n\t"
      "add " B
      "+12, %eax\n\t"
      "mov %eax, %esp\n\t"
      "mov " B
      "+4, %edx\n\t"
      "1:\n\t"
      "test %ecx, %ecx\n\t"
      "jz 2f\n\t"
      "dec %ecx\n\t"
      "mov (%edx,%ecx,4), %eax\n\t"
      "mov %eax, (%esp,%ecx,4)\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "mov %esp, " B
      "+60\n\t"
      "fldcw " B
      "+36\n\t"
      "fnstcw " B
      "+38\n\t"
      "ldmxcsr " B
      "+32\n\t"
      "stmxcsr " B
      "+44\n\t"
      "cld\n\t"
      "mov " B
      "+16, %ebx\n\t"
      "mov " B
      "+20, %esi\n\t"
      "mov " B
      "+24, %edi\n\t"
      "mov " B
      "+0, %eax\n\t"
      "mov " B
      "+28, %ebp\n\t"
      "call *%eax\n\t"
      "mov %eax, " B
      "+52\n\t"
      "mov %ebx, " B
      "+16\n\t"
      "mov %esi, " B
      "+20\n\t"
      "mov %edi, " B
      "+24\n\t"
      "mov %ebp, " B
      "+28\n\t"
      "mov %esp, " B
      "+64\n\t"
      "pushf\n\t"
      "popl " B
      "+56\n\t"
      "fnstcw " B
      "+40\n\t"
      "stmxcsr " B
      "+48\n\t"
      "cld\n\t"
      "fldcw " B
      "+42\n\t"
      "ldmxcsr " B
      "+88\n\t"
      "mov " B
      "+68, %esp\n\t"
      "mov " B
      "+72, %ebx\n\t"
      "mov " B
      "+76, %esi\n\t"
      "mov " B
      "+80, %edi\n\t"
      "mov " B
      "+84, %ebp\n\t"
      "ret\n\t");
}

#undef B

}  // namespace

ProbedCall ProbeCall(const void* function, const uint32_t* arguments, int32_t count,
                     const CallEnvironment& e) {
  ProbeBlock& b = gProbeBlock;
  b.function = function;
  b.arguments = arguments;
  b.count = count;
  b.stackOffset = e.stackOffset & 12;
  b.ebx = e.ebx, b.esi = e.esi, b.edi = e.edi, b.ebp = e.ebp;
  b.x87 = e.x87;
  b.mxcsr = e.mxcsr;
  RawCall(&b);
  constexpr uint32_t kDirectionFlag = 1u << 10;
  return {static_cast<int32_t>(b.espAfter - b.espAtCall),
          b.eax,
          b.ebx,
          b.esi,
          b.edi,
          b.ebp,
          (b.eflags & kDirectionFlag) != 0,
          b.x87Before,
          b.x87After,
          b.mxcsrBefore,
          b.mxcsrAfter};
}

}  // namespace sim
