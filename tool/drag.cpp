// The tool events: the gate every event passes, the press that takes hold of
// the camera, and the moves that turn it.
#include "tool/drag.h"

#include "host/options.h"
#include "host/system.h"
#include "tool/snap.h"
#include "tool/view.h"

namespace orbitrix {

DragAnchor gDragAnchor;

int32_t MCP_CALL Press(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t, uint32_t,
                       uint32_t, uint32_t buttons, ViewHandle view, uint32_t, void* context) {
  const PressServices host;
  if (!IsOurTool(idWord0, idWord1) || !context || !host.bound()) return 0;
  if (IsUvView(host.get<kGetViewAttribute>(), view)) return 0;
  if (!(buttons & 1)) return 4;
  if (ReadDragState(context) != kIdle) return 0;
  sys::Point cursor;
  if (!sys::CursorPos(&cursor)) return 0;
  WriteDragState(context, kPressed);
  // The host stored the camera's values one by one: they are read so too.
  const CameraValues& camera = ReadCamera(host, view);
  TakeHold(&gDragAnchor, cursor, {camera.heading(), camera.pitch()});
  // A view left in parallel projection by the last release goes back to
  // normal as soon as a new drag starts.
  WriteViewAttribute(host, view, "TempOrtho", false);
  return 0;
}

namespace {

// A move for this tool, handed the event as it came.
int32_t MCP_CALL Move(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t buttons,
                      ViewHandle view, uint32_t, void* context) {
  const MoveServices host;
  if (!context || buttons == 0 || !host.bound()) return 0;
  const GetViewAttributeFn get = host.get<kGetViewAttribute>();
  if (IsUvView(get, view)) return 0;
  if (!(buttons & 1)) return 2;
  if (ReadDragState(context) < kPressed) return 2;
  if (!IsPerspective(get, view)) return 0;
  CameraValues& camera = ReadCamera(host, view);
  sys::Point cursor;
  if (!sys::CursorPos(&cursor)) return 0;

  Turn(gDragAnchor, cursor, LimitPitch(), camera.angles());
  WriteCamera(host, view, camera);
  WriteDragState(context, kDragging);
  return 0;
}

int32_t MCP_CALL Declined(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                          ViewHandle, uint32_t, void*) {
  return 0;
}

// Moves by whether they are for this tool. Another tool's move then costs
// its look at the id and no more: the move proper needs a frame and saved
// registers, and the jump to it through here passes the event on untouched.
decltype(&MCP_ToolMouseMove) const kMoveFor[] = {Declined, Move};

}  // namespace

}  // namespace orbitrix

using namespace orbitrix;

extern "C" {

uint8_t MCP_CALL MCP_ToolSwitch(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t,
                                uint32_t, void* context) {
  if (IsOurTool(idWord0, idWord1) && context) WriteDragState(context, kIdle);
  return 1;
}

// The press and the release each take the event whole, so that this passes
// it on without touching it.
int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t idWord0, uint32_t idWord1,
                                     uint32_t a5, uint32_t a6, uint32_t pressed, uint32_t buttons,
                                     ViewHandle view, uint32_t refreshTarget, void* context) {
  return (pressed & 0xFF ? Press : Release)(a1, a2, idWord0, idWord1, a5, a6, pressed, buttons,
                                            view, refreshTarget, context);
}

int32_t MCP_CALL MCP_ToolMouseMove(uint32_t a1, uint32_t a2, uint32_t idWord0, uint32_t idWord1,
                                   uint32_t a5, uint32_t a6, uint32_t buttons, ViewHandle view,
                                   uint32_t a9, void* context) {
  return kMoveFor[IsOurTool(idWord0, idWord1)](a1, a2, idWord0, idWord1, a5, a6, buttons, view, a9,
                                               context);
}

}  // extern "C"
