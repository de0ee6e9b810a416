#include <windows.h>

#include <algorithm>

#include "sim/host/image.h"

namespace sim {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

}  // namespace

Image ReadImage(const void* module) {
  const auto* base = static_cast<const BYTE*>(module);
  const auto at = [base](DWORD rva) { return base + rva; };
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      at(reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew));
  const IMAGE_DATA_DIRECTORY* dirs = nt->OptionalHeader.DataDirectory;
  Image image;
  image.size = nt->OptionalHeader.SizeOfImage;
  if (const DWORD rva = dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress) {
    const auto* e = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(rva));
    const auto* names = reinterpret_cast<const DWORD*>(at(e->AddressOfNames));
    for (DWORD i = 0; i < e->NumberOfNames; ++i)
      image.exportNames.push_back(reinterpret_cast<const char*>(at(names[i])));
    image.exportedFunctions = e->NumberOfFunctions;
  }
  if (const DWORD rva = dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress) {
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(rva)); d->Name; ++d) {
      const char* dll = reinterpret_cast<const char*>(at(d->Name));
      const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(
          at(d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
      auto* slots = reinterpret_cast<void**>(const_cast<BYTE*>(at(d->FirstThunk)));
      for (; names->u1.AddressOfData; ++names, ++slots) {
        const bool byName = !(names->u1.Ordinal & IMAGE_ORDINAL_FLAG32);
        const char* name =
            byName ? reinterpret_cast<const char*>(
                         reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(at(names->u1.AddressOfData))
                             ->Name)
                   : "";
        image.imports.push_back({dll, name, slots});
      }
    }
  }
  if (const DWORD rva = dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress) {
    for (auto* d = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(at(rva)); d->DllNameRVA; ++d)
      image.imports.push_back({reinterpret_cast<const char*>(at(d->DllNameRVA)), "", nullptr});
  }
  return image;
}

bool IsSystemDll(const std::string& name) {
  const std::string lower = Lower(name);
  if (lower.rfind("api-ms-win-", 0) == 0 || lower.rfind("ext-ms-", 0) == 0) return true;
  if (name.find_first_of("\\/:") != std::string::npos) return false;
  char dir[MAX_PATH];
  const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  return n && GetFileAttributesA(std::string(dir, n).append("\\").append(name).c_str()) !=
                  INVALID_FILE_ATTRIBUTES;
}

int Redirect(const void* module, const std::string& dll, const std::string& function,
             const void* standIn) {
  int changed = 0;
  for (const Import& i : ReadImage(module).imports) {
    if (!i.slot || i.function != function || Lower(i.dll) != Lower(dll)) continue;
    DWORD was;
    if (!VirtualProtect(i.slot, sizeof *i.slot, PAGE_READWRITE, &was)) continue;
    *i.slot = const_cast<void*>(standIn);
    VirtualProtect(i.slot, sizeof *i.slot, was, &was);
    ++changed;
  }
  return changed;
}

}  // namespace sim
