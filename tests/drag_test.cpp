// The event gate, the press and the moves.
#include "tool/drag.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/module.h"
#include "tests/tool_fixture.h"

using namespace orbitrix;

namespace {

using Calls = std::vector<std::string>;
const std::string kUvSize = "GetViewAttribute(1,\"UV\",null,0)";
const std::string kUvValue = "GetViewAttribute(1,\"UV\",buffer,2)";
const std::string kPersSize = "GetViewAttribute(1,\"Pers\",null,0)";
const std::string kPersValue = "GetViewAttribute(1,\"Pers\",buffer,2)";

using Gate = ToolTest;

TEST_F(Gate, ForeignToolIdsReachNoHostService) {
  host.setDragState(1);
  for (auto [w0, w1] : {std::pair<uint32_t, uint32_t>{0xAAAB, 0},
                        {0xAAA9, 0},
                        {0xAAAA, 1},
                        {0xAAAA, 0xFFFFFFFF},
                        {0, 0},
                        {0xFFFFFFFF, 0xFFFFFFFF}}) {
    void* c = host.context();
    EXPECT_EQ(MCP_ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 1, 1, 0, c), 0);
    EXPECT_EQ(MCP_ToolMouseButton(0, 0, w0, w1, 0, 0, 0, 1, 1, 0, c), 0);
    EXPECT_EQ(MCP_ToolMouseMove(0, 0, w0, w1, 0, 0, 1, 1, 0, c), 0);
    EXPECT_EQ(MCP_ToolSwitch(0, 0, w0, w1, 0, 0, c), 1);
  }
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(host.dragState(), 1);
}

TEST_F(Gate, AMoveWithoutButtonsStopsBeforeAnyHostCall) {
  host.setDragState(1);
  EXPECT_EQ(host.Move(1, 0), 0);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(Gate, UvViewsAreLeftAlone) {
  view.attributes["UV"].value = "1";
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(host.Press(1, 2), 0) << "not even the right-button answer";
  EXPECT_EQ(host.dragState(), 0);
  host.setDragState(2);
  EXPECT_EQ(host.Move(1), 0);
  EXPECT_EQ(host.Release(1), 0);
  EXPECT_EQ(host.dragState(), 2) << "a release in a UV view keeps the drag";
  for (const sim::Call& c : host.log) EXPECT_EQ(c.slot, kGetViewAttribute) << c.text;
}

TEST_F(Gate, ANullContextIsDeclinedUntouched) {
  EXPECT_EQ(MCP_ToolMouseButton(0, 0, 0xAAAA, 0, 0, 0, 1, 1, 1, 0, nullptr), 0);
  EXPECT_EQ(MCP_ToolMouseButton(0, 0, 0xAAAA, 0, 0, 0, 0, 1, 1, 0, nullptr), 0);
  EXPECT_EQ(MCP_ToolMouseMove(0, 0, 0xAAAA, 0, 0, 0, 1, 1, 0, nullptr), 0);
  EXPECT_EQ(MCP_ToolSwitch(0, 0, 0xAAAA, 0, 0, 0, nullptr), 1);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(Gate, AnUnboundServiceDeclinesTheEventBeforeAnyHostCall) {
  for (Slot missing :
       {kGetViewAttribute, kSetViewAttribute, kRefreshViews, kGetViewCamera, kSetViewCamera}) {
    MCP_InitializePluginProc(missing, nullptr);
    host.ClearLog();
    host.setDragState(1);
    EXPECT_EQ(host.Release(1), 0);
    EXPECT_EQ(host.dragState(), 1) << missing;
    host.setDragState(0);
    EXPECT_EQ(host.Press(1), 0);
    host.setDragState(1);
    EXPECT_EQ(host.Move(1), 0);
    for (const sim::Call& c : host.log) EXPECT_NE(c.slot, missing);
    MCP_InitializePluginProc(missing, sim::ServiceForSlot(missing));
  }
}

// A press writes no camera and asks for no redraw, a move also sets no
// attribute: neither needs those services bound.
TEST_F(Gate, EachEventNeedsOnlyTheServicesItCalls) {
  MCP_InitializePluginProc(kSetViewCamera, nullptr);
  MCP_InitializePluginProc(kRefreshViews, nullptr);
  sim::SetCursor(10, 10);
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(host.dragState(), 1);

  MCP_InitializePluginProc(kSetViewCamera, sim::ServiceForSlot(kSetViewCamera));
  MCP_InitializePluginProc(kSetViewAttribute, nullptr);
  EXPECT_EQ(MoveTo(15, 7), 0);
  EXPECT_EQ(view.heading(), 5.0f);
  EXPECT_EQ(view.pitch(), -3.0f);
  EXPECT_EQ(host.dragState(), 2);
}

// The host owns the context: the tool reads and writes its drag state as all
// four bytes from byte 18, little-endian, and touches no other byte. Checked
// here at the host's offsets, written out, whatever the host left there.
TEST_F(Gate, TheDragStateIsFourBytesAtByte18OfTheHostsContext) {
  unsigned char* c = host.context();
  const auto state = [c] { return c[18] | c[19] << 8 | c[20] << 16 | uint32_t{c[21]} << 24; };
  std::memset(c, 0xA5, sim::kContextBytes);
  EXPECT_EQ(host.Release(1), 0);
  EXPECT_EQ(state(), 0u) << "all four bytes written, whatever they held";
  sim::SetCursor(0, 0);
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(state(), 1u);
  EXPECT_EQ(MoveTo(1, 1), 0);
  EXPECT_EQ(state(), 2u);
  c[19] = 0x01;  // 258: a drag state only a read of all four bytes sees as 1 or more
  EXPECT_EQ(MoveTo(2, 2), 0);
  EXPECT_EQ(state(), 2u);
  c[18] = 0;
  c[19] = 0x01;  // 256: not idle, so a press changes nothing
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(state(), 256u);
  EXPECT_EQ(host.Switch(), 1);
  EXPECT_EQ(state(), 0u);
  for (size_t i = 0; i < sim::kContextBytes; ++i) {
    if (i >= 18 && i <= 21) continue;
    EXPECT_EQ(c[i], 0xA5) << "byte " << i;
  }
}

using Press = ToolTest;

TEST_F(Press, TakesHoldAndClearsTheParallelProjection) {
  view.attributes["TempOrtho"].value = "1";
  view.setAngles(30, 10);
  sim::SetCursor(100, 100);
  EXPECT_EQ(host.Press(1, 1, 0x55), 0);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue, "GetViewCamera(1)",
                                 "SetViewAttribute(1,\"TempOrtho\",\"0\",1)"}));
  EXPECT_EQ(host.dragState(), 1);
  EXPECT_EQ(gDragAnchor.x, 100);
  EXPECT_EQ(gDragAnchor.y, 100);
  EXPECT_EQ(gDragAnchor.heading, 30.0f);
  EXPECT_EQ(gDragAnchor.pitch, 10.0f);
}

