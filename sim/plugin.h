// The plug-in as the simulated host sees it: its nine exports. Natively they
// are the plug-in's code linked in; on Windows, a module loaded by name.
#pragma once

#include <string>

#include "host/abi.h"

namespace sim {

struct Plugin {
  decltype(&MCP_InitializePluginProc) InitializePluginProc;
  decltype(&MCP_PluginEntry) PluginEntry;
  decltype(&MCP_GetPluginInfo) GetPluginInfo;
  decltype(&MCP_ReleasePlugin) ReleasePlugin;
  decltype(&MCP_GetToolInfo) GetToolInfo;
  decltype(&MCP_GetGUIInfo) GetGUIInfo;
  decltype(&MCP_ToolSwitch) ToolSwitch;
  decltype(&MCP_ToolMouseButton) ToolMouseButton;
  decltype(&MCP_ToolMouseMove) ToolMouseMove;
  void* module = nullptr;  // the instance handle the host passes on
};

// The exports in the order the host looks them up.
extern const char* const kExportNames[9];

// Native builds: the plug-in's code linked into this program.
Plugin LinkedPlugin();

// Windows builds: loads the module at path and looks up the nine exports. On
// failure returns false with a message naming the module and what is missing.
bool LoadPlugin(const std::string& path, Plugin* plugin, std::string* error);
void UnloadPlugin(Plugin* plugin);

}  // namespace sim
