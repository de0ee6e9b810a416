// Binding, the version gate, the identity and the release notice.
#include "host/module.h"

namespace orbitrix {

HostServiceTable gHostServices;
void* gModuleHandle;

namespace {
const char kName[] = "Orbitrix";
const char kDescription[] = "Orbitrix view rotation tool, by the Orbitrix developers";
}  // namespace

}  // namespace orbitrix

using namespace orbitrix;

extern "C" {

void MCP_CALL MCP_InitializePluginProc(uint32_t index, void* service) {
  if (index < kServiceSlots) gHostServices.slot[index] = service;
}

int32_t MCP_CALL MCP_PluginEntry(uint32_t, void* module, uint32_t hostVersion) {
  gModuleHandle = module;
  return hostVersion >= kMinHostVersion ? 1 : 0;
}

uint8_t MCP_CALL MCP_GetPluginInfo(uint32_t hostArg1, uint32_t hostArg2, int32_t index) {
  const RegisterInfoFn registerInfo = BoundService<RegisterInfoFn>(kRegisterInfo);
  if (index != 0 || !registerInfo) return 0;
  const PluginInfoRecord record{kName,
                                kDescription,
                                PluginInfoRecord::kKind,
                                kToolId.word0,
                                kToolId.word1,
                                PluginInfoRecord::kMagic,
                                PluginInfoRecord::kVersion};
  registerInfo(0, 0, hostArg1, hostArg2, kPluginInfo, &record, sizeof record);
  return 1;
}

void MCP_CALL MCP_ReleasePlugin(void) {}

}  // extern "C"
