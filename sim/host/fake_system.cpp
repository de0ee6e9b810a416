// The test implementation of the plug-in's system seam, for native builds.
#include "host/system.h"
#include "sim/host/desktop.h"

namespace sim {

void SetCursor(int32_t x, int32_t y) { fake::cursorX = x, fake::cursorY = y; }
void SetCtrl(bool down) { fake::keyState = down ? 0x8000 : 0; }

}  // namespace sim

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  if (sim::fake::cursorFails) return false;
  *p = {sim::fake::cursorX, sim::fake::cursorY};
  return true;
}

bool CtrlHeld() { return (sim::fake::keyState & 0x8000) != 0; }

void* LoadButtonBitmap(void* module) {
  sim::fake::lastBitmapModule = module;
  ++sim::fake::bitmapLoads;
  return sim::fake::bitmap =
             sim::fake::imageFails ? nullptr : reinterpret_cast<void*>(sim::fake::kBitmapHandle);
}

}  // namespace orbitrix::sys
