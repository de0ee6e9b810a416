#include "sim/rules/events.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/rules/oracle.h"

namespace sim {

int32_t ReadRule(const AttributeAnswer& a, int32_t fallback) {
  if (a.size <= 0 || a.size > kLongestValue || a.delivered <= 0) return fallback;
  const std::string text = a.written.substr(0, static_cast<size_t>(a.size));
  const long long value = std::strtoll(text.c_str(), nullptr, 10);  // stops at a NUL
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

namespace {

// An event that does nothing: the drag state and the anchor as they were.
Effect Unchanged(const Scene& s) {
  Effect e;
  e.dragState = s.dragState;
  e.anchor = s.anchor;
  return e;
}

// An event turned away before it looks at anything: another tool's, without
// a context, or needing a service the host has not bound.
Effect Declined(const Scene& s) {
  Effect e = Unchanged(s);
  e.quiet = true;
  return e;
}

bool Ready(const Scene& s, bool setAttribute, bool refresh, bool setCamera) {
  const Bound& b = s.bound;
  return s.ours && s.context && b.getAttribute && b.getCamera &&
         (!setAttribute || b.setAttribute) && (!refresh || b.refresh) &&
         (!setCamera || b.setCamera);
}

}  // namespace

Effect PressRule(const Scene& s, uint32_t buttons) {
  if (!Ready(s, true, false, false)) return Declined(s);
  Effect e = Unchanged(s);
  if (s.uv != 0) return e;
  if (!(buttons & 1)) {
    e.answer = 4;
    return e;
  }
  if (s.dragState != 0 || !s.cursorKnown) return e;
  e.dragState = 1;
  e.anchor = {{s.x, s.y}, {s.heading, s.pitch}};
  e.tempOrtho = false;
  return e;
}

Effect MoveRule(const Scene& s, uint32_t buttons) {
  if (buttons == 0 || !Ready(s, false, false, true)) return Declined(s);
  Effect e = Unchanged(s);
  if (s.uv != 0) return e;
  if (!(buttons & 1) || s.dragState < 1) {
    e.answer = 2;
    return e;
  }
  if (s.pers == 0 || !s.cursorKnown) return e;
  e.cameraWritten = true;
  e.pitch = Turned(s.anchor.camera.pitch, s.anchor.cursor.y, s.y);
  if (s.options[2] == 1) e.pitch = Limited(e.pitch);
  e.heading = Turned(s.anchor.camera.heading, s.anchor.cursor.x, s.x);
  e.dragState = 2;
  return e;
}

Effect ReleaseRule(const Scene& s) {
  if (!Ready(s, true, true, true)) return Declined(s);
  Effect e = Unchanged(s);
  if (s.uv != 0) return e;
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
  e.quiet = true;
  if (s.ours && s.context) e.dragState = 0;
  return e;
}

// --- The queries -------------------------------------------------------------

namespace {

void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int32_t EntryRule(uint32_t hostVersion) { return hostVersion >= 0x50500 ? 1 : 0; }

QueryEffect PluginInfoRule(bool registerBound, int32_t index) {
  if (!registerBound || index != 0) return {};
  RecordDue r{0, std::vector<uint8_t>(26), {{0, "Orbitrix"}, {4, std::nullopt}}};
  Put(r.bytes, 8, 2, 2);
  Put(r.bytes, 10, 0xAAAA);
  Put(r.bytes, 18, 0xF45B6373);
  Put(r.bytes, 22, 0x807);
  return {1, {r}};
}

QueryEffect ToolInfoRule(bool registerBound, bool ours, uint32_t bitmap) {
  if (!registerBound || !ours) return {};
  RecordDue r{1, std::vector<uint8_t>(54), {{12, ""}}};
  Put(r.bytes, 0, 22);
  Put(r.bytes, 4, 26);
  Put(r.bytes, 8, bitmap);
  Put(r.bytes, 16, 1, 2);
  Put(r.bytes, 22, 1);
  Put(r.bytes, 38, 0x10007);
  return {1, {r}};
}

QueryEffect GuiInfoRule(bool registerBound, bool ours) {
  QueryEffect q{1, {}};
  if (!registerBound || !ours) return q;
  RecordDue r{2, std::vector<uint8_t>(25), {{8, std::nullopt}}};
  Put(r.bytes, 0, 25);
  r.bytes[24] = 1;
  q.records.assign(4, r);
  return q;
}

}  // namespace sim
