// The release: the end of the drag, and snapping onto right angles.
#include "tool/snap.h"

#include <cmath>
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
  if (!InInt32Range(degrees)) return false;  // also rejects NaN
  const int32_t whole = static_cast<int32_t>(degrees);
  const int32_t r = std::abs(whole % 90);
  return r > 70 || r < 20;
}

float RoundToRightAngle(float degrees) {
  if (!InInt32Range(degrees)) return degrees;
  // Inside the near bands the whole degrees alone decide the multiple, the
  // same one the division below gives. A release has them already from
  // IsNearRightAngle, and the division lies on its way to the camera it
  // writes.
  const int32_t whole = static_cast<int32_t>(degrees);
  const int32_t r = std::abs(whole % 90);
  if (r < 20) return static_cast<float>(whole / 90 * 90);
  if (r > 70) return static_cast<float>((whole / 90 + (whole < 0 ? -1 : 1)) * 90);
  // The 0.25 bias is enough inside the near bands and keeps the rounding
  // direction the band test implies.
  const double quarters = degrees / 90.0 + (degrees >= 0.0f ? 0.25 : -0.25);
  const int32_t k = static_cast<int32_t>(quarters);
  return static_cast<float>(k * 90);
}

int32_t Release(const ReleaseServices& host, ViewHandle view, uint32_t refreshTarget,
                void* context) {
  WriteDragState(context, kIdle);
  if (!IsPerspective(host, view)) return 0;

  const bool snap = SnapToRightAngles() && (!SnapOnlyWithCtrl() || sys::CtrlHeld());
  if (snap) {
    CameraValues camera = ReadCamera(host, view);
    if (!IsNearRightAngle(camera.heading()) || !IsNearRightAngle(camera.pitch())) return 0;
    camera.setHeading(RoundToRightAngle(camera.heading()));
    camera.setPitch(RoundToRightAngle(camera.pitch()));
    WriteCamera(host, view, camera);
  }
  WriteViewAttribute(host, view, "TempOrtho", snap && TemporaryParallel());
  host.get<kRefreshViews>()(refreshTarget, -1);
  return 0;
}

}  // namespace orbitrix