TEST_F(Press, WithoutTheLeftButtonAnswersFour) {
  EXPECT_EQ(host.Press(1, 2), 4);
  EXPECT_EQ(host.Press(1, 0), 4);
  EXPECT_EQ(host.dragState(), 0);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue, kUvSize, kUvValue}));
}

TEST_F(Press, DuringADragChangesNothing) {
  PressAt(5, 5, 1, 2);
  host.setDragState(2);
  sim::SetCursor(50, 50);
  EXPECT_EQ(host.Press(1, 3), 0);
  EXPECT_EQ(host.dragState(), 2);
  EXPECT_EQ(gDragAnchor.x, 5);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue}));
}

TEST_F(Press, OnlyTheLowByteOfThePressedFlagCounts) {
  host.setDragState(1);
  EXPECT_EQ(MCP_ToolMouseButton(0, 0, 0xAAAA, 0, 0, 0, 0x100, 1, 1, 0, host.context()), 0);
  EXPECT_EQ(host.dragState(), 0) << "0x100 is a release";
  EXPECT_EQ(MCP_ToolMouseButton(0, 0, 0xAAAA, 0, 0, 0, 0x180, 1, 1, 0, host.context()), 0);
  EXPECT_EQ(host.dragState(), 1) << "0x180 is a press";
}

TEST_F(Press, WithoutACursorPositionTakesNoHold) {
  sim::fake::cursorFails = true;
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(host.dragState(), 0);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue}));
}

using Move = ToolTest;

TEST_F(Move, TurnsByThePixelsTravelledSinceThePress) {
  PressAt(100, 100, 30, 10);
  view.camera = {1, 2, 3, 4, view.camera[4], view.camera[5], 7, 8};
  EXPECT_EQ(MoveTo(150, 80), 0);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue, kPersSize, kPersValue, "GetViewCamera(1)",
                                 "SetViewCamera(1,0x1,0x2,0x3,0x4,80,-10,0x7,0x8)"}));
  EXPECT_EQ(host.dragState(), 2);
  // From the anchor, not from the last move: back at the press is back at the start.
  EXPECT_EQ(MoveTo(100, 100), 0);
  EXPECT_EQ(view.heading(), 30.0f);
  EXPECT_EQ(view.pitch(), 10.0f);
}

