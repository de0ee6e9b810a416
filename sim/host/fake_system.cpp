// The test implementation of the plug-in's system seam, for native builds.
#include "host/system.h"
#include "sim/host/desktop.h"

namespace sim {

namespace {
orbitrix::Pixel cursor;
bool ctrl;
}  // namespace

namespace fake {
bool cursorFails;
void* bitmap;
void* lastBitmapModule;
int bitmapLoads;

void Reset() {
  cursor = {};
  ctrl = false;
  cursorFails = false;
  bitmap = reinterpret_cast<void*>(kBitmapHandle);
  lastBitmapModule = nullptr;
  bitmapLoads = 0;
}
}  // namespace fake

void SetCursor(int32_t x, int32_t y) { cursor = {x, y}; }
void SetCtrl(bool down) { ctrl = down; }

}  // namespace sim

namespace orbitrix::sys {

bool CursorPos(Pixel* p) {
  if (sim::fake::cursorFails) return false;
  *p = sim::cursor;
  return true;
}

bool CtrlHeld() { return sim::ctrl; }

void* LoadButtonBitmap(void* module) {
  sim::fake::lastBitmapModule = module;
  ++sim::fake::bitmapLoads;
  return sim::fake::bitmap;
}

}  // namespace orbitrix::sys
