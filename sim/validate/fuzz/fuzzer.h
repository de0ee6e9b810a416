// The fuzzer's steps: drawn from a seed alone, carried out on a started
// host, and written back as a session script for a reproduction.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "sim/host/host.h"
#include "sim/session/writer.h"
#include "sim/validate/check.h"

namespace sim::validate {

// One step of the fuzzer: a call of an export, or something the host or the
// user changes between calls.
struct Op {
  enum Kind {
    kInit,
    kEntry,
    kInfo,
    kReleasePlugin,
    kToolInfo,
    kGuiInfo,
    kSwitch,
    kButton,
    kMove,  // calls
    kCursor,
    kCtrl,
    kOption,
    kAttr,
    kUnset,
    kCamera,
    kState
  } kind = kCursor;
  uint32_t w0 = kOurs0, w1 = kOurs1, a1 = 0, a2 = 0;
  uint32_t index = 0;  // init: the slot; info: the index; option: its number
  uint32_t value = 0;  // init: 0 null, 1 its service, 2 a wild pointer; entry: the version;
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

// The step in words, e.g. MCP_ToolMouseMove(id 0xAAAA:0x0, buttons 0x1, ...).
std::string Describe(const Op& op);

// Draws the fuzzer's steps from its seed alone, so the validator can draw
// the same ones again to describe a failure. Cursor positions stay on screen.
class Fuzzer {
 public:
  Fuzzer(uint64_t seed, const Screen& screen) : rng_(seed), screen_(screen) {}
  Op Next();

 private:
  uint32_t Word() { return static_cast<uint32_t>(rng_()); }
  uint32_t Below(uint64_t n) { return static_cast<uint32_t>(rng_() % n); }
  uint32_t Pick(std::initializer_list<uint32_t> values) {
    return values.begin()[Below(values.size())];
  }
  void Foreign(Op* op);

  std::mt19937_64 rng_;
  Screen screen_;
};

// Where the fuzzer starts: views 1 and 2 plain (view 2 at heading 30, pitch
// 10), view 3 one the host has nothing for, the cursor mid-screen.
void StartingViews(Host& host);
inline int32_t StartX(const Screen& s) { return (s.left + s.right) / 2; }
inline int32_t StartY(const Screen& s) { return (s.top + s.bottom) / 2; }

// Carries out the fuzzer's steps on a started host and holds each call's
// answer to what the contract allows.
class FuzzRun {
 public:
  explicit FuzzRun(Host& host);
  // "" when the answer was allowed, else what was wrong.
  std::string Do(const Op& op, uint32_t index);
  uint64_t calls() const { return calls_; }
  // The slowest call so far, host services included.
  std::string Slowest() const;

 private:
  Host& host_;
  std::array<unsigned char, kContextBytes> spare_{};
  orbitrix::GuiOptionRecord* options_[4];
  bool registerBound_ = true;
  uint64_t calls_ = 0;
  double slowest_ = 0;
  uint32_t slowestIndex_ = 0;
  std::string slowestWhat_;
};

// The script a reproduction starts from: the fuzzer's starting views.
SessionWriter StartingSession(const Screen& s);

// Writes the step into the script as far as its commands reach: a call
// with a foreign id, another or a null context, a binding or a camera with
// opaque values becomes a comment. False when it did.
bool Write(const Op& op, SessionWriter& session);

}  // namespace sim::validate
