// The module as the Windows loader sees it before any call: its exports,
// its imports, its bitmap. (How each export leaves the stack, every check
// sees at every call.)
#include <windows.h>

#include <set>

#include "sim/host/image.h"
#include "sim/host/plugin.h"
#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

bool ExportSurface(Probe& p) {
  HMODULE module = LoadLibraryA(p.settings().plugin.c_str());
  if (!module)
    return p.Fail(
        Format("%s: cannot be loaded (error %lu)", p.settings().plugin.c_str(), GetLastError()));
  const Image image = ReadImage(module);

  p.At("reading the export table");
  const std::set<std::string> found(image.exportNames.begin(), image.exportNames.end());
  std::set<std::string> wanted;
  for (const Export& e : kExports) wanted.insert(e.name);
  for (const std::string& name : wanted)
    if (!found.count(name)) return p.Fail(Cat({"no export named ", name}));
  for (const std::string& name : found)
    if (!wanted.count(name))
      return p.Fail(Cat({"exports ", name, ", which the host never asks for"}));
  if (image.exportedFunctions != std::size(kExports))
    return p.Fail(Format("exports %u functions, %u of them by name", image.exportedFunctions,
                         static_cast<unsigned>(std::size(kExports))));

  p.At("reading the import table");
  std::set<std::string> dlls;
  for (const Import& i : image.imports) {
    if (!IsSystemDll(i.dll))
      return p.Fail(
          Cat({i.slot ? "imports " : "delay-loads ", i.dll, ", which is not part of Windows"}));
    dlls.insert(i.dll);
  }
  std::string imported;
  for (const std::string& dll : dlls) imported.append(imported.empty() ? "" : ", ").append(dll);

  p.At("looking for the button bitmap");
  if (!FindResourceExA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, "IDB_BITMAP1",
                       MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)))
    return p.Fail("no bitmap resource IDB_BITMAP1 in Japanese");
  p.Note(Format("%u undecorated exports; imports %s", static_cast<unsigned>(std::size(kExports)),
                imported.empty() ? "nothing" : imported.c_str()));
  return true;
}

}  // namespace sim::validate
