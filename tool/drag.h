// The drag: its state in the host's tool context and the module-wide anchor.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/abi.h"
#include "host/module.h"
#include "host/system.h"

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

// Heading and pitch, side by side as the camera holds them.
struct Angles {
  float heading, pitch;
};

// Where the press took hold: the cursor in screen pixels (y downward) and
// the camera's heading and pitch. One for the whole module, since the host
// runs one drag at a time across all its views. Every move computes in
// doubles, so the press converts them once, exactly: a double holds every
// int32_t and every float.
struct alignas(16) DragAnchor {
  double x, y;
  double heading, pitch;
};

extern DragAnchor gDragAnchor;

// The anchor of a press at cursor on a camera at angles (with SSE2 each
// pair at once).
inline void TakeHold(DragAnchor* anchor, sys::Point cursor, Angles angles) {
#if defined(__SSE2__)
  _mm_store_pd(&anchor->x,
               _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&cursor))));
  _mm_store_pd(&anchor->heading, _mm_cvtps_pd(_mm_setr_ps(angles.heading, angles.pitch, 0, 0)));
#else
  *anchor = {static_cast<double>(cursor.x), static_cast<double>(cursor.y),
             static_cast<double>(angles.heading), static_cast<double>(angles.pitch)};
#endif
}

// Where a move turns the camera: each angle the anchor's plus the cursor's
// travel since the press, x for the heading and y for the pitch, one degree a
// pixel, rounded to single precision; then, where limit asks for it, a pitch
// below -90 becomes -90 and then one above 90 becomes 90, and not a number
// passes. The travel is exact in a double whatever the two cursor positions
// are, and taking it there rather than in 64-bit integers keeps the 32-bit
// build off the x87 unit. Stores heading and pitch, in that order, at into.
// This is the way without SSE2 (the page's build).
inline void TurnOneByOne(const DragAnchor& anchor, sys::Point cursor, bool limit, void* into) {
  Angles moved{static_cast<float>(static_cast<double>(cursor.x) - anchor.x + anchor.heading),
               static_cast<float>(static_cast<double>(cursor.y) - anchor.y + anchor.pitch)};
  if (limit) {
    if (moved.pitch < -90.0f) moved.pitch = -90.0f;
    if (moved.pitch > 90.0f) moved.pitch = 90.0f;
  }
  std::memcpy(into, &moved, sizeof moved);
}

// The same with SSE2, the two angles together in the two lanes of a
// register, lane by lane the same arithmetic: every move of a drag does
// this, and so it takes a third of the instructions.
inline void Turn(const DragAnchor& anchor, sys::Point cursor, bool limit, void* into) {
#if defined(__SSE2__)
  const __m128d at = _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&cursor)));
  const __m128d travel = _mm_sub_pd(at, _mm_load_pd(&anchor.x));
  __m128 turned = _mm_cvtpd_ps(_mm_add_pd(travel, _mm_load_pd(&anchor.heading)));
  if (limit) {
    // max and min answer their second operand where either is not a number;
    // the heading's lane is bounded by the infinities, which change nothing.
    const float inf = std::numeric_limits<float>::infinity();
    turned = _mm_max_ps(_mm_setr_ps(-inf, -90.0f, 0, 0), turned);
    turned = _mm_min_ps(_mm_setr_ps(inf, 90.0f, 0, 0), turned);
  }
  _mm_storel_epi64(static_cast<__m128i*>(into), _mm_castps_si128(turned));
#else
  TurnOneByOne(anchor, cursor, limit, into);
#endif
}

// What a press calls: "UV" for the gate, the camera, "TempOrtho".
using PressServices = Services<kGetViewAttribute, kGetViewCamera, kSetViewAttribute>;

// The press branch of MCP_ToolMouseButton, handed the event as it came: past
// the gate, a left-button press takes hold of the view's camera.
decltype(MCP_ToolMouseButton) Press;

// What a move calls: "UV" for the gate and "Pers", the camera both ways.
using MoveServices = Services<kGetViewAttribute, kGetViewCamera, kSetViewCamera>;

}  // namespace orbitrix
