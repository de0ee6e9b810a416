#include "sim/plugin.h"

namespace sim {

Plugin LinkedPlugin() {
  return {MCP_InitializePluginProc, MCP_PluginEntry, MCP_GetPluginInfo,
          MCP_ReleasePlugin,        MCP_GetToolInfo, MCP_GetGUIInfo,
          MCP_ToolSwitch,           MCP_ToolMouseButton, MCP_ToolMouseMove,
          reinterpret_cast<void*>(0x10000000)};
}

}  // namespace sim
