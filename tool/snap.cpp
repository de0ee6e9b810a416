// The release: the end of the drag, and snapping onto right angles.
#include "tool/snap.h"

#include "host/options.h"
#include "host/system.h"
#include "tool/angles.h"
#include "tool/drag.h"
#include "tool/view.h"

namespace orbitrix {

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
