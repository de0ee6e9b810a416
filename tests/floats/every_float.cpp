// every_float: the release's snap and the move's arithmetic on every
// single-precision angle there is, each of the 2^32 bit patterns, held bit
// for bit against the rules of sim/rules/, not a number and the infinities
// included: IsNearRightAngle and RoundToRightAngle, and the move's turn, the
// pattern as the anchor's heading and pitch, with the pitch limit alone and
// then moved by a travel the pattern gives (one pattern in eight moved
// between two positions anywhere in the int32_t range, beyond what a float
// holds exactly), the limit on or off. It is built as the module's code is
// (optimised, SSE2, no sanitizers), so what it holds is what ships; the
// page runs the same code.
//
//   every_float [--whole | --spread]
//
// By default every pattern where 32-bit code runs on the processor (about
// 80 s on two cores), and under qemu-user, where the whole would take about
// half an hour, an evenly spread subset with every pattern close to the
// rules' edges; the first line says which ran. Exits 1 on any difference.
#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/rules/oracle.h"
#include "tests/emulation.h"
#include "tool/drag.h"
#include "tool/snap.h"

namespace {

using Bits = uint32_t;

uint32_t BitsOf(float a) { return std::bit_cast<uint32_t>(a); }

// Where a pattern's move starts and ends: mostly a few screens' width
// apart, and for one pattern in eight between two positions anywhere in the
// int32_t range, a travel of up to 2^32 pixels.
struct Travel {
  orbitrix::sys::Point from, to;
};

Travel TravelOf(Bits b) {
  const uint32_t h = b * 2654435761u, g = (b ^ 0x5BD1E995) * 2246822519u;
  if (((b >> 1) & 7) == 0)
    return {{static_cast<int32_t>(h), static_cast<int32_t>(g)},
            {static_cast<int32_t>(g ^ 0xA5A5A5A5), static_cast<int32_t>(h * 3)}};
  const int32_t dx = static_cast<int32_t>(h >> 20) - 2048,
                dy = static_cast<int32_t>(g >> 20) - 2048;
  return {{300, -5}, {300 + dx, dy - 5}};
}

bool Same(orbitrix::Angles got, float heading, float pitch) {
  return BitsOf(got.heading) == BitsOf(heading) && BitsOf(got.pitch) == BitsOf(pitch);
}

// What went wrong for one pattern, or null; counts the near ones.
const char* Check(Bits b, uint64_t* near) {
  using sim::Limited, sim::Turned;
  const float a = std::bit_cast<float>(b);
  const bool isNear = orbitrix::IsNearRightAngle(a);
  *near += isNear;
  if (isNear != sim::NearRightAngle(a)) return "IsNearRightAngle";
  if (BitsOf(orbitrix::RoundToRightAngle(a)) != BitsOf(sim::SnapTarget(a)))
    return "RoundToRightAngle";
  // A press with this angle for both heading and pitch: the pitch through
  // the limit unmoved; then moved, with the limit on or off.
  if (!Same(orbitrix::Turn({0, 0, a, a}, {0, 0}, true), Turned(a, 0, 0), Limited(Turned(a, 0, 0))))
    return "the pitch limit, unmoved";
  const Travel t = TravelOf(b);
  const bool limit = b & 1;
  const float pitch = Turned(a, t.from.y, t.to.y);
  if (!Same(orbitrix::Turn({t.from.x, t.from.y, a, a}, t.to, limit), Turned(a, t.from.x, t.to.x),
            limit ? Limited(pitch) : pitch))
    return "a move";
  return nullptr;
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
  std::atomic<uint64_t> checked{0}, near{0}, wrong{0};
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

void Work(const std::vector<Range>& pieces, std::atomic<size_t>* next, Tally* tally) {
  uint64_t checked = 0, near = 0, wrong = 0;
  for (size_t i; (i = next->fetch_add(1)) < pieces.size();) {
    for (uint64_t b = pieces[i].first; b <= pieces[i].last; b += pieces[i].step) {
      ++checked;
      if (const char* what = Check(static_cast<Bits>(b), &near)) {
        ++wrong;
        std::lock_guard<std::mutex> lock(tally->m);
        if (tally->examples.size() < 10) tally->examples.push_back({static_cast<Bits>(b), what});
      }
    }
  }
  tally->checked += checked;
  tally->near += near;
  tally->wrong += wrong;
}

int Usage() {
  std::fprintf(stderr, "usage: every_float [--whole | --spread]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool whole = !UnderQemuUser();
  if (argc == 2 && std::strcmp(argv[1], "--whole") == 0) {
    whole = true;
  } else if (argc == 2 && std::strcmp(argv[1], "--spread") == 0) {
    whole = false;
  } else if (argc != 1) {
    return Usage();
  }

  const std::vector<Range> pieces =
      Pieces(whole ? std::vector<Range>{{0, 0xFFFFFFFF}} : Spread(), uint64_t{1} << 22);
  const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
  if (whole) {
    std::printf("every float: all 4294967296 bit patterns, on %u threads\n", threads);
  } else {
    std::printf(
        "every float, a subset%s: 1 in %" PRIu64
        " of the bit patterns, evenly spread, and every "
        "one within %u units in the last place of each band edge up to 2^24, of +-2^31, +-90, "
        "the zeros, the infinities and the first NaNs, on %u threads\n",
        UnderQemuUser() ? " (under qemu-user the whole would take about half an hour)" : "",
        kStride, kUlps, threads);
  }
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  Tally tally;
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < threads; ++i)
    workers.emplace_back(Work, std::cref(pieces), &next, &tally);
  for (std::thread& t : workers) t.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  for (auto [b, what] : tally.examples) {
    const float a = std::bit_cast<float>(b);
    std::printf("  0x%08" PRIX32 " (%.9g): %s differs from its rule\n", b, static_cast<double>(a),
                what);
  }
  std::printf("%" PRIu64 " patterns checked in %.0f s (%" PRIu64
              " of them near a right angle): %" PRIu64 " differ\n",
              tally.checked.load(), seconds, tally.near.load(), tally.wrong.load());
  return tally.wrong == 0 && (!whole || tally.checked == (uint64_t{1} << 32)) ? 0 : 1;
}
