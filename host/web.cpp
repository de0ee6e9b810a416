// The browser side of the module: the system seam, fed by the page's
// JavaScript host from its pointer and keyboard events.
#include <emscripten/emscripten.h>

#include "host/system.h"

namespace {

// CSS pixels, so that one pixel of travel is one degree whatever the
// device's pixel ratio.
orbitrix::Pixel gPointer;
bool gCtrl;

}  // namespace

extern "C" {

// The page calls this before every tool event, with the pointer's position
// rounded to whole CSS pixels: the tool reads the cursor, not the event.
EMSCRIPTEN_KEEPALIVE void OrbitrixWebSetPointer(int32_t x, int32_t y) { gPointer = {x, y}; }

// Whether a Ctrl key is down, as the page last saw it.
EMSCRIPTEN_KEEPALIVE void OrbitrixWebSetCtrl(int32_t down) { gCtrl = down != 0; }

}  // extern "C"

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  *p = gPointer;
  return true;
}

bool CtrlHeld() { return gCtrl; }

// A page has no resources to load a button from; the host shows none.
void* LoadButtonBitmap(void*) { return nullptr; }

}  // namespace orbitrix::sys
