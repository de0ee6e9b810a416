// Broken on purpose: a release snaps a heading near 0 whatever the pitch.
#include <bit>

#include "host/abi.h"
#include "host/module.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  const orbitrix::ToolServices host = orbitrix::BoundToolServices();
  if (AllBound() && orbitrix::IsOurTool(w0, w1) && context && !(pressed & 0xFF)) {
    uint32_t v[8] = {};
    host.getViewCamera(view, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    const float heading = std::bit_cast<float>(v[4]);
    if (heading > -20 && heading < 20 && heading != 0)
      host.setViewCamera(view, v[0], v[1], v[2], v[3], 0, v[5], v[6], v[7]);
  }
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
