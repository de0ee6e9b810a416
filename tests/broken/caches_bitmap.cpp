// Broken on purpose: the module's own Windows seam, but for a button that
// is loaded once and the same handle handed to every later query, though
// the host owns it and may have deleted it.
#include <windows.h>

#include "host/abi.h"
#include "host/system.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  POINT pt;
  if (!GetCursorPos(&pt)) return false;
  *p = {pt.x, pt.y};
  return true;
}

bool CtrlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

void* LoadButtonBitmap(void* module) {
  static void* cached;
  if (!cached)
    cached = LoadImageA(static_cast<HINSTANCE>(module), "IDB_BITMAP1", IMAGE_BITMAP,
                        ToolInfoRecord::kWidth, ToolInfoRecord::kHeight, LR_CREATEDIBSECTION);
  return cached;
}

}  // namespace orbitrix::sys
