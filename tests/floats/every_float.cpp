// every_float: the release's snap and the move's arithmetic on every
// single-precision angle there is, each of the 2^32 bit patterns, held bit
// for bit against the rules of sim/rules/, not a number and the infinities
// included: IsNearRightAngle and RoundToRightAngle, and the move's turn, the
// pattern as the anchor's heading and pitch, with the pitch limit alone and
// then moved by a travel the pattern gives (mostly a few screens' width; one
// pattern in eight between two positions anywhere in the int32_t range,
// beyond what a float holds exactly; one in eight onto a point halfway
// between two floats, or just off one), the limit on or off. On the subset
// below, the tool's side runs under each MXCSR a host may leave, a piece of
// the patterns at a time: to nearest, toward zero, down, up, and flushing to
// zero with denormals taken as zero; on the whole, under the first.
//
// It is built with the module's flags (optimised, SSE2, no sanitizers, no
// contraction into fused multiply-adds) as the module's 32-bit code, which
// runs the whole where the processor runs 32-bit programs: the module's own
// arithmetic, proved on every pattern. Under qemu-user the whole would take
// it about half an hour, so there the build machine's own 64-bit program,
// built the same, runs the whole (tests/floats/CMakeLists.txt). That proves
// the module's arithmetic because both are IEEE single and double arithmetic
// done by SSE2 instructions, rounded as written: no excess precision (x87),
// no contraction, no fast-math. Building either with x87 arithmetic,
// fast-math or FMA contraction would break that, and the two then disagree:
// the 32-bit build runs the subset there, and its results must match the
// 64-bit build's bit for bit (the digest).
//
//   every_float [--whole | --spread] [--write-digest FILE | --compare-digest FILE]
//
// By default every pattern, except for the 32-bit build under qemu-user:
// there an evenly spread subset with every pattern close to the rules'
// edges; the first line says which ran. Every run also digests the results
// on that subset, and may write its digest or hold its own to one written.
// Exits 1 on any difference.
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/rules/oracle.h"
#include "tool/angles.h"
#if defined(__i386__)
#include "tests/emulation.h"
#else
bool UnderQemuUser() { return false; }
#endif

