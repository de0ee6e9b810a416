// Broken on purpose: a move's angles are the anchor's plus the travel added
// in double precision and rounded again to single: two roundings, which
// differ from one where the travel goes past 2^24 from a tiny anchor.
#include <windows.h>

#include <bit>

#include "host/options.h"
#include "tests/broken/real.h"
#include "tool/drag.h"

namespace {
orbitrix::SetViewCameraFn gHostSetCamera;

float TwiceRounded(float anchor, int32_t from, int32_t to) {
  return static_cast<float>(static_cast<double>(to) - from + anchor);
}

// Where the module's camera is where a move puts it, it goes where two
// roundings would have put it instead.
int32_t MCP_HOSTAPI Twice(orbitrix::ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                          uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7, uint32_t v8) {
  using namespace orbitrix;
  POINT p;
  if (GetCursorPos(&p)) {
    const DragAnchor& a = gDragAnchor;
    const Angles once = Turn(a, {p.x, p.y}, LimitPitch());
    if (std::bit_cast<uint32_t>(once.heading) == v5 && std::bit_cast<uint32_t>(once.pitch) == v6) {
      float pitch = TwiceRounded(a.camera.pitch, a.cursor.y, p.y);
      if (LimitPitch()) pitch = pitch < -90.0f ? -90.0f : pitch > 90.0f ? 90.0f : pitch;
      v5 = std::bit_cast<uint32_t>(TwiceRounded(a.camera.heading, a.cursor.x, p.x));
      v6 = std::bit_cast<uint32_t>(pitch);
    }
  }
  return gHostSetCamera(view, v1, v2, v3, v4, v5, v6, v7, v8);
}
}  // namespace

extern "C" void MCP_CALL MCP_InitializePluginProc(uint32_t index, void* service) {
  if (index == orbitrix::kSetViewCamera && service) {
    gHostSetCamera = reinterpret_cast<orbitrix::SetViewCameraFn>(service);
    service = reinterpret_cast<void*>(&Twice);
  }
  Real_InitializePluginProc(index, service);
}
