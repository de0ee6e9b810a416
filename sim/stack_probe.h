// Measures a calling convention from the outside: calls a function with a
// number of zero arguments and answers how many bytes of them it removed from
// the stack. A C-convention function removes none; a callee-cleans one, all.
#pragma once

#include <cstdint>

namespace sim {

int32_t BytesPoppedByCallee(const void* function, int32_t argumentCount);

}  // namespace sim
