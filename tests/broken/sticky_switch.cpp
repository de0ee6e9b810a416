// Broken on purpose: a tool switch leaves the drag under way.
#include "host/abi.h"

extern "C" uint8_t MCP_CALL MCP_ToolSwitch(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                           uint32_t, void*) {
  return 1;
}
