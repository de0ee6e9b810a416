// The module as the Windows loader and a careful host see it before any
// call: its exports and how each leaves the stack, its imports, its bitmap.
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <vector>

#include "host/abi.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/stack_probe.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// A DLL every Windows has: an API set, or one in the system folder.
bool IsSystemDll(const std::string& name) {
  const std::string lower = Lower(name);
  if (lower.rfind("api-ms-win-", 0) == 0 || lower.rfind("ext-ms-", 0) == 0) return true;
  if (name.find_first_of("\\/:") != std::string::npos) return false;
  char dir[MAX_PATH];
  const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  return n && GetFileAttributesA(std::string(dir, n).append("\\").append(name).c_str()) !=
                  INVALID_FILE_ATTRIBUTES;
}

// The four exports that answer an 8-bit truth value leave the whole of EAX 0
// or 1: a host may test the register rather than its low byte.
bool TruthValues(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  host.Bind();
  const auto answers = [&](const char* what, auto export_, std::vector<uint32_t> arguments,
                           uint32_t expected) {
    p.At(what);
    const ProbedCall r = ProbeCall(reinterpret_cast<const void*>(export_), arguments.data(),
                                   static_cast<int32_t>(arguments.size()));
    DeleteButtons(host);
    if (r.eax == expected) return true;
    return p.Fail(
        Format("%s answered %u in its low byte with EAX 0x%08X: a host that tests the "
               "whole register takes that for %s (expected EAX %u)",
               what, r.eax & 0xFF, r.eax, r.eax ? "true" : "false", expected));
  };
  const uint32_t context = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host.context()));
  const uint32_t other = kOurs0 + 1;
  return answers("MCP_GetPluginInfo for index 0", plugin->GetPluginInfo, {1, 2, 0}, 1) &&
         answers("MCP_GetPluginInfo for index 1", plugin->GetPluginInfo, {1, 2, 1}, 0) &&
         answers("MCP_GetToolInfo for its own tool id", plugin->GetToolInfo, {1, 2, kOurs0, kOurs1},
                 1) &&
         answers("MCP_GetToolInfo for another tool id", plugin->GetToolInfo, {1, 2, other, kOurs1},
                 0) &&
         answers("MCP_GetGUIInfo for its own tool id", plugin->GetGUIInfo, {1, 2, kOurs0, kOurs1},
                 1) &&
         answers("MCP_GetGUIInfo for another tool id", plugin->GetGUIInfo, {1, 2, other, kOurs1},
                 1) &&
         answers("MCP_ToolSwitch for its own tool id", plugin->ToolSwitch,
                 {0, 0, kOurs0, kOurs1, 0, 0, context}, 1) &&
         answers("MCP_ToolSwitch for another tool id", plugin->ToolSwitch,
                 {0, 0, other, kOurs1, 0, 0, context}, 1);
}

}  // namespace

bool ExportSurface(Probe& p) {
  HMODULE module = LoadLibraryA(p.settings().plugin.c_str());
  if (!module)
    return p.Fail(
        Format("%s: cannot be loaded (error %lu)", p.settings().plugin.c_str(), GetLastError()));
  const auto* image = reinterpret_cast<const BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* dirs = nt->OptionalHeader.DataDirectory;

  p.At("reading the export table");
  if (!dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress)
    return p.Fail("the module exports nothing");
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      image + dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(image + exports->AddressOfNames);
  std::set<std::string> found;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    found.insert(reinterpret_cast<const char*>(image + names[i]));
  std::set<std::string> wanted;
  for (const Export& e : kExports) wanted.insert(e.name);
  for (const std::string& name : wanted)
    if (!found.count(name)) return p.Fail(Cat({"no export named ", name}));
  for (const std::string& name : found)
    if (!wanted.count(name))
      return p.Fail(Cat({"exports ", name, ", which the host never asks for"}));
  if (exports->NumberOfFunctions != std::size(kExports))
    return p.Fail(Format("exports %lu functions, %u of them by name",
                         static_cast<unsigned long>(exports->NumberOfFunctions),
                         static_cast<unsigned>(std::size(kExports))));

  // The module is fresh, so nothing is bound: with zeros for arguments (a
  // foreign tool id, null pointers) every export declines.
  for (const Export& e : kExports) {
    p.At(Cat({"calling ", e.name, " with zeros"}));
    const void* fn = reinterpret_cast<const void*>(GetProcAddress(module, e.name));
    const uint32_t zeros[16] = {};
    const int32_t popped = ProbeCall(fn, zeros, e.arguments).popped;
    if (popped != 0)
      return p.Fail(
          Format("%s removes %d of its %d argument bytes itself; the host removes them "
                 "too, and its stack ends up that far off",
                 e.name, popped, 4 * e.arguments));
  }
  if (!TruthValues(p)) return false;

  p.At("reading the import table");
  std::string imported;
  const auto check = [&](const char* name) {
    imported.append(imported.empty() ? "" : ", ").append(name);
    return IsSystemDll(name);
  };
  if (dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress) {
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             image + dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
         d->Name; ++d) {
      const char* name = reinterpret_cast<const char*>(image + d->Name);
      if (!check(name)) return p.Fail(Cat({"imports ", name, ", which is not part of Windows"}));
    }
  }
  if (dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress) {
    for (auto* d = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(
             image + dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress);
         d->DllNameRVA; ++d) {
      const char* name = reinterpret_cast<const char*>(image + d->DllNameRVA);
      if (!check(name))
        return p.Fail(Cat({"delay-loads ", name, ", which is not part of Windows"}));
    }
  }

  p.At("looking for the button bitmap");
  if (!FindResourceExA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, "IDB_BITMAP1",
                       MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)))
    return p.Fail("no bitmap resource IDB_BITMAP1 in Japanese");
  p.Note(Format(
      "%u undecorated exports, each leaving its arguments to the caller, the 8-bit "
      "answers 0 or 1 in the whole of EAX; imports %s",
      static_cast<unsigned>(std::size(kExports)), imported.empty() ? "nothing" : imported.c_str()));
  return true;
}

}  // namespace sim::validate
