#include "sim/validate/shorten.h"

#include <algorithm>
#include <cstddef>

namespace sim::validate {

std::vector<uint32_t> Shorten(uint32_t last, int budget,
                              const std::function<bool(const std::vector<uint32_t>&)>& fails) {
  const auto tried = [&](const std::vector<uint32_t>& steps) {
    return budget-- > 0 && fails(steps);
  };
  std::vector<uint32_t> kept;
  for (uint32_t k = 1; budget > 0; k *= 2) {
    const uint32_t from = last + 1 > k ? last + 1 - k : 0;
    std::vector<uint32_t> steps;
    for (uint32_t i = from; i <= last; ++i) steps.push_back(i);
    if (tried(steps)) {
      kept = steps;
      break;
    }
    if (from == 0) break;
  }
  for (size_t chunk = kept.size() / 2; chunk >= 1 && budget > 0; chunk /= 2) {
    for (size_t i = 0; i < kept.size() && budget > 0;) {
      const size_t end = std::min(kept.size(), i + chunk);
      if (end == kept.size()) break;  // the failing step stays
      std::vector<uint32_t> fewer(kept.begin(), kept.begin() + static_cast<ptrdiff_t>(i));
      fewer.insert(fewer.end(), kept.begin() + static_cast<ptrdiff_t>(end), kept.end());
      if (tried(fewer))
        kept = fewer;
      else
        i = end;
    }
  }
  return kept;
}

}  // namespace sim::validate
