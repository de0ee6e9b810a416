#include "sim/host/stack_probe.h"

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
  uint16_t x87Env[14];  // what the callee left: control, status and tag words first
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
              offsetof(ProbeBlock, savedEbp) == 84 && offsetof(ProbeBlock, savedMxcsr) == 88 &&
              offsetof(ProbeBlock, x87Env) == 92);

// At a fixed address: once the callee has run, no register can be trusted
// to find it by.
ProbeBlock gProbeBlock asm("orbitrix_probe_block");

namespace {

// Written in assembly so that no compiler assumption about the callee's
// convention can tidy the stack, the registers or the result for it. The
// block is passed too, so that the compiler knows the call reads and writes
// it. The arguments go 512 bytes below the caller's stack, at the offset
// asked for from a 16-byte boundary.
__attribute__((naked, noipa)) void RawCall(ProbeBlock*) {
  asm("mov %esp, orbitrix_probe_block+68\n\t"  // savedEsp: the caller's own state
      "mov %ebx, orbitrix_probe_block+72\n\t"  // savedEbx
      "mov %esi, orbitrix_probe_block+76\n\t"  // savedEsi
      "mov %edi, orbitrix_probe_block+80\n\t"  // savedEdi
      "mov %ebp, orbitrix_probe_block+84\n\t"  // savedEbp
      "stmxcsr orbitrix_probe_block+88\n\t"    // savedMxcsr
      "fnstcw orbitrix_probe_block+42\n\t"     // savedX87
      "mov orbitrix_probe_block+8, %ecx\n\t"   // count
      "lea -512(%esp), %eax\n\t"               // the new stack: 512 bytes down,
      "lea 0(,%ecx,4), %edx\n\t"               // room for the arguments,
      "sub %edx, %eax\n\t"
      "and $-16, %eax\n\t"                     // a 16-byte boundary,
      "add orbitrix_probe_block+12, %eax\n\t"  // and stackOffset above it
      "mov %eax, %esp\n\t"
      "mov orbitrix_probe_block+4, %edx\n\t"  // arguments
      "1:\n\t"
      "test %ecx, %ecx\n\t"
      "jz 2f\n\t"
      "dec %ecx\n\t"
      "mov (%edx,%ecx,4), %eax\n\t"
      "mov %eax, (%esp,%ecx,4)\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "mov %esp, orbitrix_probe_block+60\n\t"  // espAtCall
      "fnclex\n\t"                             // no exception pending
      "fldcw orbitrix_probe_block+36\n\t"      // x87
      "fnstcw orbitrix_probe_block+38\n\t"     // x87Before
      "ldmxcsr orbitrix_probe_block+32\n\t"    // mxcsr
      "stmxcsr orbitrix_probe_block+44\n\t"    // mxcsrBefore
      "cld\n\t"
      "mov orbitrix_probe_block+16, %ebx\n\t"  // the sentinels
      "mov orbitrix_probe_block+20, %esi\n\t"
      "mov orbitrix_probe_block+24, %edi\n\t"
      "mov orbitrix_probe_block+0, %eax\n\t"  // function
      "mov orbitrix_probe_block+28, %ebp\n\t"
      "call *%eax\n\t"
      "mov %eax, orbitrix_probe_block+52\n\t"  // eax
      "mov %ebx, orbitrix_probe_block+16\n\t"  // what the callee left
      "mov %esi, orbitrix_probe_block+20\n\t"
      "mov %edi, orbitrix_probe_block+24\n\t"
      "mov %ebp, orbitrix_probe_block+28\n\t"
      "mov %esp, orbitrix_probe_block+64\n\t"  // espAfter
      "pushf\n\t"
      "popl orbitrix_probe_block+56\n\t"     // eflags
      "fnstcw orbitrix_probe_block+40\n\t"   // x87After
      "stmxcsr orbitrix_probe_block+48\n\t"  // mxcsrAfter
      "fnstenv orbitrix_probe_block+92\n\t"  // x87Env
      "cld\n\t"                              // the caller's own state back,
      "fninit\n\t"                           // the x87 registers empty
      "fldcw orbitrix_probe_block+42\n\t"
      "ldmxcsr orbitrix_probe_block+88\n\t"
      "mov orbitrix_probe_block+68, %esp\n\t"
      "mov orbitrix_probe_block+72, %ebx\n\t"
      "mov orbitrix_probe_block+76, %esi\n\t"
      "mov orbitrix_probe_block+80, %edi\n\t"
      "mov orbitrix_probe_block+84, %ebp\n\t"
      "ret\n\t");
}

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
          b.mxcsrAfter,
          b.x87Env[2],
          b.x87Env[4]};
}

}  // namespace sim
