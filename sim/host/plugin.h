// The plug-in as the simulated host sees it: its exports, one field each,
// written from the list in host/abi.h. Natively they are the plug-in's code
// linked in; on Windows, a module loaded by name.
#pragma once

#include <string>

#include "host/abi.h"

namespace sim {

struct Plugin {
#define SIM_PLUGIN_FIELD(name) decltype(&MCP_##name) name = nullptr;
  MCP_EXPORTS(SIM_PLUGIN_FIELD)
#undef SIM_PLUGIN_FIELD
  void* module = nullptr;  // the instance handle the host passes on
};

// Each export's name and how many 32-bit arguments it takes, in the order
// the host looks them up.
struct Export {
  const char* name;
  int arguments;
};
inline constexpr Export kExports[] = {
#define SIM_EXPORT(name) {"MCP_" #name, orbitrix::Arguments<decltype(MCP_##name)>::count},
    MCP_EXPORTS(SIM_EXPORT)
#undef SIM_EXPORT
};

// Native builds: the plug-in's code linked into this program.
Plugin LinkedPlugin();

// Windows builds: loads the module at path (with / or \ between folders) and
// looks up every export. On failure returns false with a message that names
// the module and says what is wrong with it in words: no such file, not a
// 32-bit Windows DLL, a missing export.
bool LoadPlugin(const std::string& path, Plugin* plugin, std::string* error);
void UnloadPlugin(Plugin* plugin);

}  // namespace sim
