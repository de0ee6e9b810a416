// Seeded random calls of every export, with hostile answers, contexts and
// bindings; a failure comes back shortened into a session script.
#include <windows.h>

#include <fstream>

#include "sim/host/desktop.h"
#include "sim/session/writer.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/fuzz/fuzzer.h"
#include "sim/validate/fuzz/shorten.h"

namespace sim::validate {

namespace {

uint64_t FuzzCalls(Level level) {
  const uint64_t counts[] = {20000, 200000, 2000000};
  return counts[static_cast<int>(level)];
}

}  // namespace

bool Fuzz(Probe& p, Host& host) {
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

// A failure shortened into a session script.
std::string ExplainFuzz(const Settings& s, const Outcome& first) {
  if (first.step < 0) return "         (the failure came before the first call)\n";
  const uint32_t last = static_cast<uint32_t>(first.step);
  const auto same = [&](const Outcome& o) {
    return o.kind == first.kind && (o.kind != Outcome::kCrashed || o.exitCode == first.exitCode);
  };
  // Each try is a child process of its own: a few dozen at most.
  int tries = 0;
  const std::string file = TempFile();
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
  DeleteFileA(file.c_str());

  const Screen screen = CursorScreen();
  Fuzzer fuzzer(CheckSeed(s.seed, "fuzz"), screen);
  SessionWriter session = StartingSession(screen);
  std::string failing;
  for (uint32_t index = 0, next = 0; index <= last && (reproduced ? next < kept.size() : true);
       ++index) {
    const Op op = fuzzer.Next();
    if (index == last) failing = Describe(op);
    if (reproduced && kept[next] != index) continue;
    ++next;
    if (reproduced) Write(op, session);
  }
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

}  // namespace sim::validate
