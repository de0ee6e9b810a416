// A host's floating-point state. It may call in rounding otherwise than to
// nearest, flushing tiny results to zero or taking denormal inputs for zero:
// the move and the release give the rules' angles all the same, which round
// to nearest with denormals kept. It may call in with exceptions unmasked, on
// cameras whose angles are not numbers, infinite, denormal or beyond the
// int32_t range: no event raises one. And each event leaves MXCSR as it found
// it, status flags included, and the x87 control word too.
#include <setjmp.h>
#include <signal.h>
#include <xmmintrin.h>

#include <array>
#include <bit>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "host/system.h"
#include "sim/rules/oracle.h"
#include "tests/tool_fixture.h"

using namespace orbitrix;

namespace {

constexpr uint32_t kNearest = 0x1F80;
// The six status flags, which the processor sets and never clears.
constexpr uint32_t kFlags = 0x3F;

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

// A register's bits as they are read in a manual.
std::string Hex(uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", bits);
  return text;
}

struct Mxcsr : ToolTest {
  // The event as a host with that MXCSR calls it; answers the MXCSR it left.
  template <typename Event>
  std::string Under(uint32_t mxcsr, Event event) {
    _mm_setcsr(mxcsr);
    event();
    const uint32_t left = _mm_getcsr();
    _mm_setcsr(kNearest);
    return Hex(left);
  }
};

// 0.1 + 1 rounds up to nearest and 0.3 + 1 down, so that rounding toward
// zero, down and up each change one of them; a denormal anchor, moved by
// nothing, is flushed or taken for zero. The host's status flags come back as
// it left them, none (the move's sums are inexact) or all.
TEST_F(Mxcsr, AMoveRoundsToNearestWithDenormalsKept) {
  host.SetOption(kLimitPitch, 0);
  for (const HostMxcsr& m : kHostMxcsr) {
    for (uint32_t flags : {0u, kFlags}) {
      for (float anchor : {0.1f, 0.3f, std::numeric_limits<float>::denorm_min()}) {
        host.setDragState(0);
        PressAt(0, 0, anchor, anchor);
        sim::SetCursor(1, 0);
        EXPECT_EQ(Under(m.value | flags, [&] { host.Move(1); }), Hex(m.value | flags)) << m.what;
        EXPECT_EQ(BitsOf(view.heading()), BitsOf(sim::Turned(anchor, 0, 1)))
            << m.what << ", anchor " << anchor;
        EXPECT_EQ(BitsOf(view.pitch()), BitsOf(anchor)) << m.what << ", anchor " << anchor;
      }
    }
  }
}

// k times 90 beyond 2^24 is not always a float: 999999990 rounds up to
// nearest (1e9), 1000000080 down (1000000064).
TEST_F(Mxcsr, ASnapRoundsToNearest) {
  host.SetOption(kSnapOnlyWithCtrl, 0);
  for (const HostMxcsr& m : kHostMxcsr) {
    for (uint32_t flags : {0u, kFlags}) {
      for (float heading : {1e9f, 1000000064.0f, -1e9f}) {
        view.setAngles(heading, 0.5f);
        EXPECT_EQ(Under(m.value | flags, [&] { host.Release(1); }), Hex(m.value | flags)) << m.what;
        EXPECT_EQ(BitsOf(view.heading()), BitsOf(sim::SnapTarget(heading)))
            << m.what << ", heading " << heading;
        EXPECT_EQ(BitsOf(view.pitch()), 0u) << m.what;
      }
    }
  }
}

// --- Exceptions unmasked ------------------------------------------------------

// MXCSR and the x87 control word as a host sets them. The exceptions' mask
// bits lie in the same order in both: invalid, denormal, zero-divide,
// overflow, underflow, precision; MXCSR's from bit 7, the x87's from bit 0.
struct Environment {
  uint32_t mxcsr;
  uint16_t x87;
  const char* what;
};
constexpr Environment kDefaults{kNearest, 0x037F, "every exception masked"};
constexpr Environment kUnmasked[] = {{0x1900, 0x1332, "invalid, zero-divide and overflow unmasked"},
                                     {0x1F00, 0x037E, "invalid unmasked"},
                                     {0x1E80, 0x037D, "denormal unmasked"},
                                     {0x1D80, 0x037B, "zero-divide unmasked"},
                                     {0x1B80, 0x0377, "overflow unmasked"},
                                     {0x1780, 0x036F, "underflow unmasked"},
                                     {0x0F80, 0x035F, "precision unmasked"},
                                     {0x0000, 0x0340, "every exception unmasked"}};

// Natively an unmasked exception is SIGFPE: the handler jumps back to the
// event's caller, which reports it.
sigjmp_buf gRaisedAt;
void* volatile gFaultingInstruction;

void OnFloatingPointException(int, siginfo_t* info, void*) {
  gFaultingInstruction = info->si_addr;
  siglongjmp(gRaisedAt, 1);
}

uint16_t X87ControlWord() {
  uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

// What one event did.
struct Outcome {
  int32_t answer;
  std::array<uint32_t, 8> camera;
  int32_t dragState;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
  char text[96];
  std::snprintf(text, sizeof text, "{answer %d, heading 0x%08X, pitch 0x%08X, drag state %d}",
                static_cast<int>(o.answer), o.camera[4], o.camera[5],
                static_cast<int>(o.dragState));
  *out << text;
}

struct Camera {
  uint32_t heading, pitch;
  const char* what;
};
constexpr Camera kCameras[] = {{0x7FC00000, 0xFFC00001, "quiet NaNs"},
                               {0x7FA00000, 0xFF800001, "signalling NaNs"},
                               {0x7F800000, 0xFF800000, "infinities"},
                               {0x00000001, 0x807FFFFF, "denormals"},
                               {0x4F32D05E, 0xCF32D05E, "+-3e9, beyond the int32_t range"},
                               {0x4F000000, 0xCF000001, "2^31 and just below -2^31"},
                               {0x7F7FFFFF, 0xFF7FFFFF, "the largest floats"},
                               {0x80000000, 0x80000000, "-0"},
                               {0x4E6E6B28, 0x3F000000, "1e9 and 0.5, which snap"},
                               {0x42B30000, 0xC2B30000, "+-89.5, which snap"}};

struct Drag {
  Pixel press, move, moveAgain;
  const char* what;
};
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr Drag kDrags[] = {{{0, 0}, {1, -1}, {0, 0}, "by a pixel and back"},
                           {{kMin, kMax}, {kMax, kMin}, {kMin + 1, kMax - 1}, "across all int32_t"},
                           {{0, 0}, {33554437, -33554437}, {kMax, kMin}, "beyond 2^25"}};

struct Unmasked : ToolTest {
  // The event as a host with env calls it. Answers whether it raised an
  // exception, and what it did; a MXCSR or x87 control word not given back
  // whole fails the test.
  template <typename Event>
  bool Raises(const Environment& env, Event event, const std::string& what, Outcome* outcome) {
    struct sigaction handler = {}, before = {};
    handler.sa_sigaction = OnFloatingPointException;
    handler.sa_flags = SA_SIGINFO;
    sigaction(SIGFPE, &handler, &before);
    bool raised = false;
    // Set between the jump's two ends: kept in memory.
    volatile uint32_t mxcsr = 0;
    volatile uint16_t x87 = 0, x87Set = 0;
    if (sigsetjmp(gRaisedAt, 1) == 0) {
      asm volatile("fnclex\n\tfldcw %0" : : "m"(env.x87));
      x87Set = X87ControlWord();  // its reserved bit 6 reads as 1
      _mm_setcsr(env.mxcsr);
      outcome->answer = event();
      // An x87 exception is raised at the next x87 instruction: here.
      asm volatile("fwait");
      mxcsr = _mm_getcsr();
      x87 = X87ControlWord();
    } else {
      raised = true;
    }
    asm volatile("fnclex\n\tfldcw %0" : : "m"(kDefaults.x87));
    _mm_setcsr(kDefaults.mxcsr);
    sigaction(SIGFPE, &before, nullptr);
    if (raised) {
      ADD_FAILURE() << what << ", " << env.what << ": raised a floating-point exception at "
                    << gFaultingInstruction;
      return true;
    }
    EXPECT_EQ(Hex(mxcsr), Hex(env.mxcsr)) << what << ", " << env.what;
    EXPECT_EQ(Hex(x87), Hex(x87Set)) << what << ", " << env.what;
    outcome->camera = view.camera;
    outcome->dragState = host.dragState();
    return false;
  }

  // A press, two moves and a release on a camera, as a host with env calls
  // them; what each did, or none past one that raised.
  std::vector<Outcome> Sequence(const Environment& env, const Camera& camera, const Drag& drag) {
    const std::string what = std::string(camera.what) + ", " + drag.what;
    view.camera[4] = camera.heading;
    view.camera[5] = camera.pitch;
    host.setDragState(0);
    std::vector<Outcome> outcomes;
    Outcome o;
    sim::SetCursor(drag.press.x, drag.press.y);
    if (Raises(
            env, [&] { return host.Press(1); }, "a press on " + what, &o))
      return outcomes;
    outcomes.push_back(o);
    sim::SetCursor(drag.move.x, drag.move.y);
    if (Raises(
            env, [&] { return host.Move(1); }, "a move on " + what, &o))
      return outcomes;
    outcomes.push_back(o);
    sim::SetCursor(drag.moveAgain.x, drag.moveAgain.y);
    if (Raises(
            env, [&] { return host.Move(1); }, "a second move on " + what, &o))
      return outcomes;
    outcomes.push_back(o);
    // The release from the camera's own angles, so that those that snap do.
    view.camera[4] = camera.heading;
    view.camera[5] = camera.pitch;
    if (Raises(
            env, [&] { return host.Release(1); }, "a release on " + what, &o))
      return outcomes;
    outcomes.push_back(o);
    return outcomes;
  }
};

// Every event under every such host gives what it gives with every
// exception masked, the pitch limited and not.
TEST_F(Unmasked, NoEventRaisesAnExceptionAndEachGivesWhatItGivesMasked) {
  host.SetOption(kSnapOnlyWithCtrl, 0);
  for (uint8_t limit : {1, 0}) {
    host.SetOption(kLimitPitch, limit);
    for (const Camera& camera : kCameras) {
      for (const Drag& drag : kDrags) {
        const std::vector<Outcome> masked = Sequence(kDefaults, camera, drag);
        ASSERT_EQ(masked.size(), 4u);
        for (const Environment& env : kUnmasked) {
          EXPECT_EQ(Sequence(env, camera, drag), masked)
              << env.what << ", " << camera.what << ", " << drag.what << ", limit " << +limit;
        }
      }
    }
  }
}

}  // namespace
