// Broken on purpose: camera value 1 goes back to the host through a float
// and a double, which quiets a signalling NaN.
#include <bit>

#include "host/abi.h"
#include "tests/broken/real.h"

namespace {

orbitrix::SetViewCameraFn gHostSetCamera;

int32_t MCP_HOSTAPI ThroughFloat(orbitrix::ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                                 uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7, uint32_t v8) {
  volatile float single = std::bit_cast<float>(v1);
  volatile double widened = single;
  const float back = static_cast<float>(widened);
  return gHostSetCamera(view, std::bit_cast<uint32_t>(back), v2, v3, v4, v5, v6, v7, v8);
}

}  // namespace

extern "C" void MCP_CALL MCP_InitializePluginProc(uint32_t index, void* service) {
  if (index == orbitrix::kSetViewCamera && service) {
    gHostSetCamera = reinterpret_cast<orbitrix::SetViewCameraFn>(service);
    service = reinterpret_cast<void*>(&ThroughFloat);
  }
  Real_InitializePluginProc(index, service);
}
