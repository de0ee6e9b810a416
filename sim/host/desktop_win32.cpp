// The real cursor and keyboard, which the module reads through Windows.
#include <windows.h>

#include "sim/host/desktop.h"

namespace sim {

void SetCursor(int32_t x, int32_t y) { SetCursorPos(x, y); }

void SetCtrl(bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE state = down ? 0x80 : 0;
  keys[VK_CONTROL] = keys[VK_LCONTROL] = state;
  SetKeyboardState(keys);
}

}  // namespace sim
