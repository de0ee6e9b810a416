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

// Whether an angle in degrees lies in the band a release snaps from: its
// whole degrees within 19 of a multiple of 90 below it or 20 above it. Not a
// number, infinities and angles beyond the int32_t range are never near.
bool IsNearRightAngle(float degrees);

// The multiple of 90 an angle snaps onto: k times 90, where k is the angle
// divided by 90 with a bias of a quarter away from zero, truncated toward
// zero; within the bands that is the nearest multiple. Angles outside the
// int32_t range come back unchanged.
float RoundToRightAngle(float degrees);

}  // namespace orbitrix
