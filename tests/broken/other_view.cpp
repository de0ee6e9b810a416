// Broken on purpose: the camera goes back to the view after the one it was
// read from.
#include "tests/broken/real.h"

namespace {
orbitrix::SetViewCameraFn gHostSetCamera;
int32_t MCP_HOSTAPI NextView(orbitrix::ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                             uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7, uint32_t v8) {
  return gHostSetCamera(view + 1, v1, v2, v3, v4, v5, v6, v7, v8);
}
}  // namespace

extern "C" void MCP_CALL MCP_InitializePluginProc(uint32_t index, void* service) {
  if (index == orbitrix::kSetViewCamera && service) {
    gHostSetCamera = reinterpret_cast<orbitrix::SetViewCameraFn>(service);
    service = reinterpret_cast<void*>(&NextView);
  }
  Real_InitializePluginProc(index, service);
}
