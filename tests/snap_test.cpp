// Snapping on release, and a whole drag from press to the next press.
#include <cmath>
#include <limits>

#include "host/module.h"
#include "tests/tool_fixture.h"
#include "tool/angles.h"

using namespace orbitrix;

namespace {

using Calls = std::vector<std::string>;

TEST(NearBand, EdgesFollowTruncationTowardZero) {
  for (float a : {0.0f, 19.9f, 71.0f, 90.0f, 109.9f, 161.0f, 725.0f, -19.9f, -71.0f, -0.0f, -109.9f,
                  2147483520.0f, -2147483520.0f})
    EXPECT_TRUE(IsNearRightAngle(a)) << a;
  for (float a :
       {20.0f, 70.5f, 70.9f, 45.0f, 110.0f, 380.0f, -20.0f, -70.9f, -110.0f, -2147483648.0f})
    EXPECT_FALSE(IsNearRightAngle(a)) << a;
}

TEST(NearBand, NonNumbersAndOutOfRangeAnglesAreNeverNear) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float a : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::signaling_NaN(), inf, -inf, 2147483648.0f,
                  -2147483904.0f, 1e30f, -1e30f, std::numeric_limits<float>::max()})
    EXPECT_FALSE(IsNearRightAngle(a)) << a;
}

TEST(Rounding, GoesToTheNearestRightAngleInsideTheBands) {
  const std::pair<float, float> cases[] = {{19.9f, 0},
                                           {71.0f, 90},
                                           {-71.5f, -90},
                                           {-19.5f, 0},
                                           {725.0f, 720},
                                           {89.5f, 90},
                                           {180.2f, 180},
                                           {-0.0f, 0},
                                           {359.0f, 360},
                                           {-269.0f, -270},
                                           {2147483520.0f, 2147483520.0f}};
  for (auto [a, expected] : cases) {
    EXPECT_EQ(RoundToRightAngle(a), expected) << a;
    EXPECT_EQ(RoundToRightAngle(RoundToRightAngle(a)), expected) << "twice " << a;
  }
}

// As a user who wants snapping without Ctrl: all options on but the Ctrl-only one.
struct Release : ToolTest {
  void SetUp() override {
    ToolTest::SetUp();
    host.SetOption(kSnapOnlyWithCtrl, 0);
  }

  // A release on a camera at the given angles, with the log cleared first.
  int32_t ReleaseAt(float heading, float pitch, uint32_t target = 0x7E) {
    view.setAngles(heading, pitch);
    host.ClearLog();
    return host.Release(1, 1, target);
  }
};

const std::string kRead[] = {
    "GetViewAttribute(1,\"UV\",null,0)", "GetViewAttribute(1,\"UV\",buffer,2)",
    "GetViewAttribute(1,\"Pers\",null,0)", "GetViewAttribute(1,\"Pers\",buffer,2)"};

TEST_F(Release, SnapsAndGoesParallel) {
  view.camera = {1, 2, 3, 4, 0, 0, 7, 8};
  host.setDragState(2);
  EXPECT_EQ(ReleaseAt(19.9f, 0.0f, 0x1234), 0);
  EXPECT_EQ(host.calls(),
            (Calls{kRead[0], kRead[1], kRead[2], kRead[3], "GetViewCamera(1)",
                   "SetViewCamera(1,0x1,0x2,0x3,0x4,0,0,0x7,0x8)",
                   "SetViewAttribute(1,\"TempOrtho\",\"1\",1)", "RefreshViews(0x1234,-1)"}));
  EXPECT_EQ(host.dragState(), 0);
}

TEST_F(Release, SnapsWithoutParallelWhenThatOptionIsOff) {
  for (uint8_t off : {0, 2}) {
    host.SetOption(kTemporaryParallel, off);
    EXPECT_EQ(ReleaseAt(180.2f, 89.5f), 0);
    EXPECT_EQ(view.heading(), 180.0f);
    EXPECT_EQ(view.pitch(), 90.0f);
    EXPECT_EQ(view.text("TempOrtho"), "0");
    EXPECT_EQ(CallsTo(kRefreshViews), 1);
  }
}

