// A real drag through the real loader: the cursor moved with SetCursorPos and
// Ctrl set with SetKeyboardState, read back by the module through Windows.
#include <windows.h>

#include <cstring>

#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"
#include "tests/windows/loaded.h"

namespace {

// First in this program, on the module as the loader gave it: a host that
// binds every slot but SetViewCamera's (111) gets presses, and moves and
// releases that decline without calling anything.
TEST(FreshModule, AHostThatNeverBindsSetViewCameraGetsNoMoveOrRelease) {
  sim::Host host{LoadedPlugin()};
  for (uint32_t slot = 0; slot < orbitrix::kServiceSlots; ++slot)
    if (slot != orbitrix::kSetViewCamera)
      host.plugin().InitializePluginProc(slot, sim::ServiceForSlot(slot));
  ASSERT_EQ(host.plugin().PluginEntry(0, host.plugin().module, 0x50600), 1);
  ASSERT_EQ(host.plugin().GetGUIInfo(0, 0, 0xAAAA, 0), 1);
  host.view(7).plain();
  sim::SetCursor(100, 100);
  ASSERT_EQ(host.Press(7), 0);
  EXPECT_EQ(host.dragState(), 1);
  host.ClearLog();
  sim::SetCursor(110, 90);
  EXPECT_EQ(host.Move(7), 0);
  EXPECT_EQ(host.Release(7), 0);
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(host.dragState(), 1);
}

struct RealDrag : ::testing::Test {
  sim::Host host{LoadedPlugin()};
  sim::View& view = host.view(7);

  void SetUp() override {
    ASSERT_TRUE(host.Start());
    view.plain();
    sim::SetCtrl(false);
    POINT p;
    sim::SetCursor(123, 45);
    ASSERT_TRUE(GetCursorPos(&p));
    ASSERT_EQ(p.x, 123) << "the cursor must be settable here";
  }

  void MoveTo(int32_t x, int32_t y) {
    sim::SetCursor(x, y);
    ASSERT_EQ(host.Move(7), 0);
  }
};

TEST_F(RealDrag, TurnsSnapsWithCtrlAndClearsOnTheNextPress) {
  host.SetOption(orbitrix::kSnapOnlyWithCtrl, 1);
  view.setAngles(30, 10);
  sim::SetCursor(100, 100);
  ASSERT_EQ(host.Press(7), 0);
  EXPECT_EQ(host.dragState(), 1);
  MoveTo(150, 80);
  EXPECT_EQ(view.heading(), 80.0f);
  EXPECT_EQ(view.pitch(), -10.0f);
  MoveTo(162, 95);  // heading 92, pitch 5
  EXPECT_EQ(host.dragState(), 2);

  // Without Ctrl the Ctrl-only mode does not snap.
  ASSERT_EQ(host.Release(7), 0);
  EXPECT_EQ(view.heading(), 92.0f);
  EXPECT_EQ(view.text("TempOrtho"), "0");

  sim::SetCtrl(true);
  ASSERT_EQ(host.Release(7), 0);
  EXPECT_EQ(view.heading(), 90.0f);
  EXPECT_EQ(view.pitch(), 0.0f);
  EXPECT_EQ(view.text("TempOrtho"), "1");
  sim::SetCtrl(false);

  ASSERT_EQ(host.Press(7), 0);
  EXPECT_EQ(view.text("TempOrtho"), "0");
}

TEST_F(RealDrag, PitchLimitAndSnapWithoutCtrlMode) {
  host.SetOption(orbitrix::kSnapOnlyWithCtrl, 0);
  view.setAngles(0, 80);
  sim::SetCursor(200, 200);
  ASSERT_EQ(host.Press(7), 0);
  MoveTo(205, 225);
  EXPECT_EQ(view.pitch(), 90.0f);
  ASSERT_EQ(host.Release(7), 0);
  EXPECT_EQ(view.heading(), 0.0f);
  EXPECT_EQ(view.pitch(), 90.0f);
  EXPECT_EQ(host.dragState(), 0);
}

// The drag state as the module writes it into the host's record: the four
// bytes from byte 18, little-endian, and no other byte.
TEST_F(RealDrag, WritesTheDragStateAsFourBytesAtByte18) {
  unsigned char* c = host.context();
  std::memset(c, 0xA5, sim::kContextBytes);
  const auto state = [c] { return c[18] | c[19] << 8 | c[20] << 16 | uint32_t{c[21]} << 24; };
  ASSERT_EQ(host.Release(7), 0);
  EXPECT_EQ(state(), 0u);
  ASSERT_EQ(host.Press(7), 0);
  EXPECT_EQ(state(), 1u);
  MoveTo(130, 50);
  EXPECT_EQ(state(), 2u);
  c[18] = 0;
  c[19] = 1;  // 256: a drag under way, so a press changes nothing
  ASSERT_EQ(host.Press(7), 0);
  EXPECT_EQ(state(), 256u);
  for (size_t i = 0; i < sim::kContextBytes; ++i) {
    if (i >= 18 && i <= 21) continue;
    EXPECT_EQ(c[i], 0xA5) << "byte " << i;
  }
}

}  // namespace
