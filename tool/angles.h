// The tool's arithmetic on angles: where a move turns the camera, and the
// snap of a release. Nothing here knows the host: this builds as any
// machine's own code too, so that every single-precision angle can be tried
// where the module itself cannot run.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>

#include "host/system.h"

namespace orbitrix {

struct Angles {
  float heading, pitch;
};

// Where the press took hold: the cursor, and the camera's angles then.
struct DragAnchor {
  Pixel cursor;
  Angles camera;
};

namespace angles {

// The rules name one rounding, IEEE's to nearest with denormals kept, and
// no floating-point exception: the host may call in with another rounding,
// flushing to zero, or exceptions unmasked (by its compiler's start-up, or
// to find its own bugs), and a camera whose angles are not numbers. So
// every floating-point instruction of the tool runs under the module's own
// MXCSR, swapped in for the caller's and the caller's swapped back, status
// flags and all, before any host call. The compiler knows nothing of MXCSR
// and could move the arithmetic across a swap: each value the arithmetic
// reads or makes passes through the swap's instruction, which holds it in
// place.
//
// That takes SSE2 arithmetic: x87 arithmetic would round under the host's
// x87 control word, and an x87 load of a signalling NaN raises an exception
// the host may have unmasked.
#if defined(__wasm__)
// WebAssembly has the one rounding, to nearest, keeps denormals and raises
// nothing.
inline uint32_t SwapInOwnMxcsr(float&) { return 0; }
inline uint32_t SwapInOwnMxcsr(float&, float&) { return 0; }
inline void SwapBackMxcsr(uint32_t, float&, float&) {}
inline void SwapBackMxcsr(uint32_t, int32_t&, bool&) {}
#elif (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#if !defined(__SSE2_MATH__) || __FLT_EVAL_METHOD__ != 0
#error \
    "the tool's angles need SSE2 arithmetic alone (-msse2 -mfpmath=sse): x87 arithmetic would round under the host's x87 control word and raise what it unmasked"
#endif
// To nearest, denormals kept, every exception masked; no status flag.
inline constexpr uint32_t kOwnMxcsr = 0x1F80;

// Answers the caller's MXCSR.
inline uint32_t SwapInOwnMxcsr(float& a) {
  uint32_t caller;
  asm volatile("stmxcsr %0\n\tldmxcsr %2" : "=m"(caller), "+x"(a) : "m"(kOwnMxcsr));
  return caller;
}

inline uint32_t SwapInOwnMxcsr(float& a, float& b) {
  uint32_t caller;
  asm volatile("stmxcsr %0\n\tldmxcsr %3" : "=m"(caller), "+x"(a), "+x"(b) : "m"(kOwnMxcsr));
  return caller;
}

inline void SwapBackMxcsr(uint32_t caller, float& a, float& b) {
  asm volatile("ldmxcsr %2" : "+x"(a), "+x"(b) : "m"(caller));
}

inline void SwapBackMxcsr(uint32_t caller, int32_t& a, bool& b) {
  asm volatile("ldmxcsr %2" : "+r"(a), "+r"(b) : "m"(caller));
}
#else
#error \
    "the tool's angles run under their own MXCSR, swapped in with GCC's x86 inline assembly: this compiler or processor has no such swap here"
#endif

// One angle of a move: the anchor plus the travel, rounded once to single
// precision. The travel between any two int32_t positions is exact in a
// double, and so is the sum but where the travel is far larger than the
// anchor. Rounded again to single, the double gives the one rounding unless
// it has landed on a float's halfway point that the exact sum is not on:
// there the part of the sum the double missed (Knuth's two-sum) says which
// way, and the double moves one step toward it. Under the module's own
// MXCSR.
inline float Turned(float anchor, int32_t from, int32_t to) {
  const double travel = static_cast<double>(to) - static_cast<double>(from);
  const double start = anchor;
  const double sum = travel + start;
  uint64_t bits = std::bit_cast<uint64_t>(sum);
  // A float's halfway point, in a double: a one in the bit below a float's
  // last, zeros below it.
  constexpr uint64_t kBelowFloat = (uint64_t{1} << 29) - 1, kHalfway = uint64_t{1} << 28;
  if ((bits & kBelowFloat) == kHalfway) {
    const double startPart = sum - travel;
    const double missed = (travel - (sum - startPart)) + (start - startPart);
    if (missed != 0) bits += (missed > 0) == (sum > 0) ? 1 : -1;
  }
  return static_cast<float>(std::bit_cast<double>(bits));
}

// Truncation toward zero is defined only inside the int32_t range.
inline bool InInt32Range(float a) { return a >= -2147483648.0f && a < 2147483648.0f; }

}  // namespace angles

// Where a move turns the camera, the press having taken hold at anchor and
// the cursor now at to: each angle the anchor's plus the cursor's travel,
// one degree a pixel, x for the heading and y for the pitch, the sum rounded
// to single precision; with limitPitch, a pitch below -90 then becomes -90
// and one above 90 becomes 90, and not a number passes.
inline Angles Turn(const DragAnchor& anchor, Pixel to, bool limitPitch) {
  Angles turned = anchor.camera;
  const uint32_t caller = angles::SwapInOwnMxcsr(turned.heading, turned.pitch);
  turned.pitch = angles::Turned(turned.pitch, anchor.cursor.y, to.y);
  if (limitPitch) {
    if (turned.pitch < -90.0f) turned.pitch = -90.0f;
    if (turned.pitch > 90.0f) turned.pitch = 90.0f;
  }
  turned.heading = angles::Turned(turned.heading, anchor.cursor.x, to.x);
  angles::SwapBackMxcsr(caller, turned.heading, turned.pitch);
  return turned;
}

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees, truncated toward zero, within 19 of a multiple of 90 below
// it or 20 above it. Not a number, infinities and angles beyond the int32_t
// range are never near.
inline bool IsNearRightAngle(float degrees) {
  const uint32_t caller = angles::SwapInOwnMxcsr(degrees);
  bool inRange = angles::InInt32Range(degrees);
  int32_t whole = inRange ? static_cast<int32_t>(degrees) : 0;
  angles::SwapBackMxcsr(caller, whole, inRange);
  const int32_t r = std::abs(whole % 90);
  return inRange && (r > 70 || r < 20);
}

// The multiple of 90 an angle snaps onto: k times 90, where k is the angle
// divided by 90 with a bias of a quarter away from zero, truncated toward
// zero; within the bands that is the nearest multiple. Angles outside the
// int32_t range come back unchanged.
inline float RoundToRightAngle(float degrees) {
  float snapped = degrees;
  const uint32_t caller = angles::SwapInOwnMxcsr(degrees, snapped);
  if (angles::InInt32Range(degrees)) {
    const double quarter = degrees >= 0.0f ? 0.25 : -0.25;
    // k times 90 lies within the int32_t range but beyond 2^24 is not always
    // a float: it rounds too.
    snapped = static_cast<float>(static_cast<int32_t>(degrees / 90.0 + quarter) * 90);
  }
  angles::SwapBackMxcsr(caller, snapped, degrees);
  return snapped;
}

}  // namespace orbitrix
