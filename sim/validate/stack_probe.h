// Measures a calling convention from the outside: calls a function with
// given 32-bit arguments, pushed right to left as a C caller pushes them,
// and tells how many bytes of them it removed from the stack (a C-convention
// function removes none, a callee-cleans one all) and the whole of EAX it
// returned, upper bits included.
#pragma once

#include <cstdint>

namespace sim {

struct ProbedCall {
  int32_t popped;  // argument bytes the callee removed
  uint32_t eax;    // all 32 bits, whatever the declared result's width
};

ProbedCall ProbeCall(const void* function, const uint32_t* arguments, int32_t count);

}  // namespace sim
