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

#if defined(__i386__) || defined(__x86_64__)
// The rules name one rounding, IEEE's to nearest with denormals kept, but a
// host may call in with another in MXCSR: rounding toward zero, flushing
// tiny results to zero or taking denormal inputs for zero, set by itself or
// left by a driver. What rounds runs between these two under ours; its
// operands and its results pass through the instructions, so that the
// compiler can move none of that arithmetic outside them. The caller's
// MXCSR, status flags and all, is back before the function returns.
inline constexpr uint32_t kNearest = 0x1F80;  // to nearest, all exceptions masked

inline uint32_t RoundToNearest(float& a, float& b) {
  uint32_t caller;
  asm volatile("stmxcsr %0\n\tldmxcsr %3" : "=m"(caller), "+x"(a), "+x"(b) : "m"(kNearest));
  return caller;
}

inline void GiveBack(uint32_t caller, float& a, float& b) {
  asm volatile("ldmxcsr %2" : "+x"(a), "+x"(b) : "m"(caller));
}
#else
// WebAssembly has the one rounding, to nearest, and keeps denormals.
inline uint32_t RoundToNearest(float&, float&) { return 0; }
inline void GiveBack(uint32_t, float&, float&) {}
#endif

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
  const uint32_t caller = angles::RoundToNearest(anchor.heading, anchor.pitch);
  Angles turned{angles::Turned(anchor.heading, from.x, to.x),
                angles::Turned(anchor.pitch, from.y, to.y)};
  angles::GiveBack(caller, turned.heading, turned.pitch);
  if (limitPitch) {
    if (turned.pitch < -90.0f) turned.pitch = -90.0f;
    if (turned.pitch > 90.0f) turned.pitch = 90.0f;
  }
  return turned;
}

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees within 19 of a multiple of 90 below it or 20 above it. Not a
// number, infinities and angles beyond the int32_t range are never near.
// A truncation and comparisons: no rounding to guard.
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
  float quarter = degrees >= 0.0f ? 0.25f : -0.25f;
  const uint32_t caller = angles::RoundToNearest(degrees, quarter);
  // k times 90 lies within the int32_t range but beyond 2^24 is not always
  // a float: it rounds too.
  float snapped = static_cast<float>(static_cast<int32_t>(degrees / 90.0 + quarter) * 90);
  angles::GiveBack(caller, snapped, quarter);
  return snapped;
}

}  // namespace orbitrix
