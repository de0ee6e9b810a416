// The picture of a session: each drag's path in the heading-pitch plane
// over the zones a release snaps from, as a standalone SVG.
#pragma once

#include <string>
#include <vector>

#include "sim/session/session.h"

namespace sim {

std::string Svg(const std::string& title, const std::vector<Step>& steps);

}  // namespace sim