TEST_F(Release, WritesNothingUnlessBothAnglesAreNear) {
  for (auto [h, p] : {std::pair<float, float>{20.0f, 0.0f},
                      {0.0f, 20.0f},
                      {70.5f, 90.0f},
                      {380.0f, 0.0f},
                      {0.0f, std::numeric_limits<float>::quiet_NaN()}}) {
    view.attributes["TempOrtho"].value = "0";
    EXPECT_EQ(ReleaseAt(h, p), 0);
    EXPECT_EQ(host.calls(), (Calls{kRead[0], kRead[1], kRead[2], kRead[3], "GetViewCamera(1)"}))
        << h << " " << p;
    EXPECT_EQ(view.heading(), h);
  }
}

TEST_F(Release, CtrlOnlyModeNeedsCtrlHeld) {
  host.SetOption(kSnapOnlyWithCtrl, 1);
  EXPECT_EQ(ReleaseAt(5.0f, 5.0f), 0);
  EXPECT_EQ(host.calls(),
            (Calls{kRead[0], kRead[1], kRead[2], kRead[3],
                   "SetViewAttribute(1,\"TempOrtho\",\"0\",1)", "RefreshViews(0x7E,-1)"}));
  sim::SetCtrl(true);
  ReleaseAt(5.0f, 5.0f);
  EXPECT_EQ(view.heading(), 0.0f);
  EXPECT_EQ(view.text("TempOrtho"), "1");

  sim::SetCtrl(false);
  host.SetOption(kSnapOnlyWithCtrl, 2);  // only 1 asks for Ctrl
  ReleaseAt(5.0f, 5.0f);
  EXPECT_EQ(view.heading(), 0.0f);
}

TEST_F(Release, SnappingOffOnlyEndsTheDragAndRedraws) {
  for (bool ctrl : {false, true}) {
    for (uint8_t ctrlOnly : {0, 1}) {
      sim::SetCtrl(ctrl);
      host.SetOption(kSnapToRightAngles, 0);
      host.SetOption(kSnapOnlyWithCtrl, ctrlOnly);
      ReleaseAt(5.0f, 5.0f);
      EXPECT_EQ(view.heading(), 5.0f);
      EXPECT_EQ(CallsTo(kSetViewCamera), 0);
      EXPECT_EQ(CallsTo(kRefreshViews), 1);
      EXPECT_EQ(view.text("TempOrtho"), "0");
    }
  }
  host.SetOption(kSnapToRightAngles, 2);  // any value but 0 is on
  ReleaseAt(5.0f, 5.0f);
  EXPECT_EQ(view.heading(), 0.0f);
}

TEST_F(Release, NonPerspectiveViewsOnlyEndTheDrag) {
  view.attributes["Pers"].value = "0";
  host.setDragState(2);
  ReleaseAt(5.0f, 5.0f);
  EXPECT_EQ(host.calls(), (Calls{kRead[0], kRead[1], kRead[2], kRead[3]}));
  EXPECT_EQ(host.dragState(), 0);
}

TEST_F(Release, AnyButtonEndsTheDragAndNoPressIsNeeded) {
  host.setDragState(1);
  host.ClearLog();
  EXPECT_EQ(host.Release(1, 2), 0);
  EXPECT_EQ(host.dragState(), 0);
  ReleaseAt(-71.5f, -19.5f);
  EXPECT_EQ(view.heading(), -90.0f);
  EXPECT_EQ(view.pitch(), 0.0f);
}

TEST_F(Release, ASecondSnapChangesNothing) {
  ReleaseAt(359.0f, 71.0f);
  const auto once = view.camera;
  host.Release(1);
  EXPECT_EQ(view.camera, once);
}

TEST_F(Release, AWholeDragFromPressToTheNextPress) {
  PressAt(200, 300, 10, 0);
  MoveTo(250, 310);  // heading 60, pitch 10: not near
  MoveTo(282, 305);  // heading 92, pitch 5
  EXPECT_EQ(view.heading(), 92.0f);
  EXPECT_EQ(host.dragState(), 2);
  host.ClearLog();
  EXPECT_EQ(host.Release(1), 0);
  EXPECT_EQ(view.heading(), 90.0f);
  EXPECT_EQ(view.pitch(), 0.0f);
  EXPECT_EQ(view.text("TempOrtho"), "1");
  EXPECT_EQ(host.dragState(), 0);

  sim::SetCursor(0, 0);
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(view.text("TempOrtho"), "0");
  MoveTo(0, 0);
  EXPECT_EQ(view.heading(), 90.0f) << "the next drag starts from the snapped camera";
  EXPECT_EQ(view.pitch(), 0.0f);
}

}  // namespace
