// The tool events: the gate every event passes, the press that takes hold of
// the camera, and the moves that turn it. The release is in snap.cpp.
#include "tool/drag.h"

#include "host/options.h"
#include "tool/snap.h"
#include "tool/view.h"

namespace orbitrix {

DragAnchor gDragAnchor;

namespace {

enum class Event { kPress, kMove, kRelease };

// Whether the services the event calls are all bound.
bool Bound(Event event, const ToolServices& host) {
  if (!host.getViewAttribute || !host.getViewCamera) return false;
  switch (event) {
    case Event::kPress: return host.setViewAttribute != nullptr;
    case Event::kMove: return host.setViewCamera != nullptr;
    case Event::kRelease: return host.setViewAttribute && host.setViewCamera && host.refreshViews;
  }
  return false;
}

// The gate every tool event passes, in its order. An event that fails it
// answers 0 and does nothing; one that passes has the services it calls in
// *host, all bound.
bool PassesGate(Event event, uint32_t idWord0, uint32_t idWord1, uint32_t buttons,
                const void* context, ViewHandle view, ToolServices* host) {
  if (!IsOurTool(idWord0, idWord1)) return false;
  if (event == Event::kMove && buttons == 0) return false;
  if (!context) return false;
  // A host that has not bound a service the event calls gets nothing called.
  *host = BoundToolServices();
  if (!Bound(event, *host)) return false;
  return ReadViewAttributeInt(*host, view, "UV", 0) == 0;
}

int32_t Press(const ToolServices& host, ViewHandle view, uint32_t buttons, void* context) {
  if (!(buttons & 1)) return 4;
  if (ReadDragState(context) != kIdle) return 0;
  // Where the system cannot tell the cursor there is no anchor to take.
  Pixel cursor;
  if (!sys::CursorPos(&cursor)) return 0;
  WriteDragState(context, kPressed);
  const CameraValues camera = ReadCamera(host, view);
  gDragAnchor = {cursor, {camera.heading(), camera.pitch()}};
  // A view left in parallel projection by the last release goes back to
  // normal as soon as a new drag starts.
  WriteViewAttribute(host, view, "TempOrtho", false);
  return 0;
}

int32_t Move(const ToolServices& host, ViewHandle view, uint32_t buttons, void* context) {
  if (!(buttons & 1)) return 2;
  if (ReadDragState(context) < kPressed) return 2;
  if (ReadViewAttributeInt(host, view, "Pers", 1) == 0) return 0;
  CameraValues camera = ReadCamera(host, view);
  Pixel cursor;
  if (!sys::CursorPos(&cursor)) return 0;
  const Angles turned = Turn(gDragAnchor, cursor, LimitPitch());
  camera.setHeading(turned.heading);
  camera.setPitch(turned.pitch);
  WriteCamera(host, view, camera);
  WriteDragState(context, kDragging);
  return 0;
}

}  // namespace

}  // namespace orbitrix

using namespace orbitrix;

extern "C" {

uint8_t MCP_CALL MCP_ToolSwitch(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t,
                                uint32_t, void* context) {
  if (IsOurTool(idWord0, idWord1) && context) WriteDragState(context, kIdle);
  return 1;
}

int32_t MCP_CALL MCP_ToolMouseButton(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1,
                                     uint32_t, uint32_t, uint32_t pressed, uint32_t buttons,
                                     ViewHandle view, uint32_t refreshTarget, void* context) {
  const Event event = (pressed & 0xFF) != 0 ? Event::kPress : Event::kRelease;
  ToolServices host;
  if (!PassesGate(event, idWord0, idWord1, buttons, context, view, &host)) return 0;
  return event == Event::kPress ? Press(host, view, buttons, context)
                                : Release(host, view, refreshTarget, context);
}

int32_t MCP_CALL MCP_ToolMouseMove(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t,
                                   uint32_t, uint32_t buttons, ViewHandle view, uint32_t,
                                   void* context) {
  ToolServices host;
  if (!PassesGate(Event::kMove, idWord0, idWord1, buttons, context, view, &host)) return 0;
  return Move(host, view, buttons, context);
}

}  // extern "C"
