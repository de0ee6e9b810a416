// Broken on purpose: reads the drag state before it looks at the context,
// so a null context is dereferenced.
#include "host/abi.h"
#include "tests/broken/real.h"

volatile int32_t gSeenState;

extern "C" int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                                uint32_t a5, uint32_t a6, uint32_t pressed,
                                                uint32_t buttons, orbitrix::ViewHandle view,
                                                uint32_t target, void* context) {
  gSeenState = *reinterpret_cast<volatile int32_t*>(static_cast<char*>(context) +
                                                    orbitrix::kDragStateOffset);
  return Real_ToolMouseButton(a1, a2, w0, w1, a5, a6, pressed, buttons, view, target, context);
}
