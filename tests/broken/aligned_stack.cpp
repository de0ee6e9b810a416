// Broken on purpose: built believing its caller keeps the stack 16-byte
// aligned (-mincoming-stack-boundary=4, in this folder's CMakeLists.txt),
// MCP_ToolMouseMove stores to a local with an aligned SSE store, which
// faults on a stack aligned to 4 bytes only, as a host built with
// Microsoft's compiler keeps it.
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_ToolMouseMove(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1,
                                              uint32_t a5, uint32_t a6, uint32_t buttons,
                                              orbitrix::ViewHandle view, uint32_t a9,
                                              void* context) {
  alignas(16) float lanes[4];
  asm volatile("xorps %%xmm0, %%xmm0\n\tmovaps %%xmm0, %0" : "=m"(lanes) : : "xmm0");
  return Real_ToolMouseMove(a1, a2, w0, w1, a5, a6, buttons, view, a9, context) +
         static_cast<int32_t>(lanes[0]);
}
