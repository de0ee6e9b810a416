// Sequences of calls, drawn from a seed and played at the real module: the
// steps a host and its user take, what the module finds of Windows through
// stand-ins, and every call judged by the rules (sim/rules) and held to the
// calling environment it was made in. The checks differ only in the
// sequences they draw, the environments they call in and the services they
// make fail.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/rules/events.h"
#include "sim/session/writer.h"
#include "sim/validate/check.h"
#include "sim/validate/stack_probe.h"

namespace sim::validate {

// --- Windows as the module finds it -------------------------------------

// What the module's own imports of GetCursorPos, GetKeyState and LoadImageA
// answer in a check's child, and what it asked of them and of the C
// runtime's heap.
struct System {
  int32_t x = 0, y = 0;
  bool cursorFails = false;  // GetCursorPos answers FALSE, as on a locked desktop
  uint16_t keyState = 0;     // GetKeyState's answer for Ctrl
  bool imageFails = false;   // LoadImageA answers null
  int otherKey = 0;          // a key asked for other than Ctrl
  int imageLoads = 0;        // since the counts were last cleared
  uint32_t image = 0;        // the last image answered
  std::string imageAsked;    // and how it was asked for
  size_t heapBlocks = 0;     // blocks the module holds
};
extern System gSystem;

// --- The steps -------------------------------------------------------------

// One step: a call of an export, or a change the host, the system or the
// user makes between calls.
struct Op {
  enum Kind {
    kInit,  // calls
    kEntry,
    kInfo,
    kReleasePlugin,
    kToolInfo,
    kGuiInfo,
    kSwitch,
    kButton,
    kMove,
    kCursor,  // changes
    kCtrl,
    kImage,
    kOption,
    kAttr,
    kUnset,
    kCamera,
    kState
  } kind = kCursor;
  uint32_t w0 = kOurs0, w1 = kOurs1, a1 = 0, a2 = 0;
  uint32_t index = 0;  // init: the slot; info: the index; option: its number from 0
  uint32_t value = 0;  // init: 0 null, 1 its service, 2 a wild pointer; entry: the
                       // version; ctrl: GetKeyState's answer; image, cursor: 1 fails;
                       // option: the byte; state: the drag state
  uint32_t pressed = 0, buttons = 0, view = 1, target = 0;
  int context = 0;  // 0 the host's, 1 another, 2 null
  int32_t x = 0, y = 0;
  std::string key;
  Attribute attribute;
  std::array<uint32_t, 8> camera{};

  bool isCall() const { return kind <= kMove; }
  bool ours() const { return w0 == kOurs0 && w1 == kOurs1; }
};

// The step in words, e.g. "MCP_ToolMouseMove(id 0xAAAA:0x0, buttons 0x1,
// view 1, the host's context)".
std::string Describe(const Op& op);

// Draws the steps from a seed alone, so that a run can be drawn again to be
// described or shortened. The module's work as a host gives it: binding,
// entry and the queries, then drags on views of every kind, with cameras
// near right angles, far out where k times 90 is no float, tiny and moved
// past 2^24 onto a float's halfway point, not numbers and denormals, the
// options and Ctrl as they come, the cursor sometimes unknown, a service
// now and then unbound. Hostile: the same with another tool's ids, other
// and null contexts, wild bindings, drag states and answers besides.
class Generator {
 public:
  Generator(uint64_t seed, bool hostile) : rng_(seed), hostile_(hostile) {}
  Op Next();

 private:
  uint32_t Below(uint64_t n) { return static_cast<uint32_t>(rng_() % n); }
  uint32_t Word() { return static_cast<uint32_t>(rng_()); }
  float Angle();
  void Start();
  void Query();
  void Drag();
  void Roughen(Op* op);
  Op& Add(Op::Kind kind);

  std::mt19937_64 rng_;
  bool hostile_;
  bool started_ = false;
  std::deque<Op> queue_;
};

// --- Playing them --------------------------------------------------------

class Player {
 public:
  // The module's imports are pointed at the stand-ins; services bound by
  // the sequence are the host's, sheltered from the caller's floating-point
  // state as a real host's own code would be.
  Player(Probe& probe, const Plugin& plugin);

  // Carries out the step and judges it: "" when the call did what the rules
  // say, else what it did and what the rule wanted, naming the call.
  std::string Do(const Op& op);

  // Where calls are made: the stack, the callee-saved registers and the
  // floating-point control state. Every call must give them back.
  // Unless a check says otherwise, as Windows starts a thread, but with
  // MXCSR's status flags set: whether the module raises one is the calling
  // environment's to show.
  CallEnvironment environment{0, 0x027F, 0x1FBF};
  std::string environmentName = "on a 16-byte aligned stack with Windows' own settings";
  // The n-th call (from 1) of service slot ends abnormally, unwinding past
  // the module's frames to the player, during the next call's export.
  void EndAbnormally(uint32_t slot, int nth) { abnormalSlot_ = slot, abnormalNth_ = nth; }
  bool endedAbnormally() const { return ended_; }

  // What the host saw of the last call: its answer, every service call with
  // its arguments, the records registered and the drag state, for
  // comparing one run with another.
  const std::string& seen() const { return seen_; }
  uint32_t calls() const { return calls_; }
  Host& host() { return host_; }

 private:
  std::string Call(ExportIndex which, std::vector<uint32_t> args, uint32_t* eax);
  std::string Event(const Op& op, uint32_t eax);
  std::string Query(const Op& op, uint32_t eax);
  unsigned char* Context(int which);

  Probe& probe_;
  Host host_;
  std::array<unsigned char, kContextBytes> spare_{};
  std::array<void*, orbitrix::kServiceSlots> bound_{};
  void* module_;  // as the last entry gave it
  orbitrix::GuiOptionRecord* options_[4] = {};
  DragAnchor anchor_{};
  uint32_t abnormalSlot_ = 0;
  int abnormalNth_ = 0;
  bool ended_ = false;
  uint32_t calls_ = 0;
  std::string seen_;
};

// The script a reproduction starts from: the views the steps use, each
// without attributes as the player's host starts it, the cursor at 0,0.
SessionWriter StartingSession();

// Writes the step into a session script as far as its commands reach; the
// rest becomes a comment. False when it did.
bool Write(const Op& op, SessionWriter& session);

}  // namespace sim::validate
