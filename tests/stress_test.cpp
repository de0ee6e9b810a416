// A million random events from a fixed seed, under the sanitizers, against
// hostile attribute answers and hostile camera values.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime's allocator interface.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#define HEAP_BYTES() __sanitizer_get_current_allocated_bytes()
#else
#define HEAP_BYTES() \
  size_t { 0 }
#endif

using namespace orbitrix;

namespace {

constexpr uint32_t kSeed = 20261208;
constexpr int kEvents = 1000000;
constexpr ViewHandle kViews = 3;

struct Stress {
  std::mt19937 rng{kSeed};
  sim::Host host{sim::LinkedPlugin()};

  uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }
  uint32_t Bits() { return static_cast<uint32_t>(rng()); }

  float Angle() {
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              1e30f,
                              -3e9f,
                              2147483648.0f,
                              90.0f,
                              -90.0f,
                              -0.0f,
                              1e-45f};
    if (Pick(8) == 0) return specials[Pick(10)];
    return std::uniform_real_distribution<float>(-800.0f, 800.0f)(rng);
  }

  void Attribute(sim::Attribute& a) {
    const char* values[] = {"0", "1", " 7", "-0", "12ab", "abc", "99999999999", "", "+1"};
    a = {};
    a.value = values[Pick(9)];
    switch (Pick(10)) {
      case 0: a.sizeAnswer = 0; break;
      case 1: a.sizeAnswer = static_cast<int32_t>(0xFFFFFFFF); break;
      case 2: a.sizeAnswer = 0x7FFFFFFF; break;  // more than the heap gives
      case 3:
        a.sizeAnswer = static_cast<int32_t>(1 + Pick(300));
        a.terminated = false;
        break;
      case 4: a.valueAnswer = 0; break;
      case 5: a.sizeAnswer = 1; break;
      default: break;
    }
  }

  void Shuffle(ViewHandle v) {
    sim::View& view = host.view(v);
    Attribute(view.attributes["UV"]);
    Attribute(view.attributes["Pers"]);
    if (Pick(3)) view.attributes["UV"] = sim::Value("0");
    if (Pick(3)) view.attributes["Pers"] = sim::Value("1");
    for (uint32_t& value : view.camera) value = Bits();
    view.setAngles(Angle(), Angle());
  }
};

TEST(Stress, AMillionRandomEventsKeepEveryInvariant) {
  std::printf("stress seed %u, %d events\n", kSeed, kEvents);
  const auto start = std::chrono::steady_clock::now();
  Stress s;
  sim::fake::Reset();
  ASSERT_TRUE(s.host.Start());
  s.host.log.reserve(64);
  for (ViewHandle v = 0; v < kViews; ++v) {
    s.host.view(v).attributes["TempOrtho"] = sim::Value("0");
    s.Shuffle(v);
  }
  float anchorPitch = 0;  // what the plug-in's anchor holds, as far as this test can tell

  for (int i = 0; i < kEvents; ++i) {
    if (s.Pick(16) == 0) s.Shuffle(s.Pick(kViews));
    if (s.Pick(32) == 0)
      s.host.SetOption(static_cast<int>(s.Pick(4)), static_cast<uint8_t>(s.Pick(3)));
    sim::SetCursor(
        static_cast<int32_t>(s.Bits() % 4001) - 2000,
        s.Pick(64) ? static_cast<int32_t>(s.Bits() % 2001) - 1000 : static_cast<int32_t>(s.Bits()));
    sim::SetCtrl(s.Pick(2));
    sim::fake::cursorFails = s.Pick(50) == 0;

    const bool foreign = s.Pick(20) == 0;
    const uint32_t w0 = foreign ? s.Bits() | 1 : 0xAAAA, w1 = foreign ? s.Bits() : 0;
    const ViewHandle view = s.Pick(kViews);
    const uint32_t buttons = s.Pick(4) ? 1 : s.Bits() & 7;
    const std::array<uint32_t, 8> before = s.host.view(view).camera;
    const int32_t stateBefore = s.host.dragState();
    void* c = s.host.context();
    s.host.ClearLog();
    const size_t heap = HEAP_BYTES();

    const uint32_t kind = s.Pick(10);
    int32_t result = 0;
    if (kind < 2) {
      result = MCP_ToolMouseButton(0, 0, w0, w1, 0, 0, s.Bits() & 0x101, buttons, view, 0, c);
    } else if (kind < 9) {
      result = MCP_ToolMouseMove(0, 0, w0, w1, 0, 0, buttons, view, 0, c);
    } else {
      result = MCP_ToolSwitch(0, 0, w0, w1, 0, 0, c) == 1 ? 0 : -1;
    }

    ASSERT_TRUE(result == 0 || result == 2 || result == 4) << "event " << i;
    const int32_t state = s.host.dragState();
    ASSERT_TRUE(state >= 0 && state <= 2) << "event " << i;
    if (foreign) {
      ASSERT_TRUE(s.host.log.empty()) << "event " << i;
      ASSERT_EQ(state, stateBefore);
    }
    if (stateBefore == 0 && state == 1) anchorPitch = std::bit_cast<float>(before[5]);
    for (const sim::Call& call : s.host.log) {
      if (call.slot != kSetViewCamera) continue;
      for (size_t k : {0u, 1u, 2u, 3u, 6u, 7u})
        ASSERT_EQ(call.args[k + 1], before[k]) << "event " << i;
      const float pitch = std::bit_cast<float>(call.args[6]);
      if (kind >= 2 && LimitPitch() && !std::isnan(anchorPitch)) {
        ASSERT_LE(std::fabs(pitch), 90.0f) << "event " << i;
      }
    }
    s.host.ClearLog();
    ASSERT_EQ(HEAP_BYTES(), heap) << "a heap block outlived event " << i;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("stress: %d events in %.1f s\n", kEvents, seconds);
}

}  // namespace
