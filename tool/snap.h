// Straightening the view on release.
#pragma once

namespace orbitrix {

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees within 19 of a multiple of 90 below it or 20 above it. Not a
// number, infinities and angles beyond the int32_t range are never near.
bool IsNearRightAngle(float degrees);

// The multiple of 90 an angle that IsNearRightAngle accepts snaps onto.
// Angles outside the int32_t range come back unchanged.
float RoundToRightAngle(float degrees);

}  // namespace orbitrix
