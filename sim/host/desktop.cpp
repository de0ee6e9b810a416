// What the system answers and what the plug-in asked of it: the same state
// natively and for the Windows stand-ins.
#include "sim/host/desktop.h"

namespace sim::fake {

int32_t cursorX, cursorY;
bool cursorFails, imageFails;
uint16_t keyState;
int otherKey, bitmapLoads;
void *lastBitmapModule, *bitmap;
std::string lastBitmapAsked;
size_t heapBlocks;

void Reset() {
  cursorX = cursorY = 0;
  cursorFails = imageFails = false;
  keyState = 0;
  otherKey = bitmapLoads = 0;
  lastBitmapModule = bitmap = nullptr;
}

}  // namespace sim::fake
