// Seeded hostile calls of every export (sim/validate/play.h), each judged by
// the rules; a crash or a hang comes back shortened into a session script.
#include <windows.h>

#include <fstream>

#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/play.h"
#include "sim/validate/sequence.h"
#include "sim/validate/shorten.h"

namespace sim::validate {

bool Fuzz(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Player player(p, *plugin);
  Generator generator(CheckSeed(p.settings().seed, "fuzz"), true);
  const uint64_t wanted = p.Scaled(20000, 200000, 2000000);
  size_t next = 0;  // in the replay list
  for (uint32_t index = 0; player.calls() < wanted; ++index) {
    const Op op = generator.Next();
    if (!p.replay.empty()) {
      if (next == p.replay.size()) break;
      if (p.replay[next] != index) continue;
      ++next;
    }
    p.Step(static_cast<int32_t>(index));
    if (const std::string wrong = player.Do(op); !wrong.empty())
      return p.Fail(Cat({"step ", std::to_string(index), ", ", wrong, "; ", Again(p)}));
  }
  p.Note(Format("%u calls", player.calls()));
  return true;
}

// A crash or a hang shortened to the steps that still bring it.
std::string ExplainFuzz(const Settings& s, const Outcome& first) {
  if (first.kind == Outcome::kFailed) return "";  // the step and the rule are in the line
  if (first.step < 0) return "         (the failure came before the first call)\n";
  const uint32_t last = static_cast<uint32_t>(first.step);
  const auto same = [&](const Outcome& o) {
    return o.kind == first.kind && (o.kind != Outcome::kCrashed || o.exitCode == first.exitCode);
  };
  // Each try is a child process of its own: a few dozen at most. A replay
  // that hangs costs its whole limit, so hangs get fewer and shorter tries.
  int tries = 0;
  const std::string file = TempFile();
  const bool hung = first.kind == Outcome::kHung;
  const auto fails = [&](const std::vector<uint32_t>& steps) {
    ++tries;
    std::ofstream out(file);
    for (uint32_t step : steps) out << step << "\n";
    out.close();
    return same(RunInChild(s, "fuzz", {"--replay", file}, hung ? 3 : 30));
  };
  const std::vector<uint32_t> kept = Shorten(last, hung ? 12 : 40, fails);
  DeleteFileA(file.c_str());
  if (kept.empty())
    return Format(
        "         (repeating the steps up to %u in %d children did not fail the same "
        "way)\n",
        last, tries);
  std::string text = Format("         shortened to %u of its %u steps in %d tries:\n",
                            static_cast<unsigned>(kept.size()), last + 1, tries);
  Generator generator(CheckSeed(s.seed, "fuzz"), true);
  for (uint32_t index = 0, next = 0; next < kept.size(); ++index) {
    const Op op = generator.Next();
    if (kept[next] == index)
      ++next, text.append(Format("           %u: %s\n", index, Describe(op).c_str()));
  }
  return text;
}

}  // namespace sim::validate
