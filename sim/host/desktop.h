// The cursor and the keyboard that the plug-in reads through Windows. On
// Windows these drive the real system (SetCursorPos, SetKeyboardState);
// natively they set what the test implementation of the plug-in's system
// seam reports.
#pragma once

#include <cstdint>

namespace sim {

void SetCursor(int32_t x, int32_t y);
void SetCtrl(bool down);

// Native only: what the test seam answers beyond cursor and keyboard.
namespace fake {
extern bool cursorFails;        // GetCursorPos answers FALSE
extern void* bitmap;            // what loading the button gives
extern void* lastBitmapModule;  // the module the last load was asked of
extern int bitmapLoads;
constexpr uintptr_t kBitmapHandle = 0xB17B0022;
void Reset();
}  // namespace fake

}  // namespace sim
