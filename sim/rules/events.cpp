#include "sim/rules/events.h"

#include "sim/rules/oracle.h"

namespace sim {

namespace {

// An event that does nothing: the drag state and the anchor as they were.
Effect Unchanged(const Scene& s) {
  Effect e;
  e.dragState = s.dragState;
  e.anchor = s.anchor;
  return e;
}

// The gate of the button events; a move also needs a button held.
bool Passes(const Scene& s) { return s.ours && s.context && s.uv == 0; }

}  // namespace

Effect PressRule(const Scene& s, uint32_t buttons) {
  Effect e = Unchanged(s);
  if (!Passes(s)) return e;
  if (!(buttons & 1)) {
    e.answer = 4;
    return e;
  }
  if (s.dragState != 0 || !s.cursorKnown) return e;
  e.dragState = 1;
  e.anchor = {s.x, s.y, s.heading, s.pitch};
  e.tempOrtho = false;
  return e;
}

Effect MoveRule(const Scene& s, uint32_t buttons) {
  Effect e = Unchanged(s);
  if (buttons == 0 || !Passes(s)) return e;
  if (!(buttons & 1) || s.dragState < 1) {
    e.answer = 2;
    return e;
  }
  if (s.pers == 0 || !s.cursorKnown) return e;
  e.cameraWritten = true;
  e.pitch = Turned(s.anchor.pitch, s.anchor.y, s.y);
  if (s.options[2] == 1) e.pitch = Limited(e.pitch);
  e.heading = Turned(s.anchor.heading, s.anchor.x, s.x);
  e.dragState = 2;
  return e;
}

Effect ReleaseRule(const Scene& s) {
  Effect e = Unchanged(s);
  if (!Passes(s)) return e;
  e.dragState = 0;
  if (s.pers == 0) return e;
  const bool snap = s.options[0] != 0 && (s.options[1] != 1 || s.ctrl);
  if (!snap) {
    e.tempOrtho = false;
    e.refreshes = 1;
    return e;
  }
  if (!NearRightAngle(s.heading) || !NearRightAngle(s.pitch)) return e;
  e.cameraWritten = true;
  e.heading = SnapTarget(s.heading);
  e.pitch = SnapTarget(s.pitch);
  e.tempOrtho = s.options[3] == 1;
  e.refreshes = 1;
  return e;
}

Effect SwitchRule(const Scene& s) {
  Effect e = Unchanged(s);
  e.answer = 1;
  if (s.ours && s.context) e.dragState = 0;
  return e;
}

}  // namespace sim
