// The release: the end of the drag, and straightening the view.
#pragma once

#include <cstdint>

#include "host/abi.h"
#include "host/module.h"

namespace orbitrix {

// The release branch of a button event that passed the gate: ends the drag
// and, where the options ask for it, snaps a camera whose heading and pitch
// are both near right angles onto them.
int32_t Release(const ToolServices& host, ViewHandle view, uint32_t refreshTarget, void* context);

}  // namespace orbitrix
