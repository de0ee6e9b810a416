// Checks of event sequences: every short sequence a clumsy user can make, and
// seeded fuzzing of all nine exports, whose failures the validator shortens
// into a session script.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "host/abi.h"
#include "sim/checks.h"
#include "sim/desktop.h"
#include "sim/format.h"
#include "sim/fuzz.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

void PlainView(View& v) {
  v.attributes["UV"] = Value("0");
  v.attributes["Pers"] = Value("1");
}

// --- Event order -------------------------------------------------------------

enum Symbol { kPress, kMove, kRelease, kCtrlDown, kCtrlUp, kSwitch, kPress2, kMove2, kRelease2 };
const char* const kSymbols[] = {"press",           "move",           "release",
                                "Ctrl down",       "Ctrl up",        "switch",
                                "press on view 2", "move on view 2", "release on view 2"};

std::string Sequence(const std::vector<int>& s, size_t upTo) {
  std::string text;
  for (size_t i = 0; i < upTo; ++i) text.append(i ? ", " : "").append(kSymbols[s[i]]);
  return text.empty() ? "nothing" : text;
}

// Plays one sequence from rest and holds each event to what the contract
// gives for it: its answer, the drag state after it, and whether it wrote
// the camera (only a move during a drag, or a release that snaps).
bool PlaySequence(Probe& p, Host& host, const std::vector<int>& s) {
  std::memset(host.context(), 0, 64);
  PlainView(host.view(1));
  PlainView(host.view(2));
  host.view(1).setAngles(5, 3);
  host.view(2).setAngles(45, -40);
  bool ctrl = false;
  SetCtrl(false);
  int32_t state = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const int symbol = s[i];
    if (symbol == kCtrlDown || symbol == kCtrlUp) {
      ctrl = symbol == kCtrlDown;
      SetCtrl(ctrl);
      continue;
    }
    const ViewHandle v = symbol >= kPress2 ? 2 : 1;
    const int kind = symbol >= kPress2 ? symbol - kPress2 : symbol;
    const View& view = host.view(v);
    host.ClearLog();
    int32_t r = 0, expected = 0, next = state;
    bool mayWrite = false;
    if (symbol == kSwitch) {
      r = host.Switch();
      expected = 1, next = 0;
    } else if (kind == kPress) {
      SetCursor(400, 300);
      r = host.Press(v);
      if (state == 0) next = 1;
    } else if (kind == kMove) {
      SetCursor(400 + 6 * static_cast<int32_t>(i + 1), 300 - 4 * static_cast<int32_t>(i + 1));
      mayWrite = state >= 1;
      expected = mayWrite ? 0 : 2;
      if (mayWrite) next = 2;
      r = host.Move(v);
    } else {
      mayWrite = ctrl && NearRightAngle(view.heading()) && NearRightAngle(view.pitch());
      r = host.Release(v);
      next = 0;
    }
    const bool wrote = CountCalls(host, kSetViewCamera) > 0;
    if (r != expected || host.dragState() != next || wrote != mayWrite ||
        (symbol == kSwitch && !host.log.empty()))
      return p.Fail(Format(
          "after %s: %s answered %d with drag state %d and made %s (expected %d, "
          "drag state %d, %s)",
          Sequence(s, i).c_str(), kSymbols[symbol], r, host.dragState(), LogText(host).c_str(),
          expected, next, mayWrite ? "a camera write" : "no camera write"));
    state = next;
  }
  return true;
}

bool EventOrder(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  if (!StartHost(p, host)) return false;
  const int longest = static_cast<int>(p.Scaled(4, 4, 5));
  int sequences = 0;
  for (int length = 1; length <= longest; ++length) {
    int total = 1;
    for (int i = 0; i < length; ++i) total *= 9;
    for (int n = 0; n < total; ++n) {
      std::vector<int> s;
      for (int i = 0, rest = n; i < length; ++i, rest /= 9) s.push_back(rest % 9);
      p.At(Cat({"the sequence ", Sequence(s, s.size())}));
      if (!PlaySequence(p, host, s)) return false;
      ++sequences;
    }
  }
  SetCtrl(false);
  p.Note(Format("%d sequences of up to %d events", sequences, longest));
  return true;
}

// --- Fuzzing -----------------------------------------------------------------

