// The validator's checks and what they share: the probe a check runs with in
// its child process, the registry entry that names it, the outcome the
// validator makes of its child, and small helpers for looking at a host's log.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim/host.h"
#include "sim/plugin.h"

namespace sim::validate {

enum class Level { kQuick, kStandard, kExtensive };

struct Settings {
  std::string plugin = "dist\\orbitrix.mcp";
  uint64_t seed = 0;
  Level level = Level::kQuick;
};

// Memory shared by a check's child and the validator: a child that crashes or
// hangs cannot say where it was, so it keeps saying so here as it goes.
struct Board {
  char at[500];
  volatile int32_t step;  // the fuzzer's current call, -1 before the first
};

// What a check sees in its child process.
class Probe {
 public:
  Probe(const Settings& settings, const std::string& checkName, Board* board);

  const Settings& settings() const { return settings_; }
  // The figure for the run's level.
  uint64_t Scaled(uint64_t quick, uint64_t standard, uint64_t extensive) const;
  // The module, loaded on first use for the child's whole life; null (with
  // the failure recorded) when it cannot be loaded.
  const Plugin* plugin();
  // Names the case under way, for a crash or hang report.
  void At(const std::string& what);
  void Step(int32_t step) { board_->step = step; }
  // Records the counterexample and answers false, so that a check can end
  // with `return p.Fail(...)`.
  bool Fail(const std::string& counterexample);
  // A figure shown with the outcome.
  void Note(const std::string& figure) { notes_.push_back(figure); }

  const std::string& failure() const { return failure_; }
  const std::vector<std::string>& notes() const { return notes_; }

  std::mt19937_64 rng;
  std::vector<uint32_t> replay;  // the fuzzer's calls to repeat; empty: all of them

 private:
  Settings settings_;
  Board* board_;
  Plugin plugin_{};
  bool loaded_ = false;
  std::string failure_;
  std::vector<std::string> notes_;
};

// What the validator made of a check's child.
struct Outcome {
  enum Kind { kPassed, kFailed, kCrashed, kHung } kind = kCrashed;
  std::string detail;  // the counterexample, the crash or the time limit
  std::vector<std::string> notes;
  double seconds = 0;
  int32_t step = -1;  // from the board
  unsigned long exitCode = 0;
};

struct Check {
  const char* name;
  const char* what;  // one line, for --list
  bool (*run)(Probe&);
  int limitSeconds[3];  // per level; past it the child is ended and the check hung
  // Optional, run by the validator after a failure: more lines for the report.
  std::string (*explain)(const Settings&, const Outcome&) = nullptr;
};

std::vector<Check> ModuleChecks();
std::vector<Check> AttributeChecks();
std::vector<Check> CameraChecks();
std::vector<Check> SequenceChecks();

// Fills in the outcome from what a check's child printed and its exit code;
// a hung one stays hung.
void Judge(const std::string& output, Outcome* o);

// Runs the named check in a child process of its own, with extra arguments
// for it, and ends the child after limitSeconds.
Outcome RunInChild(const Settings& settings, const std::string& name,
                   const std::vector<std::string>& extra, double limitSeconds);

// --- Helpers for the checks --------------------------------------------------

// The module's own tool id.
constexpr uint32_t kOurs0 = orbitrix::kToolId.word0, kOurs1 = orbitrix::kToolId.word1;

// Starts the host as a host does at start-up; false with the failure recorded
// when the module refuses or registers less than it must.
bool StartHost(Probe& p, Host& host);

// The host's calls through a slot, counted; the last one, or null.
int CountCalls(const Host& host, uint32_t slot);
const Call* LastCall(const Host& host, uint32_t slot);
// The log as one line, for counterexamples; "no host call" when empty.
std::string LogText(const Host& host);

// The seed of a check's own random numbers in a run with this seed.
uint64_t CheckSeed(uint64_t seed, const std::string& checkName);

// Whether a release snaps from this angle: its whole degrees, truncated
// toward zero, within 20 of a multiple of 90. Not a number, infinities and
// angles beyond the int32_t range never are.
bool NearRightAngle(float degrees);

// An attribute the host answers as its contract says.
inline Attribute Value(const std::string& text) {
  Attribute a;
  a.value = text;
  return a;
}

// The same angle, a NaN matching any NaN.
bool SameAngle(float a, float b);
std::string Bits(uint32_t v);
std::string Angle(float a);

// The screen the cursor can reach: left, top, right, bottom (inclusive).
struct Screen {
  int32_t left, top, right, bottom;
};
Screen CursorScreen();
// Puts the cursor at x,y and answers where the system put it.
void CursorTo(int32_t x, int32_t y, int32_t* gotX, int32_t* gotY);

}  // namespace sim::validate
