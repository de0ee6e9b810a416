// Measures a calling convention from the outside: calls a function with
// given 32-bit arguments, pushed right to left as a C caller pushes them, in
// a calling environment of the caller's choosing (where the stack stands,
// what the callee-saved registers hold, the floating-point control state),
// and tells what the callee left: how many bytes of the arguments it removed
// (a C-convention function removes none, a callee-cleans one all), the whole
// of EAX, the callee-saved registers, the direction flag, the x87 control
// word and register stack, and MXCSR.
#pragma once

#include <cstdint>

namespace sim {

// What a 32-bit Windows caller promises a callee, and no more: ESP aligned
// to 4 bytes at the call (Microsoft's x86 compiler keeps no 16-byte
// alignment), the direction flag clear, and whatever floating-point control
// state it has set for itself. The callee must give back EBX, ESI, EDI and
// EBP, a clear direction flag, the control state as it found them (MXCSR
// whole, its status flags too) and the x87 registers empty.
struct CallEnvironment {
  uint32_t stackOffset = 0;  // ESP modulo 16 at the call: 0, 4, 8 or 12
  uint16_t x87 = 0x027F;     // Windows' own: 53-bit precision, to nearest, all masked
  uint32_t mxcsr = 0x1F80;   // to nearest, no flush-to-zero or denormals-are-zero, all masked
  // Sentinels in the registers the callee must give back.
  uint32_t ebx = 0xB0B0B0B0, esi = 0x51515151, edi = 0xD1D1D1D1, ebp = 0xE0E0E0E0;
};

struct ProbedCall {
  int32_t popped;  // argument bytes the callee removed
  uint32_t eax;    // all 32 bits, whatever the declared result's width
  uint32_t ebx, esi, edi, ebp;
  bool directionSet;
  // The control state as the callee found it (read back after it was set)
  // and as it left it.
  uint16_t x87Before, x87After;
  uint32_t mxcsrBefore, mxcsrAfter;
  // The x87 status and tag words as the callee left them: a register in use
  // (tag other than 11), or the stack's top moved (status bits 11-13),
  // means a value left behind, or MMX state without EMMS.
  uint16_t x87Status, x87Tags;
};

ProbedCall ProbeCall(const void* function, const uint32_t* arguments, int32_t count,
                     const CallEnvironment& environment = {});

}  // namespace sim
