// A loaded module's image as the Windows loader laid it out: the names it
// exports, and what it imports from which DLL with the place each import's
// address lies, so that a check can point one at a stand-in of its own.
// Windows builds only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Import {
  std::string dll;       // as the image names it
  std::string function;  // "" for one imported by ordinal, or delay-loaded
  void** slot;           // its entry in the import address table; null when delay-loaded
};

struct Image {
  uint32_t size = 0;  // bytes from the module's base, as loaded
  std::vector<std::string> exportNames;
  uint32_t exportedFunctions = 0;  // by name or not
  std::vector<Import> imports;
};

Image ReadImage(const void* module);

// Whether a DLL comes with every Windows: an API set, or one in the system
// folder.
bool IsSystemDll(const std::string& name);

// Points the module's imports of function from dll (any case) at standIn;
// answers how many entries it changed.
int Redirect(const void* module, const std::string& dll, const std::string& function,
             const void* standIn);

}  // namespace sim