uint64_t FuzzCalls(Level level) {
  const uint64_t counts[] = {20000, 200000, 2000000};
  return counts[static_cast<int>(level)];
}

bool Fuzz(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  if (!StartHost(p, host)) return false;
  StartingViews(host);
  const Screen screen = CursorScreen();
  SetCursor(StartX(screen), StartY(screen));
  Fuzzer fuzzer(CheckSeed(p.settings().seed, "fuzz"), screen);
  FuzzRun run(host);
  const uint64_t wanted = FuzzCalls(p.settings().level);
  size_t next = 0;  // in the replay list
  for (uint32_t index = 0, calls = 0; calls < wanted; ++index) {
    const Op op = fuzzer.Next();
    calls += op.isCall();
    if (!p.replay.empty()) {
      if (next == p.replay.size()) break;
      if (p.replay[next] != index) continue;
      ++next;
    }
    p.Step(static_cast<int32_t>(index));
    const std::string wrong = run.Do(op, index);
    if (!wrong.empty()) return p.Fail(wrong);
  }
  SetCtrl(false);
  p.Note(Format("%llu calls, %s", static_cast<unsigned long long>(run.calls()),
                run.Slowest().c_str()));
  return true;
}

// --- A failure shortened into a session script -------------------------------

std::string ExplainFuzz(const Settings& s, const Outcome& first) {
  if (first.step < 0) return "         (the failure came before the first call)\n";
  const uint32_t last = static_cast<uint32_t>(first.step);
  const auto same = [&](const Outcome& o) {
    return o.kind == first.kind && (o.kind != Outcome::kCrashed || o.exitCode == first.exitCode);
  };
  // Each try is a child process of its own: a few dozen at most.
  int tries = 0;
  char dir[MAX_PATH], file[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "orb", 0, file);
  // A replay that hangs costs its whole limit, so hangs get fewer and
  // shorter tries; a replay of a few steps takes well under a second.
  const bool hung = first.kind == Outcome::kHung;
  const double limit = hung ? 3 : 30;
  const int most = hung ? 12 : 40;
  const auto fails = [&](const std::vector<uint32_t>& steps) {
    ++tries;
    std::ofstream out(file);
    for (uint32_t step : steps) out << step << "\n";
    out.close();
    return same(RunInChild(s, "fuzz", {"--replay", file}, limit));
  };
  const std::vector<uint32_t> kept = Shorten(last, most, fails);
  const bool reproduced = !kept.empty();
  DeleteFileA(file);

  const Screen screen = CursorScreen();
  Fuzzer fuzzer(CheckSeed(s.seed, "fuzz"), screen);
  SessionWriter session(screen);
  std::string failing;
  for (uint32_t index = 0, next = 0; index <= last && (reproduced ? next < kept.size() : true);
       ++index) {
    const Op op = fuzzer.Next();
    if (index == last) failing = Describe(op);
    if (reproduced && kept[next] != index) continue;
    ++next;
    if (reproduced) session.Add(op);
  }
  static const char* const kLevelNames[] = {"quick", "standard", "extensive"};
  std::string text = Format(
      "         at step %u: %s\n         (validate --seed %llu --level %s --only ^fuzz$ repeats "
      "it)\n",
      last, failing.c_str(), static_cast<unsigned long long>(s.seed),
      kLevelNames[static_cast<int>(s.level)]);
  if (!reproduced)
    return text.append(
        Format("         (repeating the steps up to it in %d children did not "
               "fail the same way)\n",
               tries));
  text.append(
      Format("         shortened to %u of its %u steps in %d tries; as a session script "
             "(\"#\" lines are what a script cannot say):\n",
             static_cast<unsigned>(kept.size()), last + 1, tries));
  size_t start = 0;
  const std::string& script = session.text();
  while (start < script.size()) {
    const size_t end = script.find('\n', start);
    text.append("           ").append(script, start, end - start).append("\n");
    start = end + 1;
  }
  return text;
}

}  // namespace

std::vector<Check> SequenceChecks() {
  return {
      {"event-order",
       "every sequence of up to four events: answers, drag state, camera writes",
       EventOrder,
       {60, 60, 600}},
      {"fuzz",
       "seeded random calls of all nine exports: no crash, hang or answer out of bounds",
       Fuzz,
       {60, 300, 1800},
       ExplainFuzz},
  };
}

}  // namespace sim::validate
