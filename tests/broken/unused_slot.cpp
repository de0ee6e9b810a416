// Broken on purpose: a press also calls service slot 77, which the tool has
// no use for.
#include "host/abi.h"
#include "host/module.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  using Unused = int32_t(MCP_HOSTAPI*)();
  if (orbitrix::IsOurTool(w0, w1) && context && (pressed & 0xFF))
    if (auto unused = reinterpret_cast<Unused>(orbitrix::gHostServices.slot[77])) unused();
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
