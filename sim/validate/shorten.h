// Shortening a failing run of the fuzzer's steps to the fewest that still
// fail the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace sim::validate {

// The fewest of the steps up to last, last among them, that still fail, as
// far as `budget` calls of fails reach: first the failing step alone, then
// ever longer runs of the steps before it, then ever smaller chunks of those
// left out. Empty when no run up to last failed within the budget.
std::vector<uint32_t> Shorten(uint32_t last, int budget,
                              const std::function<bool(const std::vector<uint32_t>&)>& fails);

}  // namespace sim::validate
