// Broken on purpose: decides "UV" with atoi on the host's buffer, trusting
// the host to terminate the value.
#include <cstdlib>

#include "host/abi.h"
#include "host/module.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  const orbitrix::GetViewAttributeFn get = orbitrix::BoundToolServices().getViewAttribute;
  if (AllBound() && orbitrix::IsOurTool(w0, w1) && context) {
    char buffer[64];
    const int32_t n = get(view, "UV", nullptr, 0);
    if (n > 0 && n <= 64 && get(view, "UV", buffer, n) > 0 && std::atoi(buffer) != 0) return 0;
  }
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
