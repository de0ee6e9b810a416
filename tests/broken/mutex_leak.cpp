// Broken on purpose: every start-up creates a mutex that nothing closes.
#include <windows.h>

#include "host/abi.h"
#include "tests/broken/real.h"

extern "C" int32_t MCP_CALL MCP_PluginEntry(uint32_t unused, void* module, uint32_t version) {
  CreateMutexA(nullptr, FALSE, nullptr);
  return Real_PluginEntry(unused, module, version);
}
