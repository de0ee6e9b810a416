// The rules on the real module: the named edge cases, then a seeded
// sequence of the module's work, every call judged by sim/rules (through
// the player, sim/validate/play.h). The cases name what to try, not what
// must come of it: that is the rules' to say.
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <vector>

#include "host/abi.h"
#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/play.h"

namespace sim::validate {

using namespace orbitrix;

namespace {

Op Step(Op::Kind kind) { return {.kind = kind, .target = 0x51A9}; }
Op Cursor(int32_t x, int32_t y) { return {.kind = Op::kCursor, .x = x, .y = y}; }
Op Button(uint32_t pressed, uint32_t buttons = 1) {
  return {.kind = Op::kButton, .pressed = pressed, .buttons = buttons, .target = 0x51A9};
}
Op Move(uint32_t buttons = 1) { return {.kind = Op::kMove, .buttons = buttons}; }
Op Option(uint32_t index, uint32_t value) {
  return {.kind = Op::kOption, .index = index, .value = value};
}
Op Ctrl(bool down) { return {.kind = Op::kCtrl, .value = down ? 0x8000u : 0u}; }
Op Attr(const char* key, Attribute a) { return {.kind = Op::kAttr, .key = key, .attribute = a}; }
Op Call(Op::Kind kind, uint32_t index, uint32_t value = 0) {
  return {.kind = kind, .a1 = 0x51, .a2 = 0x52, .index = index, .value = value};
}
Op Foreign(Op op, uint32_t w0, uint32_t w1) { return op.w0 = w0, op.w1 = w1, op; }
// The opaque values 1, 2, 3, 4 and 4, 3, 2, 1 again.
Op Camera(float heading, float pitch, std::array<uint32_t, 4> opaque = {1, 2, 3, 4}) {
  const auto h = std::bit_cast<uint32_t>(heading), p = std::bit_cast<uint32_t>(pitch);
  return {.kind = Op::kCamera,
          .camera = {opaque[0], opaque[1], opaque[2], opaque[3], h, p, opaque[3], opaque[2]}};
}
Attribute Sized(const char* text, int32_t size, bool terminated = true) {
  Attribute a = Value(text);
  return a.sizeAnswer = size, a.terminated = terminated, a;
}
Attribute Delivering(const char* text, int32_t answer) {
  Attribute a = Value(text);
  return a.valueAnswer = answer, a;
}

// A release at these angles, snapping only while Ctrl is held.
std::vector<Op> ReleaseAt(float heading, float pitch) {
  return {Camera(heading, pitch), Ctrl(true), Button(0), Ctrl(false)};
}

std::vector<std::vector<Op>> Cases() {
  std::vector<std::vector<Op>> cases = {
      // The version gate, slots at the end of the table and past it, the
      // identity's one index, another tool's queries.
      {Call(Op::kEntry, 1, 0x504FF), Call(Op::kEntry, 1, 0x50500), Call(Op::kEntry, 1, 0xFFFFFFFF),
       Call(Op::kInfo, 1), Call(Op::kInfo, 0)},
      {Call(Op::kInit, 130, 1), Call(Op::kInit, 131, 2), Call(Op::kInit, 0xFFFFFFFF, 2)},
      {Foreign(Call(Op::kToolInfo, 0), 0xAAAB, 0), Foreign(Call(Op::kGuiInfo, 0), 0xAAAB, 0),
       Foreign(Call(Op::kToolInfo, 0), 0xAAAA, 1), Call(Op::kToolInfo, 0)},
      {Option(2, 0), Call(Op::kGuiInfo, 0)},
      // Opaque camera values that are signalling not-a-numbers go back as
      // they came.
      {Camera(3, 2, {0x7F800001, 0xFFBFFFFF, 0x7FA00000, 0x80000000}), Cursor(1, 1), Button(1),
       Cursor(2, 3), Move(), Button(0)},
      // A press and a move, the limit on and off.
      {Camera(30, 10), Cursor(100, 100), Button(1), Cursor(150, 80), Move(), Button(0)},
      {Camera(0, 80), Cursor(0, 0), Button(1), Cursor(0, 25), Move(), Option(2, 0), Move(),
       Option(2, 1), Button(0)},
      // Buttons: the right one, none, the right one during a drag.
      {Button(1, 2), Move(0), Move(2), Move(1), Button(1), Move(2), Button(0, 2)},
      // A press during a drag keeps the first anchor; a switch ends it.
      {Cursor(300, 300), Button(1), Cursor(600, 600), Button(1), Cursor(330, 310), Move(),
       Step(Op::kSwitch), Move(), Button(0)},
      // Views not in perspective, without attributes, and UV views.
      {Attr("Pers", Value("0")), Button(1), Cursor(5, 5), Move(), Button(0)},
      {Attr("Pers", Value(" +1x")), Attr("UV", Value(" 7")), Button(1), Attr("UV", Value("-0")),
       Button(1), Move(), Button(0)},
      {Attr("Pers", Sized("0", 0)), Attr("UV", Value("12ab")), Button(1), Attr("UV", Value("0")),
       Button(1), Attr("Pers", Delivering("0", 0)), Move(), Button(0)},
      {Attr("UV", Sized("1234", 1025)), Button(1), Attr("UV", Sized("0001", 1024, false)),
       Button(1), Button(0), Attr("UV", Value("0"))},
      // Values a reader must take at the host's word: n bytes without a NUL
      // (the stack beyond them holds digits), and one the host wrote but
      // says it did not deliver.
      {Attr("UV", Sized("0", 8, false)), Button(1), Button(0), Attr("UV", Delivering("1", 0)),
       Button(1), Button(0)},
      // A service unbound: every event declines before it looks at anything,
      // a right-button press too.
      {Call(Op::kInit, kGetViewCamera, 0), Button(1, 2), Button(1), Move(), Button(0),
       Call(Op::kInit, kGetViewCamera, 1)},
      // The options' value bytes: the first counts as on for any but 0, the
      // others only for 1.
      {Option(0, 2), Option(1, 2), Option(3, 2), Camera(5, 5), Button(0), Option(0, 0),
       Camera(5, 5), Button(0), Option(0, 1), Option(1, 1), Option(3, 1)},
      // Angles on and around the edges of a tool's moves: a move of 2^25 + 2
      // pixels from tiny anchors, just past a float's halfway point.
      {Camera(0x1p-30f, -0x1p-30f), Option(2, 0), Cursor(0, 0), Button(1),
       Cursor(33554434, 33554434), Move(), Cursor(-33554434, -33554434), Move(), Button(0),
       Option(2, 1)},
      {Camera(16777216.0f, NAN), Cursor(INT32_MIN, INT32_MAX), Button(1),
       Cursor(INT32_MAX, INT32_MIN), Move(), Button(0)},
  };
  // Releases at the edges of the bands, far out, and at no number at all;
  // one with no press before it.
  const float angles[] = {19.9f,  20.0f,        70.5f,         71.0f,         -71.5f,   -19.5f,
                          725.0f, 380.0f,       89.5f,         180.2f,        -0.0f,    0x1p-149f,
                          1e9f,   2147483520.f, 2147483648.0f, -2147483648.f, INFINITY, NAN};
  for (float heading : angles) {
    std::vector<Op> release;
    for (float pitch : {0.0f, 89.5f, -20.0f, NAN})
      for (const Op& op : ReleaseAt(heading, pitch)) release.push_back(op);
    cases.push_back(release);
  }
  // Every event for other tools, and without a context, during a drag.
  std::vector<Op> foreign = {Button(1), Cursor(9, 9), Move()};
  for (Op op : {Step(Op::kSwitch), Button(1), Move(), Button(0), Button(1, 2)}) {
    for (const auto& [w0, w1] : {std::pair<uint32_t, uint32_t>{0xAAAB, 0},
                                 {0xAAAA, 1},
                                 {0xAAAA0000, 0},
                                 {0, 0xAAAA},
                                 {0xFFFFFFFF, 0xFFFFFFFF}})
      foreign.push_back(Foreign(op, w0, w1));
    op.context = 2;
    foreign.push_back(op);
  }
  foreign.push_back(Button(0));
  cases.push_back(foreign);
  return cases;
}

}  // namespace

bool Rules(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Player player(p, *plugin);
  // Nothing bound yet: every call declines.
  for (Op op : {Call(Op::kInfo, 0), Call(Op::kToolInfo, 0), Step(Op::kSwitch), Button(1), Move(),
                Button(0)})
    if (!player.Play(op)) return false;
  Generator generator(CheckSeed(p.settings().seed, "rules"), false);
  while (player.calls() < kServiceSlots + 12)
    if (!player.Play(generator.Next())) return false;
  const std::vector<std::vector<Op>> cases = Cases();
  for (const std::vector<Op>& c : cases) {
    for (Op op :
         {Step(Op::kSwitch), Attr("UV", Value("0")), Attr("Pers", Value("1")), Cursor(0, 0)})
      if (!player.Play(op)) return false;
    for (const Op& op : c)
      if (!player.Play(op)) return false;
  }
  const uint32_t named = player.calls();
  const uint64_t calls = named + p.Scaled(5000, 50000, 500000);
  while (player.calls() < calls)
    if (!player.Play(generator.Next())) return false;
  p.Note(Format("%u named cases in %u calls, then %u calls of a drawn sequence",
                static_cast<unsigned>(cases.size()), named, player.calls() - named));
  return true;
}

}  // namespace sim::validate
