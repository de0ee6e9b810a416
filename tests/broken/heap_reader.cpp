// Broken on purpose: a button event first reads "UV" into a heap block and
// frees it after the host's value query: a query that ends abnormally never
// comes back to free it.
#include <cstdlib>

#include "host/module.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  const orbitrix::GetViewAttributeFn get = orbitrix::BoundToolServices().getViewAttribute;
  if (AllBound() && orbitrix::IsOurTool(w0, w1) && context) {
    const int32_t n = get(view, "UV", nullptr, 0);
    if (n > 0) {
      if (char* buffer = static_cast<char*>(std::calloc(static_cast<size_t>(n), 1))) {
        get(view, "UV", buffer, n);
        std::free(buffer);
      }
    }
  }
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
