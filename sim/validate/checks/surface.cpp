// The module as the Windows loader and a careful host see it before any
// call: its exports and how each leaves the stack, its imports, its bitmap.
#include <windows.h>

#include <set>

#include "sim/host/image.h"
#include "sim/host/plugin.h"
#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/stack_probe.h"

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
  p.Note(Format("%u undecorated exports, each leaving its arguments to the caller; imports %s",
                static_cast<unsigned>(std::size(kExports)),
                imported.empty() ? "nothing" : imported.c_str()));
  return true;
}

}  // namespace sim::validate
