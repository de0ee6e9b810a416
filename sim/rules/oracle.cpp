#include "sim/rules/oracle.h"

#include <cmath>
#include <cstdlib>

namespace sim {

namespace {
bool InInt32Range(float a) { return a >= -2147483648.0f && a < 2147483648.0f; }
}  // namespace

bool NearRightAngle(float a) {
  if (!InInt32Range(a)) return false;
  const int32_t r = std::abs(static_cast<int32_t>(a) % 90);
  return r < 20 || r > 70;
}

// k is an integer, so a k of 0 snaps onto +0 from either side of zero; the
// quotient is within 2^25 and k times 90 within the int32_t range.
float SnapTarget(float a) {
  if (!InInt32Range(a)) return a;
  const int32_t k = static_cast<int32_t>(a / 90.0 + (a >= 0 ? 0.25 : -0.25));
  return static_cast<float>(k * 90);
}

Band SnapBand(int32_t multiple) {
  const double m = multiple;
  if (multiple > 0) return {m - 19, m + 20, true, false};
  if (multiple < 0) return {m - 20, m + 19, false, true};
  return {-20, 20, false, false};
}

// The float nearest the exact sum of the anchor and the travel, a tie going
// to the one whose last bit is even.
float Turned(float anchor, int32_t from, int32_t to) {
  const double travel = static_cast<double>(to) - from;  // exact: within 2^33
  if (!std::isfinite(anchor)) return static_cast<float>(anchor + travel);
  // The exact sum is hi + lo: hi the double nearest it, lo what hi missed,
  // found by Knuth's two-sum (exact for any two doubles that do not
  // overflow).
  const double hi = anchor + travel;
  const double back = hi - travel;
  const double lo = (anchor - back) + (travel - (hi - back));
  const float nearest = static_cast<float>(hi);  // the float nearest hi
  if (lo == 0 || hi == nearest) return nearest;
  // Where hi lies halfway between two floats, nearest and another, the exact
  // sum lies on lo's side of halfway: nearer the float on that side.
  // Elsewhere no float's halfway point (a double) lies between hi and the
  // exact sum, so the float nearest hi is the float nearest the sum. The
  // other float, if any, is nearest mirrored in hi (exact in a double).
  const double mirror = 2 * hi - nearest;
  const float other = static_cast<float>(mirror);
  if (other == nearest || other != mirror) return nearest;
  return (lo > 0) == (other > nearest) ? other : nearest;
}

float Limited(float pitch) { return pitch < -90.0f ? -90.0f : pitch > 90.0f ? 90.0f : pitch; }

bool SameAngle(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace sim
