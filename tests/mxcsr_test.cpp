// A host's MXCSR: it may call in rounding otherwise than to nearest,
// flushing tiny results to zero or taking denormal inputs for zero. The move
// and the release give the rules' angles all the same, which round to
// nearest with denormals kept, and leave the host's MXCSR as they found it.
#include <xmmintrin.h>

#include <bit>
#include <limits>

#include "sim/rules/oracle.h"
#include "tests/tool_fixture.h"

using namespace orbitrix;

namespace {

constexpr uint32_t kNearest = 0x1F80;
// Control bits only: the six status flags are the caller's to ignore.
constexpr uint32_t kControl = 0xFFC0;

struct HostMxcsr {
  uint32_t value;
  const char* what;
};
constexpr HostMxcsr kHostMxcsr[] = {{0x7F80, "rounding toward zero"},
                                    {0x3F80, "rounding down"},
                                    {0x5F80, "rounding up"},
                                    {0x9F80, "flushing to zero"},
                                    {0x1FC0, "taking denormals for zero"},
                                    {0xFFC0, "all of these, toward zero"}};

uint32_t BitsOf(float a) { return std::bit_cast<uint32_t>(a); }

struct Mxcsr : ToolTest {
  // The event as a host with that MXCSR calls it; answers the control bits
  // it left there.
  template <typename Event>
  uint32_t Under(uint32_t mxcsr, Event event) {
    _mm_setcsr(mxcsr);
    event();
    const uint32_t left = _mm_getcsr() & kControl;
    _mm_setcsr(kNearest);
    return left;
  }
};

// 0.1 + 1 rounds up to nearest and 0.3 + 1 down, so that rounding toward
// zero, down and up each change one of them; a denormal anchor, moved by
// nothing, is flushed or taken for zero.
TEST_F(Mxcsr, AMoveRoundsToNearestWithDenormalsKept) {
  host.SetOption(kLimitPitch, 0);
  for (const HostMxcsr& m : kHostMxcsr) {
    for (float anchor : {0.1f, 0.3f, std::numeric_limits<float>::denorm_min()}) {
      host.setDragState(0);
      PressAt(0, 0, anchor, anchor);
      sim::SetCursor(1, 0);
      EXPECT_EQ(Under(m.value, [&] { host.Move(1); }), m.value & kControl) << m.what;
      EXPECT_EQ(BitsOf(view.heading()), BitsOf(sim::Turned(anchor, 0, 1)))
          << m.what << ", anchor " << anchor;
      EXPECT_EQ(BitsOf(view.pitch()), BitsOf(anchor)) << m.what << ", anchor " << anchor;
    }
  }
}

// k times 90 beyond 2^24 is not always a float: 999999990 rounds up to
// nearest (1e9), 1000000080 down (1000000064).
TEST_F(Mxcsr, ASnapRoundsToNearest) {
  host.SetOption(kSnapOnlyWithCtrl, 0);
  for (const HostMxcsr& m : kHostMxcsr) {
    for (float heading : {1e9f, 1000000064.0f, -1e9f}) {
      view.setAngles(heading, 0.5f);
      EXPECT_EQ(Under(m.value, [&] { host.Release(1); }), m.value & kControl) << m.what;
      EXPECT_EQ(BitsOf(view.heading()), BitsOf(sim::SnapTarget(heading)))
          << m.what << ", heading " << heading;
      EXPECT_EQ(BitsOf(view.pitch()), 0u) << m.what;
    }
  }
}

}  // namespace
