// The tool events: the gate every event passes, the press that takes hold of
// the camera, and the moves that turn it.
#include "tool/drag.h"

#include "host/options.h"
#include "host/system.h"
#include "tool/snap.h"
#include "tool/view.h"

namespace orbitrix {

DragAnchor gDragAnchor;

namespace {

int32_t Press(const PressServices& host, ViewHandle view, uint32_t buttons, void* context) {
  if (!(buttons & 1)) return 4;
  if (ReadDragState(context) != kIdle) return 0;
  sys::Point cursor;
  if (!sys::CursorPos(&cursor)) return 0;
  WriteDragState(context, kPressed);
  const CameraValues camera = ReadCamera(host, view);
  gDragAnchor = {cursor.x, cursor.y, camera.heading(), camera.pitch()};
  // A view left in parallel projection by the last release goes back to
  // normal as soon as a new drag starts.
  WriteViewAttribute(host, view, "TempOrtho", false);
  return 0;
}

int32_t Move(const MoveServices& host, ViewHandle view, uint32_t buttons, void* context) {
  if (!(buttons & 1)) return 2;
  if (ReadDragState(context) < kPressed) return 2;
  if (!IsPerspective(host, view)) return 0;
  CameraValues camera = ReadCamera(host, view);
  sys::Point cursor;
  if (!sys::CursorPos(&cursor)) return 0;

  const float pitch = Turned(gDragAnchor.pitch, gDragAnchor.y, cursor.y);
  camera.setHeading(Turned(gDragAnchor.heading, gDragAnchor.x, cursor.x));
  camera.setPitch(LimitPitch() ? HeldPitch(pitch) : pitch);
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
  if (!IsOurTool(idWord0, idWord1) || !context) return 0;
  if (pressed & 0xFF) {
    const PressServices host;
    if (!host.bound() || IsUvView(host, view)) return 0;
    return Press(host, view, buttons, context);
  }
  const ReleaseServices host;
  if (!host.bound() || IsUvView(host, view)) return 0;
  return Release(host, view, refreshTarget, context);
}

int32_t MCP_CALL MCP_ToolMouseMove(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t,
                                   uint32_t, uint32_t buttons, ViewHandle view, uint32_t,
                                   void* context) {
  if (!IsOurTool(idWord0, idWord1) || !context || buttons == 0) return 0;
  const MoveServices host;
  if (!host.bound() || IsUvView(host, view)) return 0;
  return Move(host, view, buttons, context);
}

}  // extern "C"
