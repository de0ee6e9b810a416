// What a tool event did, as the host's log shows it, held to what the rules
// say it must do (sim/rules/events.h). The stress test and the validator
// judge events by this.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/host/host.h"
#include "sim/rules/events.h"

namespace sim {

// The effect in words, e.g. "answered 0, drag state 1, no camera written,
// TempOrtho 0, 0 redraws".
std::string Described(const Effect& e);

// Whether the event on view v, whose calls are all of host's log and which
// answered answer, did what due says: the answer and the drag state; at
// most one camera write, with the six opaque values as before and the angles
// due; at most one write of "TempOrtho", to "0" or "1"; and each redraw of
// refreshTarget and -1. "" when it did, else what it did and what it should
// have, in words. The anchor the event took is not seen.
std::string EffectDiffers(const Host& host, ViewHandle v, const std::array<uint32_t, 8>& before,
                          int32_t answer, uint32_t refreshTarget, const Effect& due);

}  // namespace sim