TEST_F(Move, OpaqueCameraValuesComeBackBitForBit) {
  PressAt(0, 0, 0, 0);
  // Signalling NaNs, negative zero and infinities would change on a trip
  // through a float register.
  view.camera = {0x7F800001, 0xFFBFFFFF, 0x80000000, 0x7F800000, 0, 0, 0xFF800001, 0x00000001};
  MoveTo(3, 4);
  EXPECT_EQ(view.camera,
            (std::array<uint32_t, 8>{0x7F800001, 0xFFBFFFFF, 0x80000000, 0x7F800000,
                                     std::bit_cast<uint32_t>(3.0f), std::bit_cast<uint32_t>(4.0f),
                                     0xFF800001, 0x00000001}));
}

// The tool writes 0, 1 and 2 only, but the host's record may hold anything:
// a negative state is no drag under way.
TEST_F(Move, ANegativeDragStateIsNoDrag) {
  for (int32_t state : {-1, -2, INT32_MIN}) {
    host.setDragState(state);
    EXPECT_EQ(MoveTo(40, 40), 2) << state;
    EXPECT_EQ(host.dragState(), state);
  }
  EXPECT_EQ(CallsTo(kGetViewCamera), 0);
  EXPECT_EQ(CallsTo(kSetViewCamera), 0);
}

TEST_F(Move, ButtonsDecideTheAnswer) {
  EXPECT_EQ(host.Move(1, 1), 2) << "left button without a press";
  host.setDragState(1);
  EXPECT_EQ(host.Move(1, 2), 2) << "another button during a drag";
  EXPECT_EQ(CallsTo(kSetViewCamera), 0);
  EXPECT_EQ(host.Move(1, 3), 0);
  EXPECT_EQ(CallsTo(kSetViewCamera), 1);
}

TEST_F(Move, PitchLimitHoldsAtNinety) {
  PressAt(0, 0, 0, 80);
  EXPECT_EQ(MoveTo(0, 25), 0);
  EXPECT_EQ(view.pitch(), 90.0f);
  EXPECT_EQ(MoveTo(0, -200), 0);
  EXPECT_EQ(view.pitch(), -90.0f);
  EXPECT_EQ(MoveTo(0, 10), 0);
  EXPECT_EQ(view.pitch(), 90.0f) << "exactly 90 stays";

  host.SetOption(kLimitPitch, 0);
  MoveTo(0, 25);
  EXPECT_EQ(view.pitch(), 105.0f);
  host.SetOption(kLimitPitch, 2);  // only 1 is on
  MoveTo(0, 25);
  EXPECT_EQ(view.pitch(), 105.0f);
}

TEST_F(Move, PitchLimitAtOneUlpEitherSideOfNinety) {
  const float inside = std::nextafter(90.0f, 0.0f), past = std::nextafter(90.0f, 100.0f);
  PressAt(0, 0, 0, inside);
  MoveTo(0, 0);
  EXPECT_EQ(view.pitch(), inside);
  host.setDragState(0);
  PressAt(0, 0, 0, past);
  MoveTo(0, 0);
  EXPECT_EQ(view.pitch(), 90.0f);
  host.setDragState(0);
  PressAt(0, 0, 0, -past);
  MoveTo(0, 0);
  EXPECT_EQ(view.pitch(), -90.0f);
}

TEST_F(Move, ANanPitchPassesTheLimitUnchanged) {
  PressAt(0, 0, 0, std::numeric_limits<float>::quiet_NaN());
  MoveTo(0, 30);
  EXPECT_TRUE(std::isnan(view.pitch()));
}

TEST_F(Move, NonPerspectiveViewsAreNotTurned) {
  PressAt(0, 0, 0, 0);
  view.attributes["Pers"].value = "0";
  EXPECT_EQ(MoveTo(10, 10), 0);
  EXPECT_EQ(MoveTo(20, 10), 0);
  EXPECT_EQ(CallsTo(kSetViewCamera), 0);
  EXPECT_EQ(host.dragState(), 1);
}

TEST_F(Move, WithoutACursorPositionWritesNoCamera) {
  PressAt(0, 0, 0, 0);
  sim::fake::cursorFails = true;
  EXPECT_EQ(MoveTo(10, 10), 0);
  EXPECT_EQ(CallsTo(kSetViewCamera), 0);
  EXPECT_EQ(host.dragState(), 1);
}

TEST_F(Move, ExtremeCursorTravelDoesNotOverflow) {
  PressAt(INT32_MIN, INT32_MAX, 0, 0);
  host.SetOption(kLimitPitch, 0);
  MoveTo(INT32_MAX, INT32_MIN);
  EXPECT_EQ(view.heading(), 4294967295.0f);
  EXPECT_EQ(view.pitch(), -4294967295.0f);
}

TEST_F(Move, ToolSwitchEndsTheDrag) {
  PressAt(0, 0, 0, 0);
  MoveTo(1, 1);
  EXPECT_EQ(host.Switch(), 1);
  EXPECT_EQ(host.dragState(), 0);
  EXPECT_EQ(MoveTo(2, 2), 2);
}

}  // namespace
