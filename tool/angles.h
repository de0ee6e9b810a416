// The tool's arithmetic on angles: where a move turns the camera, and the
// snap of a release. Nothing here knows the host: this builds as any
// machine's own code too, so that every single-precision angle can be tried
// where the module itself cannot run.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace orbitrix {

struct Angles {
  float heading, pitch;
};

// A cursor position in screen pixels, y downward.
struct Pixel {
  int32_t x, y;
};

namespace angles {

// One angle of a move: the travel between any two int32_t positions is
// exact in a double, to which the anchor is added before the sum is rounded
// to single precision.
inline float Turned(float anchor, int32_t from, int32_t to) {
  return static_cast<float>(static_cast<double>(to) - static_cast<double>(from) + anchor);
}

// Truncation toward zero is defined only inside the int32_t range.
inline bool InInt32Range(float a) { return a >= -2147483648.0f && a < 2147483648.0f; }

}  // namespace angles

// Where a move turns the camera, the press having taken hold at from with
// the camera at anchor and the cursor now at to: each angle the anchor's
// plus the cursor's travel, one degree a pixel, x for the heading and y for
// the pitch, the sum rounded to single precision; with limitPitch, a pitch
// below -90 then becomes -90 and one above 90 becomes 90, and not a number
// passes.
inline Angles Turn(Angles anchor, Pixel from, Pixel to, bool limitPitch) {
  Angles turned{angles::Turned(anchor.heading, from.x, to.x),
                angles::Turned(anchor.pitch, from.y, to.y)};
  if (limitPitch) {
    if (turned.pitch < -90.0f) turned.pitch = -90.0f;
    if (turned.pitch > 90.0f) turned.pitch = 90.0f;
  }
  return turned;
}

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees within 19 of a multiple of 90 below it or 20 above it. Not a
// number, infinities and angles beyond the int32_t range are never near.
inline bool IsNearRightAngle(float degrees) {
  if (!angles::InInt32Range(degrees)) return false;  // also not a number
  const int32_t r = std::abs(static_cast<int32_t>(degrees) % 90);
  return r > 70 || r < 20;
}

// The multiple of 90 an angle snaps onto: k times 90, where k is the angle
// divided by 90 with a bias of a quarter away from zero, truncated toward
// zero; within the bands that is the nearest multiple. Angles outside the
// int32_t range come back unchanged.
inline float RoundToRightAngle(float degrees) {
  if (!angles::InInt32Range(degrees)) return degrees;
  const double quarters = degrees / 90.0 + (degrees >= 0.0f ? 0.25 : -0.25);
  return static_cast<float>(static_cast<int32_t>(quarters) * 90);
}

}  // namespace orbitrix
