// The system the plug-in reads through its seam (host/system.h): the
// cursor, the Ctrl key and the button's image. A test sets here what they
// answer and reads what the plug-in asked. Natively this is the seam's test
// implementation, linked in. On Windows the real system answers, unless the
// loaded module's own imports were pointed at stand-ins (UseStandIns), which
// answer from this state and also count the module's heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

void SetCursor(int32_t x, int32_t y);
void SetCtrl(bool down);  // GetKeyState answering 0x8000 for Ctrl, or 0

namespace fake {
extern int32_t cursorX, cursorY;  // where the cursor is, as SetCursor put it
extern bool cursorFails;          // the position cannot be told, as on a locked desktop
extern uint16_t keyState;         // the whole of GetKeyState's answer for Ctrl
extern bool imageFails;           // loading the button answers null
extern int otherKey;              // a key asked for other than Ctrl, or 0
extern int bitmapLoads;           // since the last Reset
extern void* lastBitmapModule;
extern std::string lastBitmapAsked;              // Windows: the whole call, in words
extern void* bitmap;                             // what the last load gave
extern size_t heapBlocks;                        // Windows: heap blocks the module holds
constexpr uintptr_t kBitmapHandle = 0xB17B0022;  // natively, what a load gives
void Reset();
#if defined(_WIN32)
// Points the loaded module's own imports of GetCursorPos, GetKeyState,
// LoadImageA and the C runtime's heap at the stand-ins, for the rest of the
// process; answers the first of the three it does not import, or "".
std::string UseStandIns(const void* module);
#endif
}  // namespace fake

}  // namespace sim
