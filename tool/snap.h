// The release: the end of the drag, and straightening the view.
#pragma once

#include <cstdint>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "host/abi.h"
#include "host/module.h"

namespace orbitrix {

// What a release calls: "UV" for the gate and "Pers", the camera both ways,
// "TempOrtho", the redraw.
using ReleaseServices =
    Services<kGetViewAttribute, kGetViewCamera, kSetViewCamera, kSetViewAttribute, kRefreshViews>;

// The release branch of MCP_ToolMouseButton, handed the event as it came:
// past the gate it ends the drag and, where the options ask for it, snaps a
// camera whose heading and pitch are both near right angles onto them.
decltype(MCP_ToolMouseButton) Release;

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees within 19 of a multiple of 90 below it or 20 above it. Not a
// number, infinities and angles beyond the int32_t range are never near.
bool IsNearRightAngle(float degrees);

// The multiple of 90 an angle snaps onto: k times 90, where k is the angle
// divided by 90 with a bias of a quarter away from zero, truncated toward
// zero; within the bands that is the nearest multiple. Angles outside the
// int32_t range come back unchanged.
float RoundToRightAngle(float degrees);

// Whether truncating degrees toward zero gives an int32_t; not a number
// does not.
inline bool InInt32Range(float degrees) {
  return degrees >= -2147483648.0f && degrees < 2147483648.0f;
}

// degrees truncated toward zero, or INT32_MIN where that is beyond the
// int32_t range or degrees is not a number: what the processor's truncating
// conversion gives, spelled out where there is no such instruction.
inline int32_t TruncatedOrMin(float degrees) {
#if defined(__SSE__)
  return _mm_cvtt_ss2si(_mm_set_ss(degrees));
#else
  return InInt32Range(degrees) ? static_cast<int32_t>(degrees) : INT32_MIN;
#endif
}

// Both at once, as a release needs them: whether the angle is near, and if
// it is, RoundToRightAngle of it in *onto.
inline bool SnapToRightAngle(float degrees, float* onto) {
  // Every angle beyond the int32_t range truncates to INT32_MIN here, and
  // so does -2^31 itself, whose whole degrees leave 38: none is near.
  const int32_t whole = TruncatedOrMin(degrees);
  if (whole == INT32_MIN) return false;
  const uint32_t distance = whole < 0 ? 0u - static_cast<uint32_t>(whole) : whole;
  // A remainder by 90 below 20 or above 70 is, 19 degrees further on, one
  // below 39; and the multiple of 90 a near angle snaps onto is the one
  // there, on the same side of zero.
  const uint32_t ahead = distance + 19;
  const uint32_t multiple = ahead / 90 * 90;
  if (ahead - multiple >= 39) return false;
  const int32_t target = static_cast<int32_t>(multiple);
  *onto = static_cast<float>(whole < 0 ? -target : target);
  return true;
}

}  // namespace orbitrix
