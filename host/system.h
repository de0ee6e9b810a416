// The plug-in's only contact with Windows itself. host/win32.cpp implements it
// for the real module; the simulated host provides a test implementation.
#pragma once

#include <cstdint>

namespace orbitrix {

// A cursor position in screen pixels, y downward.
struct Pixel {
  int32_t x, y;
};

}  // namespace orbitrix

namespace orbitrix::sys {

// The cursor's screen position; false when the system cannot tell (a locked
// desktop, for instance), in which case *p is unchanged.
bool CursorPos(Pixel* p);

// Whether a Ctrl key is down at this moment.
bool CtrlHeld();

// The 22 x 26 button image from the module's resources, as a DIB section the
// caller then owns; null when it cannot be loaded.
void* LoadButtonBitmap(void* module);

}  // namespace orbitrix::sys
