// Measures a calling convention from the outside: calls a function with
// given 32-bit arguments, pushed right to left as a C caller pushes them, in
// a calling environment of the caller's choosing (where the stack stands,
// what the callee-saved registers hold, the floating-point control state),
// and tells what the callee left: how many bytes of the arguments it removed
// (a C-convention function removes none, a callee-cleans one all), the whole
// of EAX, the callee-saved registers, the direction flag, and the x87
// control word and MXCSR.
#pragma once

#include <cstdint>

namespace sim {

// What a 32-bit Windows caller promises a callee, and no more: ESP aligned
// to 4 bytes at the call (Microsoft's x86 compiler keeps no 16-byte
// alignment), the direction flag clear, and whatever floating-point control
// state it has set for itself. The callee must give back EBX, ESI, EDI and
// EBP, a clear direction flag and the control state as it found them.
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
};

// MXCSR's control bits: rounding, flush-to-zero, denormals-are-zero and the
// exception masks. The low six bits are sticky status flags, the caller's to
// ignore.
constexpr uint32_t kMxcsrControl = 0xFFC0;

ProbedCall ProbeCall(const void* function, const uint32_t* arguments, int32_t count,
                     const CallEnvironment& environment = {});

}  // namespace sim
