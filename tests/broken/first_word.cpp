// Broken on purpose: a tool switch looks at the first word of the tool id
// only.
#include "host/abi.h"
#include "tests/broken/real.h"

extern "C" uint8_t MCP_CALL MCP_ToolSwitch(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t,
                                           uint32_t a5, uint32_t a6, void* context) {
  return Real_ToolSwitch(a1, a2, w0, orbitrix::kToolId.word1, a5, a6, context);
}
