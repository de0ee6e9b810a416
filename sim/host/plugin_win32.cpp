// Loading the real module through the Windows loader.
#include <windows.h>

#include "sim/host/plugin.h"

namespace sim {

namespace {

// Why the loader refused path, in words.
std::string Refusal(const std::string& path, DWORD error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "no such file";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder, not a module";
  switch (error) {
    case ERROR_BAD_EXE_FORMAT: return "not a 32-bit Windows DLL";
    case ERROR_MOD_NOT_FOUND: return "a DLL it imports from is missing";
    case ERROR_PROC_NOT_FOUND: return "a function it imports is missing";
    case ERROR_DLL_INIT_FAILED: return "its start-up routine reported failure";
  }
  char text[256];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) --n;
  return n ? std::string("cannot be loaded: ").append(text, n) : "cannot be loaded";
}

}  // namespace

bool LoadPlugin(const std::string& given, Plugin* plugin, std::string* error) {
  std::string path = given;
  for (char& c : path)
    if (c == '/') c = '\\';
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    *error = path + ": " + Refusal(path, GetLastError());
    return false;
  }
  Plugin p;
  std::string missing;
#define SIM_LOOK_UP(name)                                             \
  p.name = reinterpret_cast<decltype(p.name)>(                        \
      reinterpret_cast<void*>(GetProcAddress(module, "MCP_" #name))); \
  if (!p.name && missing.empty()) missing = "MCP_" #name;
  MCP_EXPORTS(SIM_LOOK_UP)
#undef SIM_LOOK_UP
  if (!missing.empty()) {
    *error = path + ": has no export " + missing;
    FreeLibrary(module);
    return false;
  }
  p.module = module;
  *plugin = p;
  return true;
}

void UnloadPlugin(Plugin* plugin) {
  if (plugin->module) FreeLibrary(static_cast<HMODULE>(plugin->module));
  plugin->module = nullptr;
}

}  // namespace sim