namespace {

using Bits = uint32_t;

uint32_t BitsOf(float a) { return std::bit_cast<uint32_t>(a); }

// Where a pattern's move starts and ends: mostly a few screens' width
// apart; for one pattern in eight between two positions anywhere in the
// int32_t range, a travel of up to 2^32 pixels; and for one in eight aimed at
// a tie, where a sum rounded twice (to double, then to single) can land on
// the wrong float: see TieTravel.
struct Travel {
  orbitrix::Pixel from, to;
};

// A point halfway between two floats of 2^25 to 2^31 in magnitude, either
// sign: an odd multiple of half their spacing, which is 4 to 128 there.
int64_t Halfway(uint32_t h) {
  const int binade = 25 + static_cast<int>(h >> 29) % 6;
  const int64_t m =
      (int64_t{1} << binade) + (2 * int64_t{h & 0x7FFFFF} + 1) * (int64_t{1} << (binade - 24));
  return h & 0x800000 ? -m : m;
}

// A travel from anchor a onto a halfway point, or just off one. From a tiny
// anchor, within 1 of zero, the travel is h's halfway point itself: the
// exact sum lies just off it, where a double may hold the sum only rounded
// onto it (from zero, on it). From whole degrees beyond 2^24, for half of
// the h, onto the halfway point beside the anchor on either side, while half
// the spacing is a whole travel. Otherwise h's halfway point less the
// anchor's whole degrees: onto it from whole degrees, a fraction off it from
// an anchor with a fraction; the halfway point itself from beyond 2^31,
// where that travel is too long, and from infinities and not a number.
int64_t TieTravel(float a, uint32_t h) {
  const int64_t halfway = Halfway(h);
  if (!std::isfinite(a) || std::fabs(a) < 1.0f) return halfway;
  if ((h & 0x1000000) && std::fabs(a) >= 16777216.0f) {
    const float next = std::nextafter(a, h & 0x2000000 ? INFINITY : -INFINITY);
    const double half = (static_cast<double>(next) - a) / 2;
    if (std::fabs(half) < 2147483648.0 && half == std::trunc(half))
      return static_cast<int64_t>(half);
  }
  const double whole = std::trunc(static_cast<double>(a));
  if (std::fabs(whole) > 2147483648.0) return halfway;
  return halfway - static_cast<int64_t>(whole);
}

// Two positions in the int32_t range that far apart (less than 2^32), about
// halfway either side of zero.
std::pair<int32_t, int32_t> Apart(int64_t travel, uint32_t h) {
  const int64_t from = -(travel / 2) + static_cast<int64_t>(h >> 27) - 16;
  return {static_cast<int32_t>(from), static_cast<int32_t>(from + travel)};
}

Travel TravelOf(Bits b) {
  const uint32_t h = b * 2654435761u, g = (b ^ 0x5BD1E995) * 2246822519u;
  switch ((b >> 1) & 7) {
    case 0:
      return {{static_cast<int32_t>(h), static_cast<int32_t>(g)},
              {static_cast<int32_t>(g ^ 0xA5A5A5A5), static_cast<int32_t>(h * 3)}};
    case 1: {
      const float a = std::bit_cast<float>(b);
      const auto [x0, x1] = Apart(TieTravel(a, h), g);
      const auto [y0, y1] = Apart(TieTravel(a, g), h);
      return {{x0, y0}, {x1, y1}};
    }
  }
  const int32_t dx = static_cast<int32_t>(h >> 20) - 2048,
                dy = static_cast<int32_t>(g >> 20) - 2048;
  return {{300, -5}, {300 + dx, dy - 5}};
}

// The MXCSR a host may call in with, one piece of the patterns each: to
// nearest (Windows' own), toward zero, down, up, and flushing to zero with
// denormals taken as zero. The rules' side always runs under the first. A
// change of MXCSR is slow, and the whole runs under the first alone, set
// once for each thread.
constexpr uint32_t kCallerMxcsr[] = {0x1F80, 0x7F80, 0x3F80, 0x5F80, 0x9FC0};

// What the tool made of one pattern.
struct Results {
  bool near;
  float snapped;
  orbitrix::Angles unmoved, moved;
};

template <bool Hostile>
Results Tool(Bits b, const Travel& t, uint32_t mxcsr) {
  const float a = std::bit_cast<float>(b);
  if (Hostile) _mm_setcsr(mxcsr);
  // A press with this angle for both heading and pitch: the pitch through
  // the limit unmoved; then moved, with the limit on or off.
  const Results r{orbitrix::IsNearRightAngle(a), orbitrix::RoundToRightAngle(a),
                  orbitrix::Turn({{0, 0}, {a, a}}, {0, 0}, true),
                  orbitrix::Turn({t.from, {a, a}}, t.to, b & 1)};
  if (Hostile) _mm_setcsr(kCallerMxcsr[0]);
  return r;
}

bool Same(orbitrix::Angles got, float heading, float pitch) {
  return BitsOf(got.heading) == BitsOf(heading) && BitsOf(got.pitch) == BitsOf(pitch);
}

// What differs from the rules for one pattern, or null.
const char* Wrong(Bits b, const Travel& t, const Results& r) {
  using sim::Limited, sim::Turned;
  const float a = std::bit_cast<float>(b);
  if (r.near != sim::NearRightAngle(a)) return "IsNearRightAngle";
  // Not a number comes back not a number: the 32-bit convention returns a
  // float in an x87 register, which quiets a signalling one on the way.
  const float target = sim::SnapTarget(a);
  if (BitsOf(r.snapped) != BitsOf(target) && !(std::isnan(r.snapped) && std::isnan(target)))
    return "RoundToRightAngle";
  const float unmoved = Turned(a, 0, 0);
  if (!Same(r.unmoved, unmoved, Limited(unmoved))) return "the pitch limit, unmoved";
  const float pitch = Turned(a, t.from.y, t.to.y);
  if (!Same(r.moved, Turned(a, t.from.x, t.to.x), b & 1 ? Limited(pitch) : pitch)) return "a move";
  return nullptr;
}

uint64_t Mix(uint64_t h) {
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9u;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBu;
  return h ^ (h >> 31);
}

// One pattern's results in the digest, which adds them up, so that the
// order the threads take the patterns in does not matter. A snap's not a
// number counts as one, whatever its bits (see Wrong).
uint64_t Digest(Bits b, const Results& r) {
  const auto pair = [](orbitrix::Angles x) {
    return uint64_t{BitsOf(x.heading)} << 32 | BitsOf(x.pitch);
  };
  uint64_t h = Mix(uint64_t{b} << 1 | r.near);
  h = Mix(h ^ (std::isnan(r.snapped) ? 0x7FC00000 : BitsOf(r.snapped)));
  h = Mix(h ^ pair(r.unmoved));
  return Mix(h ^ pair(r.moved));
}

// The patterns to check: first, first + step, ... up to last.
struct Range {
  uint64_t first, last, step = 1;
};

// Under emulation: every stride-th pattern, and every pattern within kUlps
// of each edge the rules have: the band edges of every multiple of 90 up to
// 2^24 in magnitude, where every whole degree is a float (beyond it the
// stride alone samples them), ±2^31 where the int32_t range ends, ±90 where
// the limit holds, the zeros, the infinities and the first NaNs.
constexpr uint64_t kStride = 61;
constexpr uint32_t kUlps = 4;

void Around(float edge, std::vector<Range>* out) {
  const Bits b = BitsOf(edge);
  const Bits magnitude = b & 0x7FFFFFFF, sign = b & 0x80000000;
  const uint64_t low = magnitude >= kUlps ? magnitude - kUlps : 0;
  out->push_back({sign | low, sign | std::min<uint64_t>(magnitude + kUlps, 0x7FFFFFFF)});
}

std::vector<Range> Spread() {
  std::vector<Range> ranges;
  ranges.push_back({0, 0xFFFFFFFF, kStride});
  for (int64_t m = 0; m <= (1 << 24); m += 90) {
    for (int64_t edge : {m + 20, m + 71, -(m + 20), -(m + 71)})
      Around(static_cast<float>(edge), &ranges);
  }
  for (float edge :
       {2147483648.0f, -2147483648.0f, 90.0f, -90.0f, 0.0f, -0.0f,
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
    Around(edge, &ranges);
  ranges.push_back({0x7F800000, 0x7F800000 + kUlps});  // the infinity and the NaNs after it
  ranges.push_back({0xFF800000, 0xFF800000 + kUlps});
  return ranges;
}

struct Tally {
  std::atomic<uint64_t> checked{0}, near{0}, wrong{0}, digest{0};
  std::mutex m;
  std::vector<std::pair<Bits, const char*>> examples;
};

// The ranges cut into pieces of at most n patterns, for the threads to take
// one at a time.
std::vector<Range> Pieces(const std::vector<Range>& ranges, uint64_t n) {
  std::vector<Range> pieces;
  for (const Range& r : ranges) {
    for (uint64_t first = r.first; first <= r.last; first += n * r.step)
      pieces.push_back({first, std::min(first + (n - 1) * r.step, r.last), r.step});
  }
  return pieces;
}

// The subset runs the tool under every caller's MXCSR, a piece at a time,
// and digests its results; the whole runs it under Windows' own and digests
// nothing.
template <bool Subset>
void Work(const std::vector<Range>& pieces, std::atomic<size_t>* next, Tally* tally) {
  uint64_t checked = 0, near = 0, wrong = 0, digest = 0;
  _mm_setcsr(kCallerMxcsr[0]);
  for (size_t i; (i = next->fetch_add(1)) < pieces.size();) {
    const uint32_t mxcsr = kCallerMxcsr[Subset ? i % std::size(kCallerMxcsr) : 0];
    for (uint64_t b = pieces[i].first; b <= pieces[i].last; b += pieces[i].step) {
      const Travel t = TravelOf(static_cast<Bits>(b));
      const Results r = Tool<Subset>(static_cast<Bits>(b), t, mxcsr);
      ++checked;
      near += r.near;
      if (Subset) digest += Digest(static_cast<Bits>(b), r);
      if (const char* what = Wrong(static_cast<Bits>(b), t, r)) {
        ++wrong;
        std::lock_guard<std::mutex> lock(tally->m);
        if (tally->examples.size() < 10) tally->examples.push_back({static_cast<Bits>(b), what});
      }
    }
  }
  tally->checked += checked;
  tally->near += near;
  tally->wrong += wrong;
  tally->digest += digest;
}

// The patterns of ranges checked on every thread there is, as the subset or
// as the whole (see Work).
void Run(const std::vector<Range>& ranges, bool subset, Tally* tally) {
  const std::vector<Range> pieces = Pieces(ranges, uint64_t{1} << 22);
  const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < threads; ++i)
    workers.emplace_back(subset ? Work<true> : Work<false>, std::cref(pieces), &next, tally);
  for (std::thread& t : workers) t.join();
}

void Report(const Tally& tally, double seconds) {
  for (auto [b, what] : tally.examples) {
    const float a = std::bit_cast<float>(b);
    std::printf("  0x%08" PRIX32 " (%.9g): %s differs from its rule\n", b, static_cast<double>(a),
                what);
  }
  std::printf("%" PRIu64 " patterns checked in %.0f s (%" PRIu64
              " of them near a right angle): %" PRIu64 " differ\n",
              tally.checked.load(), seconds, tally.near.load(), tally.wrong.load());
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Usage() {
  std::fprintf(stderr,
               "usage: every_float [--whole | --spread] [--write-digest FILE | --compare-digest "
               "FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool whole = !UnderQemuUser();
  std::string write, compare;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--whole") == 0) {
      whole = true;
    } else if (std::strcmp(argv[i], "--spread") == 0) {
      whole = false;
    } else if (std::strcmp(argv[i], "--write-digest") == 0 && i + 1 < argc) {
      write = argv[++i];
    } else if (std::strcmp(argv[i], "--compare-digest") == 0 && i + 1 < argc) {
      compare = argv[++i];
    } else {
      return Usage();
    }
  }
  const char* build = sizeof(void*) == 4 ? "the module's 32-bit build" : "a 64-bit build";
  const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
  if (whole) {
    std::printf("every float: all 4294967296 bit patterns, %s, on %u threads\n", build, threads);
  } else {
    std::printf(
        "every float, a subset%s: 1 in %" PRIu64
        " of the bit patterns, evenly spread, and every "
        "one within %u units in the last place of each band edge up to 2^24, of +-2^31, +-90, "
        "the zeros, the infinities and the first NaNs, %s, on %u threads\n",
        UnderQemuUser() ? " (under qemu-user the whole would take about half an hour)" : "",
        kStride, kUlps, build, threads);
  }
  std::fflush(stdout);

  auto start = std::chrono::steady_clock::now();
  Tally tally;
  Run(whole ? std::vector<Range>{{0, 0xFFFFFFFF}} : Spread(), !whole, &tally);
  Report(tally, Since(start));
  bool held = tally.wrong == 0 && (!whole || tally.checked == (uint64_t{1} << 32));

  // The subset under every caller's MXCSR, and its digest, which every run
  // can afford.
  Tally spread;
  if (whole) {
    start = std::chrono::steady_clock::now();
    Run(Spread(), true, &spread);
    if (spread.wrong) Report(spread, Since(start));
    held = held && spread.wrong == 0;
  }
  const Tally& digested = whole ? spread : tally;
  const uint64_t digest = digested.digest.load();
  std::printf("digest of the results on the subset's %" PRIu64 " patterns: %016" PRIX64 "\n",
              digested.checked.load(), digest);
  if (!write.empty()) {
    std::ofstream(write) << std::hex << digest << "\n";
  }
  if (!compare.empty()) {
    uint64_t theirs = 0;
    std::ifstream in(compare);
    if (!(in >> std::hex >> theirs)) {
      std::printf("no digest to compare with in %s\n", compare.c_str());
      held = false;
    } else if (theirs != digest) {
      std::printf("the 64-bit build's digest is %016" PRIX64 ": the two builds differ\n", theirs);
      held = false;
    } else {
      std::printf("the same as the 64-bit build's\n");
    }
  }
  return held ? 0 : 1;
}
