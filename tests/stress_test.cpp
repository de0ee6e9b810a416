// A million random events from a fixed seed, under the sanitizers, against
// hostile attribute answers and hostile camera values: each one held to the
// rules of sim/rules/events.h (its answer, the drag state, the camera's
// angles, "TempOrtho", the redraws), the opaque camera values and the heap.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "sim/host/desktop.h"
#include "sim/host/host.h"
#include "sim/rules/events.h"
#include "sim/session/effect.h"
#include "tests/heap.h"

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
    // Whole and near-whole degrees around right angles, where the snap
    // decides, as often as anywhere else.
    if (Pick(2) == 0)
      return static_cast<float>(static_cast<int>(Pick(17)) * 90 - 720) +
             std::uniform_real_distribution<float>(-25.0f, 25.0f)(rng);
    return std::uniform_real_distribution<float>(-800.0f, 800.0f)(rng);
  }

  void Attribute(sim::Attribute& a) {
    // Short values and long ones, up to what the reader takes and past it:
    // each meets every answer below.
    static const std::string values[] = {"0",
                                         "1",
                                         " 7",
                                         "-0",
                                         "12ab",
                                         "abc",
                                         "99999999999",
                                         "",
                                         "+1",
                                         std::string(64, '0') + "3",
                                         std::string(70, ' ') + "-12",
                                         std::string(200, '9'),
                                         std::string(sim::kLongestValue - 3, ' ') + "-4",
                                         std::string(sim::kLongestValue, '5')};
    a = {};
    a.value = values[Pick(std::size(values))];
    switch (Pick(10)) {
      case 0: a.sizeAnswer = 0; break;
      case 1: a.sizeAnswer = static_cast<int32_t>(0xFFFFFFFF); break;
      case 2: a.sizeAnswer = 0x7FFFFFFF; break;
      case 3:
        a.sizeAnswer = static_cast<int32_t>(1 + Pick(1100));
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

TEST(Stress, AMillionRandomEventsFollowTheRules) {
  std::printf("stress seed %u, %d events\n", kSeed, kEvents);
  const auto start = std::chrono::steady_clock::now();
  Stress s;
  sim::fake::Reset();
  ASSERT_TRUE(s.host.Start());
  s.host.log.reserve(64);
  // "TempOrtho" is there from the start: its first write would otherwise
  // grow the host's own map of attributes.
  for (ViewHandle v = 0; v < kViews; ++v) {
    s.host.view(v).attributes["TempOrtho"] = sim::Value("0");
    s.Shuffle(v);
  }
  DragAnchor anchor{};  // the module's, as the rules have moved it
  int snaps = 0, turns = 0;

  for (int i = 0; i < kEvents; ++i) {
    if (s.Pick(16) == 0) s.Shuffle(s.Pick(kViews));
    if (s.Pick(32) == 0)
      s.host.SetOption(static_cast<int>(s.Pick(4)), static_cast<uint8_t>(s.Pick(3)));
    const int32_t x = static_cast<int32_t>(s.Bits() % 4001) - 2000;
    const int32_t y =
        s.Pick(64) ? static_cast<int32_t>(s.Bits() % 2001) - 1000 : static_cast<int32_t>(s.Bits());
    const bool ctrl = s.Pick(2), cursorKnown = s.Pick(50) != 0;
    sim::SetCursor(x, y);
    sim::SetCtrl(ctrl);
    sim::fake::cursorFails = !cursorKnown;
    const bool ours = s.Pick(20) != 0;
    const uint32_t w0 = ours ? 0xAAAA : s.Bits() | 1, w1 = ours ? 0 : s.Bits();
    unsigned char* c = s.Pick(100) != 0 ? s.host.context() : nullptr;
    const ViewHandle v = s.Pick(kViews);
    const sim::View& view = s.host.view(v);
    const uint32_t buttons = s.Pick(4) ? 1 : s.Bits() & 7;
    sim::Scene scene = sim::SceneOf(s.host, v, s.host.context());
    scene.ours = ours;
    scene.context = c != nullptr;
    scene.x = x, scene.y = y;
    scene.ctrl = ctrl;
    scene.cursorKnown = cursorKnown;
    scene.anchor = anchor;
    const std::array<uint32_t, 8> before = view.camera;
    const std::string at = "event " + std::to_string(i);
    s.host.ClearLog();
    const size_t heap = HeapBytes();

    const uint32_t kind = s.Pick(10), pressed = s.Bits() & 0x101;
    int32_t answer;
    sim::Effect due;
    if (kind < 2) {
      answer = MCP_ToolMouseButton(0, 0, w0, w1, 0, 0, pressed, buttons, v, 0x7E, c);
      due = pressed & 0xFF ? sim::PressRule(scene, buttons) : sim::ReleaseRule(scene);
    } else if (kind < 9) {
      answer = MCP_ToolMouseMove(0, 0, w0, w1, 0, 0, buttons, v, 0, c);
      due = sim::MoveRule(scene, buttons);
    } else {
      answer = MCP_ToolSwitch(0, 0, w0, w1, 0, 0, c);
      due = sim::SwitchRule(scene);
    }

    ASSERT_EQ(sim::EffectDiffers(s.host, v, before, answer, s.host.dragState(), 0x7E, due), "")
        << at;
    s.host.ClearLog();
    ASSERT_EQ(HeapBytes(), heap) << "a heap block outlived " << at;
    anchor = due.anchor;
    snaps += kind < 2 && due.cameraWritten;
    turns += kind >= 2 && due.cameraWritten;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("stress: %d events in %.1f s, %d turns and %d snaps among them\n", kEvents, seconds,
              turns, snaps);
  EXPECT_GT(turns, kEvents / 10);
  EXPECT_GT(snaps, kEvents / 1000);
}

}  // namespace
