// The Windows side of the module: its entry routine and the system seam.
#include <windows.h>

#include "host/abi.h"
#include "host/system.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// The C runtime's start-up would reset the x87 unit (fninit: 64-bit
// precision) on every thread the host starts while the module is loaded;
// the host's threads keep the state Windows gives them.
extern "C" void _fpreset(void) {}

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  POINT pt;
  if (!GetCursorPos(&pt)) return false;
  p->x = pt.x;
  p->y = pt.y;
  return true;
}

bool CtrlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

void* LoadButtonBitmap(void* module) {
  return LoadImageA(static_cast<HINSTANCE>(module), "IDB_BITMAP1", IMAGE_BITMAP,
                    orbitrix::ToolInfoRecord::kWidth, orbitrix::ToolInfoRecord::kHeight,
                    LR_CREATEDIBSECTION);
}

}  // namespace orbitrix::sys
