// The real cursor and keyboard, or stand-ins in the module's own imports.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "sim/host/desktop.h"
#include "sim/host/image.h"
#include "sim/text/text.h"

namespace sim {

namespace {
bool gStandIns;
std::set<void*> gBlocks;  // the heap blocks the module holds
}  // namespace

void SetCursor(int32_t x, int32_t y) {
  fake::cursorX = x, fake::cursorY = y;
  if (!gStandIns) SetCursorPos(x, y);
}

void SetCtrl(bool down) {
  fake::keyState = down ? 0x8000 : 0;
  if (gStandIns) return;
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

namespace {

BOOL WINAPI CursorStandIn(LPPOINT point) {
  if (fake::cursorFails) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  *point = {fake::cursorX, fake::cursorY};
  return TRUE;
}

SHORT WINAPI KeyStateStandIn(int key) {
  if (key != VK_CONTROL) fake::otherKey = key;
  return static_cast<SHORT>(fake::keyState);
}

// The system's own code runs under the floating-point state Windows starts a
// thread with, whatever the module's caller set.
HANDLE WINAPI ImageStandIn(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  uint8_t x87[28];
  uint32_t mxcsr;
  const uint16_t kX87 = 0x027F;
  const uint32_t kMxcsr = 0x1F80;
  asm volatile("fnstenv %0\n\tfldcw %2\n\tstmxcsr %1\n\tldmxcsr %3"
               : "=m"(x87), "=m"(mxcsr)
               : "m"(kX87), "m"(kMxcsr));
  ++fake::bitmapLoads;
  fake::lastBitmapModule = module;
  fake::lastBitmapAsked =
      Format("LoadImageA(%s, %s, %u, %d, %d, 0x%X)",
             Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module))).c_str(),
             IS_INTRESOURCE(name) ? "an ordinal" : Quote(name).c_str(), type, cx, cy, flags);
  HANDLE image = fake::imageFails ? nullptr : LoadImageA(module, name, type, cx, cy, flags);
  if (!image) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  fake::bitmap = image;
  asm volatile("fldenv %0\n\tldmxcsr %1" : : "m"(x87), "m"(mxcsr));
  return image;
}

// Fresh blocks hold digits, as a reader that trusts them would find them.
void* Taken(void* p, size_t n, bool fill) {
  if (p && fill) std::memset(p, '7', n);
  if (p) gBlocks.insert(p);
  fake::heapBlocks = gBlocks.size();
  return p;
}
void* __cdecl MallocStandIn(size_t n) { return Taken(std::malloc(n), n, true); }
void* __cdecl CallocStandIn(size_t n, size_t size) { return Taken(std::calloc(n, size), 0, false); }
void* __cdecl ReallocStandIn(void* old, size_t n) {
  void* p = std::realloc(old, n);
  if (p || n == 0) gBlocks.erase(old);
  return Taken(p, 0, false);
}
void __cdecl FreeStandIn(void* p) {
  gBlocks.erase(p);
  std::free(p);
  fake::heapBlocks = gBlocks.size();
}

}  // namespace

std::string fake::UseStandIns(const void* module) {
  gStandIns = true;
  const std::pair<const char*, const void*> kUser32[] = {
      {"GetCursorPos", reinterpret_cast<const void*>(&CursorStandIn)},
      {"GetKeyState", reinterpret_cast<const void*>(&KeyStateStandIn)},
      {"LoadImageA", reinterpret_cast<const void*>(&ImageStandIn)}};
  const std::pair<const char*, const void*> kHeap[] = {
      {"malloc", reinterpret_cast<const void*>(&MallocStandIn)},
      {"calloc", reinterpret_cast<const void*>(&CallocStandIn)},
      {"realloc", reinterpret_cast<const void*>(&ReallocStandIn)},
      {"free", reinterpret_cast<const void*>(&FreeStandIn)}};
  for (const auto& [name, standIn] : kHeap) Redirect(module, "msvcrt.dll", name, standIn);
  for (const auto& [name, standIn] : kUser32)
    if (Redirect(module, "user32.dll", name, standIn) == 0) return name;
  return "";
}

}  // namespace sim
