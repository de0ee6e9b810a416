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

// How many bytes of EAX an export's answer takes: none, a truth value's one
// or a code's four.
template <typename Fn>
struct AnswerBytes;
template <typename R, typename... A>
struct AnswerBytes<R(A...)> {
  static constexpr int value = sizeof(R);
};
template <typename... A>
struct AnswerBytes<void(A...)> {
  static constexpr int value = 0;
};

// Each export's name, how many 32-bit arguments it takes and how many bytes
// its answer, in the order the host looks them up.
struct Export {
  const char* name;
  int arguments;
  int answerBytes;
};
inline constexpr Export kExports[] = {
#define SIM_EXPORT(name)                                           \
  {"MCP_" #name, orbitrix::Arguments<decltype(MCP_##name)>::count, \
   AnswerBytes<decltype(MCP_##name)>::value},
    MCP_EXPORTS(SIM_EXPORT)
#undef SIM_EXPORT
};

// The exports' places in kExports.
enum ExportIndex {
#define SIM_EXPORT_INDEX(name) k##name,
  MCP_EXPORTS(SIM_EXPORT_INDEX)
#undef SIM_EXPORT_INDEX
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
