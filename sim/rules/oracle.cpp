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

// The travel between any two int32_t positions is exact in a double, to
// which the anchor is added before the sum is rounded to single precision.
float Turned(float anchor, int32_t from, int32_t to) {
  return static_cast<float>(static_cast<double>(to) - from + anchor);
}

float Limited(float pitch) { return pitch < -90.0f ? -90.0f : pitch > 90.0f ? 90.0f : pitch; }

bool SameAngle(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace sim
