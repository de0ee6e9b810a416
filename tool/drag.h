// The drag: its state in the host's tool context and the module-wide anchor.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/abi.h"
#include "host/module.h"

namespace orbitrix {

enum DragState : int32_t {
  kIdle = 0,
  kPressed = 1,   // button down, anchor taken
  kDragging = 2,  // the camera has been turned since the press
};

// The host's record gives no alignment for the field, so it is copied.
inline int32_t ReadDragState(const void* context) {
  int32_t state;
  std::memcpy(&state, static_cast<const unsigned char*>(context) + kDragStateOffset, sizeof state);
  return state;
}

inline void WriteDragState(void* context, DragState state) {
  const int32_t value = state;
  std::memcpy(static_cast<unsigned char*>(context) + kDragStateOffset, &value, sizeof value);
}

// Where the press took hold: one for the whole module, since the host runs
// one drag at a time across all its views.
struct DragAnchor {
  int32_t x, y;  // cursor, screen pixels, y downward
  float heading, pitch;
};

extern DragAnchor gDragAnchor;

// Where a move turns an angle: the anchor's plus the cursor's travel since
// the press, one degree a pixel, rounded to single precision. The travel is
// exact in a double whatever the two cursor positions are, and taking it
// there rather than in 64-bit integers keeps the 32-bit build off the x87
// unit.
inline float Turned(float anchor, int32_t from, int32_t to) {
  const double travel = static_cast<double>(to) - static_cast<double>(from);
  return static_cast<float>(travel + anchor);
}

// The pitch as the LimitPitch option holds it: below -90 it becomes -90,
// then above 90 it becomes 90; not a number passes unchanged.
inline float HeldPitch(float pitch) {
  if (pitch < -90.0f) pitch = -90.0f;
  if (pitch > 90.0f) pitch = 90.0f;
  return pitch;
}

// What a press calls: "UV" for the gate, the camera, "TempOrtho".
using PressServices = Services<kGetViewAttribute, kGetViewCamera, kSetViewAttribute>;

// What a move calls: "UV" for the gate and "Pers", the camera both ways.
using MoveServices = Services<kGetViewAttribute, kGetViewCamera, kSetViewCamera>;

}  // namespace orbitrix
