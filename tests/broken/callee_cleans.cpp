// Broken on purpose: MCP_ToolSwitch removes its own arguments (exported from
// callee_cleans.def under the undecorated name).
#include <cstdint>

#include "tests/broken/real.h"

extern "C" uint8_t __attribute__((stdcall))
CalleeCleansToolSwitch(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1, uint32_t a5, uint32_t a6,
                       void* context) {
  return Real_ToolSwitch(a1, a2, w0, w1, a5, a6, context);
}
