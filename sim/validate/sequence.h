// Sequences of steps, drawn from a seed: the calls a host makes of the
// module and the changes it, the system and its user make between them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

#include "sim/host/host.h"
#include "sim/validate/check.h"

namespace sim::validate {

struct Op {
  // The calls, kInit to kMove, then the changes.
  enum Kind {
    kInit,
    kEntry,
    kInfo,
    kReleasePlugin,
    kToolInfo,
    kGuiInfo,
    kSwitch,
    kButton,
    kMove,
    kCursor,
    kCtrl,
    kImage,
    kOption,
    kAttr,
    kCamera,
    kState
  } kind = kCursor;
  uint32_t w0 = kOurs0, w1 = kOurs1, a1 = 0, a2 = 0;
  uint32_t index = 0;  // init: the slot; entry: 1 the module, 0 null; info: the index;
                       // option: its number from 0
  uint32_t value = 0;  // init: 0 null, 1 its service, 2 a wild pointer; entry: the
                       // version; ctrl: GetKeyState's answer; image, cursor: 1 it fails;
                       // option: the byte; state: the drag state
  uint32_t pressed = 0, buttons = 0, view = 1, target = 0x7E;
  int context = 0;  // 0 the host's, 1 another, 2 null
  int32_t x = 0, y = 0;
  std::string key{};
  Attribute attribute{};
  std::array<uint32_t, 8> camera{};

  bool isCall() const { return kind <= kMove; }
  bool isEvent() const { return kind == kSwitch || kind == kButton || kind == kMove; }
  bool ours() const { return w0 == kOurs0 && w1 == kOurs1; }
};

// The step in words, e.g. "MCP_ToolMouseMove(id 0xAAAA:0x0, buttons 0x1,
// view 1, the host's context)".
std::string Describe(const Op& op);

// Draws the steps from a seed alone, so that a run can be drawn again to be
// shortened. The module's work as a host gives it: binding, the entry and the
// queries, a drag from each angle that is no plain number (not a number,
// infinite, denormal, -0, past the int32_t range), then drags on views of every
// kind, with cameras near right angles, far out where k times 90 is no float,
// tiny and moved past 2^24 onto a float's halfway point, not numbers and
// denormals, the options and Ctrl as they come, the cursor sometimes unknown, a
// service now and then unbound, attributes answered badly. Hostile: on a
// screen, with another tool's ids, other and null contexts, wild bindings, drag
// states written and any buttons besides.
class Generator {
 public:
  Generator(uint64_t seed, bool hostile) : rng_(seed), hostile_(hostile) {}
  Op Next();

 private:
  uint32_t Below(uint64_t n) { return static_cast<uint32_t>(rng_() % n); }
  uint32_t Word() { return static_cast<uint32_t>(rng_()); }
  float Angle();
  void Start();
  void DragAt(uint32_t heading, uint32_t pitch);
  void Query();
  void Drag();
  void Roughen(Op* op);

  std::mt19937_64 rng_;
  bool hostile_;
  bool started_ = false;
  std::deque<Op> queue_;
};

}  // namespace sim::validate
