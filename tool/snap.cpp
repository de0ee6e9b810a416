// The release: the end of the drag, and snapping onto right angles.
#include "tool/snap.h"

#include <cstdlib>

#include "host/options.h"
#include "host/system.h"
#include "tool/drag.h"
#include "tool/view.h"

namespace orbitrix {

namespace {

// Truncation toward zero is defined only inside the int32_t range.
bool InInt32Range(float a) { return a >= -2147483648.0f && a < 2147483648.0f; }

}  // namespace

bool IsNearRightAngle(float degrees) {
  if (!InInt32Range(degrees)) return false;  // also not a number
  const int32_t r = std::abs(static_cast<int32_t>(degrees) % 90);
  return r > 70 || r < 20;
}

float RoundToRightAngle(float degrees) {
  if (!InInt32Range(degrees)) return degrees;
  const double quarters = degrees / 90.0 + (degrees >= 0.0f ? 0.25 : -0.25);
  return static_cast<float>(static_cast<int32_t>(quarters) * 90);
}

int32_t Release(const ToolServices& host, ViewHandle view, uint32_t refreshTarget, void* context) {
  WriteDragState(context, kIdle);
  if (ReadViewAttributeInt(host, view, "Pers", 1) == 0) return 0;

  const bool snap = SnapToRightAngles() && (!SnapOnlyWithCtrl() || sys::CtrlHeld());
  if (!snap) {
    WriteViewAttribute(host, view, "TempOrtho", false);
    host.refreshViews(refreshTarget, -1);
    return 0;
  }
  CameraValues camera = ReadCamera(host, view);
  if (!IsNearRightAngle(camera.heading()) || !IsNearRightAngle(camera.pitch())) return 0;
  camera.setHeading(RoundToRightAngle(camera.heading()));
  camera.setPitch(RoundToRightAngle(camera.pitch()));
  WriteCamera(host, view, camera);
  WriteViewAttribute(host, view, "TempOrtho", TemporaryParallel());
  host.refreshViews(refreshTarget, -1);
  return 0;
}

}  // namespace orbitrix
