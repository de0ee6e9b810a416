// The release: the end of the drag, and snapping onto right angles.
#include "tool/snap.h"

#include "host/options.h"
#include "host/system.h"
#include "tool/drag.h"
#include "tool/view.h"

namespace orbitrix {

bool IsNearRightAngle(float degrees) {
  float onto;
  return SnapToRightAngle(degrees, &onto);
}

float RoundToRightAngle(float degrees) {
  float onto;
  if (SnapToRightAngle(degrees, &onto)) return onto;
  // Beyond the int32_t range k would not fit.
  if (!InInt32Range(degrees)) return degrees;
  // The 0.25 bias is enough inside the near bands and keeps the rounding
  // direction the band test implies.
  const double quarters = degrees / 90.0 + (degrees >= 0.0f ? 0.25 : -0.25);
  const int32_t k = static_cast<int32_t>(quarters);
  return static_cast<float>(k * 90);
}

int32_t MCP_CALL Release(uint32_t, uint32_t, uint32_t idWord0, uint32_t idWord1, uint32_t, uint32_t,
                         uint32_t, uint32_t, ViewHandle view, uint32_t refreshTarget,
                         void* context) {
  const ReleaseServices host;
  if (!IsOurTool(idWord0, idWord1) || !context || !host.bound()) return 0;
  const GetViewAttributeFn get = host.get<kGetViewAttribute>();
  if (IsUvView(get, view)) return 0;
  WriteDragState(context, kIdle);
  if (!IsPerspective(get, view)) return 0;

  const bool snap = SnapToRightAngles() && (!SnapOnlyWithCtrl() || sys::CtrlHeld());
  if (snap) {
    CameraValues& camera = ReadCamera(host, view);
    float heading, pitch;
    if (!SnapToRightAngle(camera.heading(), &heading) || !SnapToRightAngle(camera.pitch(), &pitch))
      return 0;
    camera.setHeading(heading);
    camera.setPitch(pitch);
    WriteCamera(host, view, camera);
  }
  WriteViewAttribute(host, view, "TempOrtho", snap && TemporaryParallel());
  host.get<kRefreshViews>()(refreshTarget, -1);
  return 0;
}

}  // namespace orbitrix
