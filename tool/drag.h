// The drag: its state in the host's tool context and the module-wide
// anchor.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/abi.h"
#include "host/module.h"
#include "host/system.h"
#include "tool/angles.h"

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
extern DragAnchor gDragAnchor;

}  // namespace orbitrix
