// Broken on purpose: a release first tests whether the heading lies in the
// int32_t range with an ordered compare, outside the module's own MXCSR: a
// heading that is not a number raises an invalid-operation exception in a
// host that unmasked it.
#include <bit>

#include "host/module.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  const orbitrix::GetViewCameraFn get = orbitrix::BoundToolServices().getViewCamera;
  if (AllBound() && orbitrix::IsOurTool(w0, w1) && context && !(pressed & 0xFF)) {
    uint32_t v[8];
    get(view, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    const float heading = std::bit_cast<float>(v[4]);
    volatile bool inRange = heading >= -2147483648.0f && heading < 2147483648.0f;
    (void)inRange;
  }
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
