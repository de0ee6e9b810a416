// Broken on purpose: the module's own Windows seam, but for a cursor call
// that takes no failure for an answer. On a locked desktop a press anchors
// at (0, 0) and a move turns toward it.
#define CursorPos RealCursorPos
#include "host/win32.cpp"
#undef CursorPos

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  POINT pt{0, 0};
  GetCursorPos(&pt);
  p->x = pt.x;
  p->y = pt.y;
  return true;
}

}  // namespace orbitrix::sys
