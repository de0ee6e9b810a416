// The rules the module is held to, written from what the tool must do and
// not from its code: the validator's checks, a session's expectations and
// the picture of a session all judge by these, so they stand below all
// three and on nothing of the simulated host's own.
#pragma once

#include <cstdint>

namespace sim {

// Whether a release snaps from this angle: its whole degrees, truncated
// toward zero, leave a remainder below 20 or above 70 when divided by 90.
// Not a number, infinities and angles beyond the int32_t range never do.
bool NearRightAngle(float degrees);

// The multiple of 90 a release snaps a near angle onto: k times 90, where k
// is the angle divided by 90 with a bias of a quarter away from zero,
// truncated toward zero. Defined for every angle in the int32_t range;
// beyond it (not a number included), where no angle is near, the angle
// itself.
float SnapTarget(float degrees);

// The angles from which a release snaps onto multiple (a multiple of 90), as
// whole-degree truncation makes them: [m - 19, m + 20) above zero,
// (m - 20, m + 19] below it, (-20, 20) around it.
struct Band {
  double low, high;
  bool lowIncluded, highIncluded;
};
Band SnapBand(int32_t multiple);

// Where a drag turns an angle: the anchor plus the cursor's travel since the
// press in pixels, one degree a pixel, the exact sum rounded once to the
// nearest single-precision float, a tie to the even one.
float Turned(float anchor, int32_t from, int32_t to);

// The pitch as the limit leaves it: within -90 to 90; not a number passes.
float Limited(float pitch);

// The same angle, a NaN matching any NaN.
bool SameAngle(float a, float b);

}  // namespace sim
