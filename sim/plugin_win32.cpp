// Loading the real module through the Windows loader, and the real cursor and
// keyboard.
#include <windows.h>

#include "sim/desktop.h"
#include "sim/plugin.h"

namespace sim {

bool LoadPlugin(const std::string& path, Plugin* plugin, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    *error = path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  void* found[9];
  for (int i = 0; i < 9; ++i) {
    found[i] = reinterpret_cast<void*>(GetProcAddress(module, kExportNames[i]));
    if (!found[i]) {
      *error = path + ": has no export " + kExportNames[i];
      FreeLibrary(module);
      return false;
    }
  }
  // The order of kExportNames is the order of the fields.
  plugin->InitializePluginProc = reinterpret_cast<decltype(plugin->InitializePluginProc)>(found[0]);
  plugin->PluginEntry = reinterpret_cast<decltype(plugin->PluginEntry)>(found[1]);
  plugin->GetPluginInfo = reinterpret_cast<decltype(plugin->GetPluginInfo)>(found[2]);
  plugin->ReleasePlugin = reinterpret_cast<decltype(plugin->ReleasePlugin)>(found[3]);
  plugin->GetToolInfo = reinterpret_cast<decltype(plugin->GetToolInfo)>(found[4]);
  plugin->GetGUIInfo = reinterpret_cast<decltype(plugin->GetGUIInfo)>(found[5]);
  plugin->ToolSwitch = reinterpret_cast<decltype(plugin->ToolSwitch)>(found[6]);
  plugin->ToolMouseButton = reinterpret_cast<decltype(plugin->ToolMouseButton)>(found[7]);
  plugin->ToolMouseMove = reinterpret_cast<decltype(plugin->ToolMouseMove)>(found[8]);
  plugin->module = module;
  return true;
}

void UnloadPlugin(Plugin* plugin) {
  if (plugin->module) FreeLibrary(static_cast<HMODULE>(plugin->module));
  plugin->module = nullptr;
}

void SetCursor(int32_t x, int32_t y) { SetCursorPos(x, y); }

void SetCtrl(bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE state = down ? 0x80 : 0;
  keys[VK_CONTROL] = keys[VK_LCONTROL] = state;
  SetKeyboardState(keys);
}

}  // namespace sim
