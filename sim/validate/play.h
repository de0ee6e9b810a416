// Steps played at the real module: what it finds of Windows comes from
// stand-ins, every call is made through the stack probe in a calling
// environment of the check's choosing, and every call is judged by the rules
// (sim/rules, through sim/session/effect.h) and held to that environment.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/rules/events.h"
#include "sim/validate/check.h"
#include "sim/validate/sequence.h"
#include "sim/host/stack_probe.h"

namespace sim::validate {

// Plays at the module loaded in the probe, its own imports of the system's
// calls pointed at the stand-ins of sim/host/desktop.h.
class Player {
 public:
  Player(Probe& probe, const Plugin& plugin);

  // Carries out the step and judges a call: "" when it did what the rules
  // say, else what it did and what the rule wanted, naming the call.
  std::string Do(const Op& op);
  // The same, failing the check with the seed that repeats it.
  bool Play(const Op& op);

  // Where calls are made. Unless a check says otherwise, as Windows starts a
  // thread, but with MXCSR's status flags set: whether the module raises
  // one is the calling environment's to show.
  CallEnvironment environment{0, 0x027F, 0x1FBF};
  std::string environmentName = "on a 16-byte aligned stack with Windows' own settings";
  // The nth call (from 1) of service slot during the next call ends
  // abnormally, unwinding past the module's frames to the player.
  void EndAbnormally(uint32_t slot, int nth) { abnormalSlot_ = slot, abnormalNth_ = nth; }
  bool endedAbnormally() const { return ended_; }
  // What the host saw of the last call, for comparing runs: its answer,
  // every service call with its arguments, the records and the drag state.
  const std::vector<std::string>& seen() const { return seen_; }
  uint32_t calls() const { return calls_; }

 private:
  std::string Call(ExportIndex which, const std::vector<uint32_t>& args, uint32_t* eax);
  std::string Query(const Op& op, uint32_t eax);
  unsigned char* Context(int which);

  Probe& probe_;
  Host host_;
  std::array<unsigned char, kContextBytes> spare_{};
  std::array<void*, orbitrix::kServiceSlots> bound_{};
  void* module_;  // as the last entry gave it
  orbitrix::GuiOptionRecord* options_[4] = {};
  DragAnchor anchor_{};
  orbitrix::Pixel cursor_{};
  uint32_t abnormalSlot_ = 0;
  int abnormalNth_ = 0;
  bool ended_ = false;
  uint32_t calls_ = 0;
  std::vector<std::string> seen_;
};

}  // namespace sim::validate
