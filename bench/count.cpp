// orbitrix_count: runs one kind of mouse event N times on one side and prints
// the heap allocations they made.
//
//   orbitrix_count KIND plug-in|floor N
//   orbitrix_count --list          the kinds: id, recorded ratio, name, one a line
//   orbitrix_count --heap          the heap count's proof: the allocations and
//                                  releases of one call of each heap function
//
// Under qemu with every executed instruction logged, a run with N events less
// a run with none gives the guest instructions of N events exactly, the same
// run after run: bench/run.sh does that. The program is linked statically, so
// that little but the events runs at all.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "bench/events.h"

using namespace bench;

namespace {

template <void (*Event)()>
void Repeat(long n) {
  for (long i = 0; i < n; ++i) Event();
}

// The event is a constant of the loop, as in orbitrix_bench.
template <size_t... I>
void RunKind(size_t kind, bool plugin, long n, std::index_sequence<I...>) {
  ((I == kind ? (plugin ? Repeat<kKinds[I].plugin>(n) : Repeat<kKinds[I].floor>(n)) : void()), ...);
}

int Usage() {
  std::fprintf(stderr, "usage: orbitrix_count KIND plug-in|floor N | --list | --heap\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (const Kind& k : kKinds) std::printf("%s\t%.3f\t%s\n", k.id, k.recorded, k.name);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--heap") == 0) {
    const HeapUse use = EveryHeapCall();
    std::printf("%llu %llu\n", static_cast<unsigned long long>(use.allocations),
                static_cast<unsigned long long>(use.releases));
    return 0;
  }
  if (argc != 4) return Usage();
  size_t kind = std::size(kKinds);
  for (size_t i = 0; i < std::size(kKinds); ++i)
    if (std::strcmp(argv[1], kKinds[i].id) == 0) kind = i;
  const bool plugin = std::strcmp(argv[2], "plug-in") == 0;
  char* end;
  const long n = std::strtol(argv[3], &end, 10);
  if (kind == std::size(kKinds) || (!plugin && std::strcmp(argv[2], "floor") != 0) || *end || n < 0)
    return Usage();

  StartHost();
  if (!CheckFloors()) return 1;
  kKinds[kind].prepare();
  const uint64_t before = Allocations();
  RunKind(kind, plugin, n, std::make_index_sequence<std::size(kKinds)>());
  std::printf("%llu\n", static_cast<unsigned long long>(Allocations() - before));
  return 0;
}
