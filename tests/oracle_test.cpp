// The rules the validator, a session's expectations and the picture hold the
// module to are written apart from the tool's own code; here the two must
// agree, edge for edge.
#include "sim/rules/oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tool/angles.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(Oracle, NearMeansWholeDegreesTruncatedTowardZero) {
  for (float a : {0.0f, -0.0f, 19.999998f, -19.999998f, 71.0f, -71.0f, 109.99999f, 161.0f,
                  2147483520.0f, -2147483520.0f})
    EXPECT_TRUE(sim::NearRightAngle(a)) << a;
  for (float a : {20.0f, -20.0f, 70.0f, 70.99999f, -70.5f, 110.0f, 160.99999f, -2147483648.0f,
                  2147483648.0f, kInf, -kInf, kNan})
    EXPECT_FALSE(sim::NearRightAngle(a)) << a;
}

TEST(Oracle, AgreesWithTheToolOnEveryTenthOfADegreeAndTheEdges) {
  for (int tenths = -8000; tenths <= 8000; ++tenths) {
    const float a = static_cast<float>(tenths) / 10.0f;
    ASSERT_EQ(sim::NearRightAngle(a), orbitrix::IsNearRightAngle(a)) << a;
    if (sim::NearRightAngle(a)) {
      ASSERT_EQ(sim::SnapTarget(a), orbitrix::RoundToRightAngle(a)) << a;
    }
  }
  for (float a : {19.9f, 20.0f, -19.9f, -20.0f, 70.5f, 71.0f, -70.9f, -71.0f, 725.0f, 380.0f,
                  2147483520.0f, -2147483520.0f, 16777217.0f, 1e9f, -1e9f}) {
    EXPECT_EQ(sim::NearRightAngle(a), orbitrix::IsNearRightAngle(a)) << a;
    if (sim::NearRightAngle(a)) {
      EXPECT_EQ(sim::SnapTarget(a), orbitrix::RoundToRightAngle(a)) << a;
    }
  }
}

// The bands in the picture must be exactly where the release snaps from.
TEST(Oracle, SnapBandsHoldExactlyTheNearAngles) {
  auto inBand = [](float a) {
    for (int32_t m = -450; m <= 450; m += 90) {
      const sim::Band b = sim::SnapBand(m);
      const bool above = b.lowIncluded ? a >= b.low : a > b.low;
      const bool below = b.highIncluded ? a <= b.high : a < b.high;
      if (above && below) return true;
    }
    return false;
  };
  for (int tenths = -4000; tenths <= 4000; ++tenths) {
    const float a = static_cast<float>(tenths) / 10.0f;
    ASSERT_EQ(inBand(a), sim::NearRightAngle(a)) << a;
  }
  for (float a : {-19.999f, 19.999f, 70.999f, -70.999f, 110.0f, -110.0f, 0.0f, -0.0f})
    EXPECT_EQ(inBand(a), sim::NearRightAngle(a)) << a;
}

TEST(Oracle, TurnedRoundsOnceAndTheLimitPassesNotANumber) {
  EXPECT_EQ(sim::Turned(30.0f, 100, 150), 80.0f);
  EXPECT_EQ(sim::Turned(10.0f, 100, 80), -10.0f);
  // 2^24 + 1 is no float: the sum rounds to even once, not twice.
  EXPECT_EQ(sim::Turned(16777216.0f, 0, 1), 16777216.0f);
  EXPECT_EQ(sim::Turned(0.1f, INT32_MIN, INT32_MAX), 4294967295.1f);
  // Just past the tie 2^25 + 2, either way: the rounding sees the anchor.
  EXPECT_EQ(sim::Turned(0x1p-30f, 0, 33554434), 33554436.0f);
  EXPECT_EQ(sim::Turned(-0x1p-30f, 0, 33554434), 33554432.0f);
  EXPECT_EQ(sim::Turned(0.0f, 0, 33554434), 33554432.0f);  // the tie itself: to even
  EXPECT_EQ(sim::Turned(0x1p-149f, INT32_MAX, INT32_MIN), -4294967295.0f);
  EXPECT_EQ(sim::Limited(105.0f), 90.0f);
  EXPECT_EQ(sim::Limited(-90.0f), -90.0f);
  EXPECT_EQ(sim::Limited(-kInf), -90.0f);
  EXPECT_TRUE(std::isnan(sim::Limited(kNan)));
  EXPECT_TRUE(sim::SameAngle(kNan, -kNan));
  EXPECT_FALSE(sim::SameAngle(0.0f, kNan));
}

}  // namespace
