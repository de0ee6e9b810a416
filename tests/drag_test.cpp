// The event gate, the press and the moves.
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
  // Each word whole: 0xAAAA in the low 16 bits of a wider word is not ours.
  for (auto [w0, w1] : {std::pair<uint32_t, uint32_t>{0xAAAB, 0},
                        {0xAAA9, 0},
                        {0xAAAA, 1},
                        {0xAAAA, 0xFFFFFFFF},
                        {0xAAAA, 0x10000},
                        {0x1AAAA, 0},
                        {0xFFFFAAAA, 0},
                        {0, 0xAAAA},
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
// A host may bind a slot again, with the same service or another: the slot
// stays bound, and the events call what it holds now.
int gReplacedCameraReads;
int32_t MCP_HOSTAPI ReplacedGetViewCamera(ViewHandle view, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                          uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                          uint32_t* v8) {
  ++gReplacedCameraReads;
  uint32_t* const values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
  return sim::Host::current()->getViewCamera(view, values);
}

TEST_F(Gate, AServiceBoundAgainOrReplacedStaysBound) {
  for (Slot slot : {kRegisterInfo, kGetViewAttribute, kSetViewAttribute, kRefreshViews,
                    kGetViewCamera, kSetViewCamera})
    MCP_InitializePluginProc(slot, sim::ServiceForSlot(slot));
  host.SetOption(kSnapOnlyWithCtrl, 0);
  sim::SetCursor(0, 0);
  view.setAngles(10, 10);
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(MoveTo(-5, -5), 0);
  EXPECT_EQ(host.Release(1), 0);
  EXPECT_EQ(view.heading(), 0.0f) << "pressed, turned and snapped";
  EXPECT_EQ(CallsTo(kRefreshViews), 1);

  MCP_InitializePluginProc(kGetViewCamera, reinterpret_cast<void*>(&ReplacedGetViewCamera));
  gReplacedCameraReads = 0;
  EXPECT_EQ(host.Press(1), 0);
  EXPECT_EQ(MoveTo(3, 4), 0);
  EXPECT_EQ(gReplacedCameraReads, 2);
  EXPECT_EQ(view.heading(), 8.0f) << "from the snapped camera, pressed at (-5, -5)";
  MCP_InitializePluginProc(kGetViewCamera, sim::ServiceForSlot(kGetViewCamera));
}

// A host that answers only the two angles leaves the other six values as
// they were: the tool writes back zeros for them, never what it read from
// another view before.
int32_t MCP_HOSTAPI AnglesOnlyCamera(ViewHandle view, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                     uint32_t* v5, uint32_t* v6, uint32_t*, uint32_t*) {
  *v5 = sim::Host::current()->view(view).camera[4];
  *v6 = sim::Host::current()->view(view).camera[5];
  return 1;
}

TEST_F(Gate, CameraValuesTheHostLeavesUnsetAreWrittenAsZero) {
  host.view(2).plain();
  host.view(2).camera = {0, 0, 0, 0, 0, 0, 0, 0};
  PressAt(0, 0, 0, 0);
  view.camera = {0x11, 0x22, 0x33, 0x44, 0, 0, 0x77, 0x88};
  EXPECT_EQ(MoveTo(1, 1), 0);
  EXPECT_EQ(view.camera[0], 0x11u);
  MCP_InitializePluginProc(kGetViewCamera, reinterpret_cast<void*>(&AnglesOnlyCamera));
  host.ClearLog();
  EXPECT_EQ(host.Move(2), 0);
  MCP_InitializePluginProc(kGetViewCamera, sim::ServiceForSlot(kGetViewCamera));
  ASSERT_EQ(CallsTo(kSetViewCamera), 1);
  EXPECT_EQ(host.log.back().text, "SetViewCamera(2,0x0,0x0,0x0,0x0,1,1,0x0,0x0)");
}

// The events use none of their arguments 1, 2, 5, 6 (and 9 of a move): the
// cursor comes from the system alone.
TEST_F(Gate, TheCursorComesFromTheSystemNotFromTheEventsArguments) {
  view.setAngles(30, 10);
  sim::SetCursor(100, 100);
  void* c = host.context();
  EXPECT_EQ(MCP_ToolMouseButton(150, 80, 0xAAAA, 0, 150, 80, 1, 1, 1, 0x7E, c), 0);
  sim::SetCursor(120, 90);
  EXPECT_EQ(MCP_ToolMouseMove(150, 80, 0xAAAA, 0, 150, 80, 1, 1, 150, c), 0);
  EXPECT_EQ(view.heading(), 50.0f);
  EXPECT_EQ(view.pitch(), 0.0f);
  EXPECT_EQ(MCP_ToolMouseMove(0xFFFFFFFF, 0xFFFFFFFF, 0xAAAA, 0, 0xFFFFFFFF, 0xFFFFFFFF, 1, 1,
                              0xFFFFFFFF, c),
            0);
  EXPECT_EQ(view.heading(), 50.0f);
  EXPECT_EQ(view.pitch(), 0.0f);
}

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
  // The anchor, as the next moves show it: where the press was, the
  // camera's angles then.
  view.setAngles(-5, -5);
  EXPECT_EQ(MoveTo(100, 100), 0);
  EXPECT_EQ(view.heading(), 30.0f);
  EXPECT_EQ(view.pitch(), 10.0f);
  EXPECT_EQ(MoveTo(101, 98), 0);
  EXPECT_EQ(view.heading(), 31.0f);
  EXPECT_EQ(view.pitch(), 8.0f);
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
  view.setAngles(40, 40);
  EXPECT_EQ(host.Press(1, 3), 0);
  EXPECT_EQ(host.dragState(), 2);
  EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue}));
  EXPECT_EQ(MoveTo(5, 5), 0);
  EXPECT_EQ(view.heading(), 1.0f) << "the anchor is the first press's";
  EXPECT_EQ(view.pitch(), 2.0f);
}

