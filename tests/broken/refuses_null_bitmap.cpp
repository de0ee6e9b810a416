// Broken on purpose: a button image that cannot be loaded is taken for a
// failure of the whole query, which then registers nothing.
#include <windows.h>

#include "host/module.h"
#include "host/system.h"
#include "tests/broken/real.h"

extern "C" uint8_t MCP_CALL MCP_GetToolInfo(uint32_t a1, uint32_t a2, uint32_t w0, uint32_t w1) {
  void* const bitmap = orbitrix::sys::LoadButtonBitmap(orbitrix::gModuleHandle);
  if (!bitmap) return 0;
  DeleteObject(bitmap);
  return Real_GetToolInfo(a1, a2, w0, w1);
}
