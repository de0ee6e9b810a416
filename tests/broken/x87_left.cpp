// Broken on purpose: a move leaves a value on the x87 register stack, which
// the host's next x87 arithmetic finds in its way.
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseMove(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                              uint32_t a5, uint32_t a6, uint32_t buttons,
                                              orbitrix::ViewHandle view, uint32_t a9,
                                              void* context) {
  const int32_t answer = Real_ToolMouseMove(a1, a2, w0, w1, a5, a6, buttons, view, a9, context);
  asm volatile("fld1");
  return answer;
}
