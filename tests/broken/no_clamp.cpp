// Broken on purpose: turns the camera as if the pitch limit were off.
#include "host/options.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseMove(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                              uint32_t a5, uint32_t a6, uint32_t buttons,
                                              orbitrix::ViewHandle view, uint32_t a9,
                                              void* context) {
  uint8_t& limit = orbitrix::gOptions[orbitrix::kLimitPitch].value;
  const uint8_t kept = limit;
  limit = 0;
  const int32_t r = Real_ToolMouseMove(a1, a2, w0, w1, a5, a6, buttons, view, a9, context);
  limit = kept;
  return r;
}
