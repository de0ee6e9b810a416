// orbitrix_bench: each kind of mouse event timed on both sides, then a
// table that sets them side by side with the heap allocations each one makes.
// Timings mean something only where 32-bit code runs on the processor itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/events.h"

using namespace bench;

namespace {

// Allocations are counted over the timed loop only: the benchmark library
// allocates around it.
template <void (*Prepare)(), void (*Event)()>
void Timed(benchmark::State& state) {
  Prepare();
  const uint64_t before = Allocations();
  for (auto _ : state) Event();
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(Allocations() - before),
                                                benchmark::Counter::kAvgIterations);
}

// The event is a constant of the loop, as it was when the host looked it up.
template <size_t... I>
void RegisterAll(std::index_sequence<I...>) {
  ((benchmark::RegisterBenchmark((std::string(kKinds[I].id) + "/plug-in").c_str(),
                                 Timed<kKinds[I].prepare, kKinds[I].plugin>),
    benchmark::RegisterBenchmark((std::string(kKinds[I].id) + "/floor").c_str(),
                                 Timed<kKinds[I].prepare, kKinds[I].floor>)),
   ...);
}

// --- The summary ----------------------------------------------------------------

struct Figures {
  std::vector<double> ns;      // CPU time per event, one per repetition
  std::vector<double> allocs;  // allocations per event, likewise
};

// Whether a run did not measure: Google Benchmark 1.8 replaced the flag
// error_occurred with skipped (Debian 12 has 1.7, Debian 13 has 1.9).
template <typename Run>
bool Skipped(const Run& run) {
  if constexpr (requires { run.skipped; }) {
    return static_cast<int>(run.skipped) != 0;
  } else {
    return run.error_occurred;
  }
}

// Passes everything on to the console and keeps each repetition's figures
// for the table.
class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Figures> figures;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (Skipped(run) || run.run_type != Run::RT_Iteration) continue;
      Figures& f = figures[run.run_name.function_name];
      const auto allocs = run.counters.find("allocs");
      f.allocs.push_back(allocs == run.counters.end() ? 0 : allocs->second.value);
      f.ns.push_back(run.GetAdjustedCPUTime() * NanosecondsPer(run.time_unit));
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  static double NanosecondsPer(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1;
    }
  }
};

// The fastest repetition stands for each side: on a shared machine the
// slower ones measure the neighbours as much as the code. Allocations are the
// most seen in any repetition. The limits are not judged here: they are held
// by the instruction counts, which are exact.
void PrintTable(const Collector& collector) {
  std::printf("\nCPU time per event, fastest of the repetitions\n");
  std::printf("%-22s %12s %10s %7s %13s\n", "event", "plug-in ns", "floor ns", "ratio",
              "allocs/event");
  for (const Kind& k : kKinds) {
    const auto plugin = collector.figures.find(std::string(k.id) + "/plug-in");
    const auto floor = collector.figures.find(std::string(k.id) + "/floor");
    if (plugin == collector.figures.end() || floor == collector.figures.end()) continue;
    const Figures& p = plugin->second;
    const double pluginNs = *std::min_element(p.ns.begin(), p.ns.end());
    const double floorNs = *std::min_element(floor->second.ns.begin(), floor->second.ns.end());
    const double allocs = *std::max_element(p.allocs.begin(), p.allocs.end());
    std::printf("%-22s %12.2f %10.2f %7.2f %13.3g\n", k.name, pluginNs, floorNs, pluginNs / floorNs,
                allocs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults that keep a whole run well under a minute on a busy two-core
  // machine, interleaved so that load from elsewhere hits both sides alike;
  // flags given on the command line come later and win.
  std::vector<char*> args{argv[0]};
  char repetitions[] = "--benchmark_repetitions=5";
  char minTime[] = "--benchmark_min_time=0.2";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.end(), {repetitions, minTime, interleave});
  args.insert(args.end(), argv + 1, argv + argc);
  int n = static_cast<int>(args.size());

  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;

  StartHost();
  if (!CheckFloors()) return 1;
  RegisterAll(std::make_index_sequence<std::size(kKinds)>());

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  PrintTable(collector);
  return 0;
}