// The tool writes 0, 1 and 2 only, but the host's record may hold anything:
// a press takes hold only from 0.
TEST_F(Press, OnANegativeDragStateChangesNothing) {
  for (int32_t state : {-1, -2, INT32_MIN}) {
    host.setDragState(state);
    host.ClearLog();
    EXPECT_EQ(host.Press(1), 0) << state;
    EXPECT_EQ(host.dragState(), state);
    EXPECT_EQ(host.calls(), (Calls{kUvSize, kUvValue})) << state;
  }
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

// In a view that is not in perspective a move still answers 2 where its
// button or the drag state says so: "Pers" is asked only after them.
TEST_F(Move, ButtonsAndTheDragStateAnswerBeforePerspectiveIsAsked) {
  view.attributes["Pers"].value = "0";
  host.setDragState(1);
  EXPECT_EQ(host.Move(1, 2), 2) << "another button during a drag";
  host.setDragState(0);
  EXPECT_EQ(host.Move(1, 1), 2) << "the left button without a press";
  host.setDragState(-1);
  EXPECT_EQ(host.Move(1, 1), 2) << "the left button on a negative drag state";
  host.setDragState(1);
  EXPECT_EQ(host.Move(1, 1), 0);
  EXPECT_EQ(CallsTo(kGetViewCamera), 0);
  EXPECT_EQ(host.dragState(), 1);
}

// One anchor for the whole module: a move in another view turns that view's
// camera from the angles the press found in the first.
TEST_F(Move, OneAnchorServesEveryView) {
  host.view(2).plain();
  host.view(2).setAngles(-100, -100);
  PressAt(100, 100, 30, 10);
  sim::SetCursor(110, 95);
  EXPECT_EQ(host.Move(2), 0);
  EXPECT_EQ(host.view(2).heading(), 40.0f);
  EXPECT_EQ(host.view(2).pitch(), 5.0f);
  EXPECT_EQ(view.heading(), 30.0f) << "the first view is not touched";
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

// 2^25 + 2 lies halfway between the floats 2^25 and 2^25 + 4: an anchor of
// 2^-30 either side of zero puts the sum just past that tie, a bit the sum
// rounded to double first would lose.
TEST_F(Move, ATravelPastAnyScreenStillRoundsOnce) {
  const float tiny = 0x1p-30f;
  host.SetOption(kLimitPitch, 0);
  PressAt(0, 0, tiny, -tiny);
  MoveTo(33554434, 33554434);
  EXPECT_EQ(view.heading(), 33554436.0f);
  EXPECT_EQ(view.pitch(), 33554432.0f);
  host.setDragState(0);
  PressAt(0, 0, -tiny, tiny);
  MoveTo(-33554434, -33554434);
  EXPECT_EQ(view.heading(), -33554436.0f);
  EXPECT_EQ(view.pitch(), -33554432.0f);
}

TEST_F(Move, ToolSwitchEndsTheDrag) {
  PressAt(0, 0, 0, 0);
  MoveTo(1, 1);
  EXPECT_EQ(host.Switch(), 1);
  EXPECT_EQ(host.dragState(), 0);
  EXPECT_EQ(MoveTo(2, 2), 2);
}

}  // namespace
