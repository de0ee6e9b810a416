// What a validator check is and what it works with: the probe it runs with
// in its child process, the registry entry that names it, the outcome the
// validator makes of its child, and small helpers for looking at a host's
// log.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/host/plugin.h"

namespace sim::validate {

enum class Level { kQuick, kStandard, kExtensive };
inline constexpr const char* kLevelNames[] = {"quick", "standard", "extensive"};

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
  const std::string& name() const { return name_; }
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
  std::string name_;
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
  const char* what;     // one line, for --list
  int limitSeconds[3];  // per level; past it the child is ended and the check hung
  bool (*run)(Probe&);
  // Optional, run by the validator after a failure: more lines for the report.
  std::string (*explain)(const Settings&, const Outcome&) = nullptr;
};

// Every check, in the order they run.
const std::vector<Check>& Registry();

// Fills in the outcome from what a check's child printed and its exit code;
// a hung one stays hung.
void Judge(const std::string& output, Outcome* o);

// Runs the named check in a child process of its own, with extra arguments
// for it, and ends the child after limitSeconds (times ORBITRIX_TIME_SCALE).
Outcome RunInChild(const Settings& settings, const std::string& name,
                   const std::vector<std::string>& extra, double limitSeconds);

// --- Helpers for the checks --------------------------------------------------

// The module's own tool id.
constexpr uint32_t kOurs0 = orbitrix::kToolId.word0, kOurs1 = orbitrix::kToolId.word1;

// The log as one line, for counterexamples; "no host call" when empty.
std::string LogText(const Host& host);

// Deletes the button bitmaps the module registered, as their owner, the
// host, must, and forgets their registrations. False if one is not a bitmap.
bool DeleteButtons(Host& host);

// The seed of a check's own random numbers in a run with this seed.
uint64_t CheckSeed(uint64_t seed, const std::string& checkName);

// The words that repeat a check's run, e.g. "seed 7: orbitrix-sim validate
// --seed 7 --level quick --only ^rules$ repeats it".
std::string Again(const Probe& p);

// A fresh temporary file's name; "" if there is none.
std::string TempFile();

// An exception code in words, e.g. "access violation"; and whether it is
// one of the floating-point exceptions.
const char* ExceptionName(unsigned long code);
bool IsFloatException(unsigned long code);

// The module and offset of an address, e.g. orbitrix.mcp+0x1A2B.
std::string Where(const void* address);

}  // namespace sim::validate
