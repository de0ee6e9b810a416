// Checks of the module as a whole and of the gate every event passes: its
// exports, imports and bitmap, loading it again and again, services left
// unbound, null contexts and tool ids that are not its own.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "host/abi.h"
#include "sim/checks.h"
#include "sim/desktop.h"
#include "sim/format.h"
#include "sim/stack_probe.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// The argument count of each export, in the order of kExportNames.
constexpr int32_t kArgumentCounts[9] = {2, 3, 3, 0, 4, 4, 7, 11, 10};

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
  const std::set<std::string> wanted(std::begin(kExportNames), std::end(kExportNames));
  for (const std::string& name : wanted)
    if (!found.count(name)) return p.Fail(Cat({"no export named ", name}));
  for (const std::string& name : found)
    if (!wanted.count(name))
      return p.Fail(Cat({"exports ", name, ", which the host never asks for"}));
  if (exports->NumberOfFunctions != 9)
    return p.Fail(Format("exports %lu functions, 9 of them by name",
                         static_cast<unsigned long>(exports->NumberOfFunctions)));

  // The module is fresh, so nothing is bound: with zeros for arguments (a
  // foreign tool id, null pointers) every export declines.
  for (int i = 0; i < 9; ++i) {
    p.At(Cat({"calling ", kExportNames[i], " with zeros"}));
    const void* fn = reinterpret_cast<const void*>(GetProcAddress(module, kExportNames[i]));
    const int32_t popped = BytesPoppedByCallee(fn, kArgumentCounts[i]);
    if (popped != 0)
      return p.Fail(
          Format("%s removes %d of its %d argument bytes itself; the host removes them "
                 "too, and its stack ends up that far off",
                 kExportNames[i], popped, 4 * kArgumentCounts[i]));
  }

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
  p.Note(Cat({"nine undecorated exports, each leaving its arguments to the caller; imports ",
              imported.empty() ? "nothing" : imported}));
  return true;
}

// --- Loading again and again -----------------------------------------------

using QueryObjectFn = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// The open handle values. Handles are handed out lowest free first, so a long
// run of unused values means there are no more.
std::set<uintptr_t> OpenHandles() {
  std::set<uintptr_t> open;
  for (uintptr_t h = 4, misses = 0; misses < 512; h += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags))
      open.insert(h), misses = 0;
    else
      ++misses;
  }
  return open;
}

std::string HandleType(uintptr_t h) {
  static const auto query = reinterpret_cast<QueryObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
  alignas(8) char buffer[512];
  ULONG size;
  if (!query || query(reinterpret_cast<HANDLE>(h), 2 /* ObjectTypeInformation */, buffer,
                      sizeof buffer, &size) != 0)
    return "unknown";
  const UNICODE_STRING& name = reinterpret_cast<PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer)->TypeName;
  std::string type;
  for (USHORT i = 0; i < name.Length / 2; ++i) type.push_back(static_cast<char>(name.Buffer[i]));
  return type;
}

// Bytes in use on every heap of the process.
uint64_t HeapBytes() {
  HANDLE heaps[256];
  const DWORD n = std::min<DWORD>(GetProcessHeaps(256, heaps), 256);
  uint64_t busy = 0;
  for (DWORD i = 0; i < n; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e{};
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return busy;
}

// One life of the module: loaded, started, a drag that snaps, released and
// unloaded, with the button bitmaps deleted as their owner, the host, must.
bool OneLife(Probe& p, int life, bool* stayedLoaded) {
  Plugin plugin{};
  std::string error;
  if (!LoadPlugin(p.settings().plugin, &plugin, &error))
    return p.Fail(Format("load %d: %s", life, error.c_str()));
  {
    Host host(plugin);
    if (!StartHost(p, host)) return false;
    View& view = host.view(1);
    view.attributes["UV"].value = "0";
    view.attributes["Pers"].value = "1";
    view.setAngles(3, 2);
    SetCtrl(true);
    SetCursor(300, 300);
    host.Press(1);
    SetCursor(305, 302);
    host.Move(1);
    host.Release(1);
    SetCtrl(false);
    plugin.ReleasePlugin();
    if (CountCalls(host, kSetViewCamera) != 2)
      return p.Fail(Format("load %d: a drag and a snap made %d camera writes instead of 2: %s",
                           life, CountCalls(host, kSetViewCamera), LogText(host).c_str()));
    for (const Registration& r : host.registrations) {
      if (r.kind != kToolInfo || r.bytes.size() < 12) continue;
      HGDIOBJ bitmap;
      std::memcpy(&bitmap, &r.bytes[8], sizeof bitmap);
      if (GetObjectType(bitmap) != OBJ_BITMAP || !DeleteObject(bitmap))
        return p.Fail(Format("load %d: the button handle %p is not a bitmap the host can delete",
                             life, bitmap));
    }
  }
  HMODULE gone = static_cast<HMODULE>(plugin.module);
  UnloadPlugin(&plugin);
  char path[MAX_PATH];
  *stayedLoaded = GetModuleFileNameA(gone, path, MAX_PATH) != 0;
  return true;
}

// The lowest free TLS index: it climbs when loads take indexes and keep them.
DWORD FreeTlsIndex() {
  const DWORD index = TlsAlloc();
  if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
  return index;
}

bool LoadUnload(Probe& p) {
  const int lives = static_cast<int>(p.Scaled(100, 1000, 5000));
  // The first lives load what stays loaded anyway (the system's own DLLs,
  // its caches); growth is counted from then on.
  const int warmUp = 3;
  std::set<uintptr_t> handlesBefore;
  uint64_t heapBefore = 0;
  DWORD gdiBefore = 0, countBefore = 0, tlsBefore = 0;
  int stayed = 0, lived = 0;
  bool tlsGone = false;
  for (int life = 0; life < warmUp + lives && !tlsGone; ++life) {
    if (life == warmUp) {
      handlesBefore = OpenHandles();
      heapBefore = HeapBytes();
      gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
      GetProcessHandleCount(GetCurrentProcess(), &countBefore);
      tlsBefore = FreeTlsIndex();
    }
    p.At(Format("load %d", life));
    bool stayedLoaded = false;
    if (!OneLife(p, life, &stayedLoaded)) return false;
    stayed += stayedLoaded;
    lived += life >= warmUp;
    // A process has about a thousand TLS indexes; a module that keeps one
    // a load makes a later load fail, so stop while that can still be said.
    tlsGone = life >= warmUp && FreeTlsIndex() >= 1080;
  }
  const std::set<uintptr_t> handlesAfter = OpenHandles();
  const int64_t heapGrowth = static_cast<int64_t>(HeapBytes()) - static_cast<int64_t>(heapBefore);
  const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  DWORD countAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &countAfter);
  const DWORD tlsAfter = FreeTlsIndex();

  std::map<std::string, int> newTypes;
  for (uintptr_t h : handlesAfter)
    if (!handlesBefore.count(h)) ++newTypes[HandleType(h)];
  // The system's own count where it keeps one (Wine answers 0), else the scan.
  const bool counted = countBefore > 0;
  const int64_t before = counted ? countBefore : static_cast<int64_t>(handlesBefore.size());
  const int64_t after = counted ? countAfter : static_cast<int64_t>(handlesAfter.size());
  std::string types;
  for (const auto& [type, n] : newTypes)
    types.append(Format("%s%d %s", types.empty() ? "" : ", ", n, type.c_str()));
  p.Note(Format(
      "%d loads: handles %lld -> %lld (%s), lowest free TLS index %lu -> %lu, heap in use %+lld "
      "bytes, %s%s",
      lived, static_cast<long long>(before), static_cast<long long>(after),
      counted ? "GetProcessHandleCount"
              : "open handle values; GetProcessHandleCount answers 0 here",
      tlsBefore, tlsAfter, static_cast<long long>(heapGrowth),
      gdiBefore ? Format("GDI objects %lu -> %lu", gdiBefore, gdiAfter).c_str()
                : "GDI objects not counted here (GetGuiResources answers 0)",
      stayed ? Format(", the module stayed loaded after %d of them", stayed).c_str() : ""));

  // A little slack everywhere for what the system creates once, on first need.
  std::vector<std::string> leaks;
  const auto each = [&](int64_t n) { return static_cast<double>(n) / lived; };
  if (after - before > 2)
    leaks.push_back(Format("%lld more handles (%.1f a load: %s)",
                           static_cast<long long>(after - before), each(after - before),
                           types.c_str()));
  if (tlsAfter == TLS_OUT_OF_INDEXES || tlsAfter > tlsBefore + 2)
    leaks.push_back(Format("%lld more TLS indexes (%.1f a load%s)",
                           static_cast<long long>(tlsAfter) - tlsBefore, each(tlsAfter - tlsBefore),
                           tlsGone ? "; stopped before the last one is gone" : ""));
  if (gdiBefore && gdiAfter > gdiBefore + 2)
    leaks.push_back(
        Format("%lu more GDI objects, every button bitmap deleted", gdiAfter - gdiBefore));
  if (heapGrowth > 64 * 1024 && heapGrowth > 64 * lived)
    leaks.push_back(Format("%lld more heap bytes in use (%lld a load)",
                           static_cast<long long>(heapGrowth),
                           static_cast<long long>(heapGrowth / lived)));
  if (leaks.empty()) return true;
  std::string text = Format("after %d loads and unloads the process holds ", lived);
  for (size_t i = 0; i < leaks.size(); ++i)
    text.append(i == 0 ? "" : i + 1 == leaks.size() ? " and " : ", ").append(leaks[i]);
  return p.Fail(text);
}

// --- Unbound services ------------------------------------------------------

constexpr uint32_t kUsedSlots[6] = {kRegisterInfo, kGetViewAttribute, kSetViewAttribute,
                                    kRefreshViews, kGetViewCamera,    kSetViewCamera};
const char* const kSlotNames[6] = {"RegisterInfo", "GetViewAttribute", "SetViewAttribute",
                                   "RefreshViews", "GetViewCamera",    "SetViewCamera"};

std::string SlotList(unsigned mask) {
  std::string s;
  for (int i = 0; i < 6; ++i)
    if (mask & (1u << i)) s.append(s.empty() ? "" : ", ").append(kSlotNames[i]);
  return s;
}

// The services each event reads or writes through, as bits of kUsedSlots.
enum Event { kPluginInfo, kToolInfoEvent, kGuiInfo, kPressOther, kPressLeft, kMove, kRelease };
const char* const kEventNames[] = {
    "GetPluginInfo", "GetToolInfo", "GetGUIInfo", "a press without the left button",
    "a press",       "a move",      "a release"};
constexpr unsigned kNeeds[] = {0x01, 0x01, 0x01, 0x16, 0x16, 0x32, 0x3E};

int32_t Fire(Host& host, Event e) {
  const Plugin& plugin = host.plugin();
  switch (e) {
    case kPluginInfo:
      return plugin.GetPluginInfo(1, 2, 0);
    case kToolInfoEvent:
      return plugin.GetToolInfo(1, 2, kOurs0, kOurs1);
    case kGuiInfo:
      return plugin.GetGUIInfo(1, 2, kOurs0, kOurs1);
    case kPressOther:
      return host.Press(1, 2);
    case kPressLeft:
      return host.Press(1);
    case kMove:
      return host.Move(1);
    case kRelease:
      return host.Release(1);
  }
  return 0;
}

void DeleteBitmaps(Host& host) {
  for (const Registration& r : host.registrations) {
    if (r.kind != kToolInfo || r.bytes.size() < 12) continue;
    HGDIOBJ bitmap;
    std::memcpy(&bitmap, &r.bytes[8], sizeof bitmap);
    if (bitmap) DeleteObject(bitmap);
  }
  host.registrations.erase(
      std::remove_if(host.registrations.begin(), host.registrations.end(),
                     [](const Registration& r) { return r.kind == kToolInfo; }),
      host.registrations.end());
}

// Fires the events with the slots of mask unbound: each that needs one of
// them declines (0; GetGUIInfo 1) without a call or a change of drag state.
bool Declines(Probe& p, Host& host, unsigned mask, const std::string& when,
              std::initializer_list<Event> events) {
  for (Event e : events) {
    p.At(Format("%s with %s unbound, %s", kEventNames[e], SlotList(mask).c_str(), when.c_str()));
    const int32_t state = host.dragState();
    host.ClearLog();
    const int32_t r = Fire(host, e);
    DeleteBitmaps(host);
    if (!(kNeeds[e] & mask)) continue;
    const int32_t declined = e == kGuiInfo ? 1 : 0;
    if (r != declined || !host.log.empty() || host.dragState() != state)
      return p.Fail(
          Format("with %s unbound, %s %s answered %d with drag state %d -> %d and %s "
                 "(expected %d, no call, no change)",
                 SlotList(mask).c_str(), kEventNames[e], when.c_str(), r, state, host.dragState(),
                 LogText(host).c_str(), declined));
  }
  return true;
}

bool UnboundServices(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  View& view = host.view(1);
  view.attributes["UV"].value = "0";
  view.attributes["Pers"].value = "1";
  SetCursor(300, 300);
  // A fresh module has nothing bound at all.
  if (!Declines(p, host, 0x3F, "before any binding",
                {kPluginInfo, kToolInfoEvent, kGuiInfo, kPressLeft, kMove, kRelease}))
    return false;
  if (!StartHost(p, host)) return false;

  // Every subset, the empty one last as the control: rebinding must bring
  // back what unbinding took away.
  SetCtrl(true);
  for (unsigned n = 1; n <= 64; ++n) {
    const unsigned mask = n & 0x3F;
    for (bool midDrag : {false, true}) {
      host.Bind();
      host.setDragState(0);
      view.setAngles(3, 2);
      if (midDrag && host.Press(1) != 0)
        return p.Fail(
            Format("with all bound again, a press answered non-zero: %s", LogText(host).c_str()));
      for (int i = 0; i < 6; ++i)
        if (mask & (1u << i)) plugin->InitializePluginProc(kUsedSlots[i], nullptr);
      const bool held = midDrag ? Declines(p, host, mask, "during a drag", {kMove, kRelease})
                                : Declines(p, host, mask, "at rest",
                                           {kPluginInfo, kToolInfoEvent, kGuiInfo, kPressOther,
                                            kPressLeft, kMove, kRelease});
      if (!held) return false;
    }
    if (mask == 0 && view.heading() != 0)
      return p.Fail(Format("with every service bound again the drag did not snap: %s",
                           LogText(host).c_str()));
  }
  SetCtrl(false);
  p.Note("nothing bound, then all 64 subsets of the six services unbound at rest and mid-drag");
  return true;
}

// --- Null contexts ---------------------------------------------------------

bool NullContext(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  if (!StartHost(p, host)) return false;
  View& view = host.view(1);
  view.attributes["UV"].value = "0";
  view.attributes["Pers"].value = "1";
  const char* const kStates[] = {"at rest", "after a press", "during a drag"};
  for (int state = 0; state < 3; ++state) {
    p.At(Cat({"a drag on the host's own context, ", kStates[state]}));
    host.setDragState(0);
    SetCursor(200, 200);
    if (state >= 1) host.Press(1);
    SetCursor(230, 210);
    if (state == 2) host.Move(1);
    const std::vector<unsigned char> context(host.context(), host.context() + 64);
    const auto camera = view.camera;
    for (const ToolId id : {kToolId, ToolId{0xAAAB, 0}}) {
      const struct {
        const char* what;
        int32_t expected;
        int32_t (*call)(const Plugin&, uint32_t, uint32_t);
      } calls[] = {
          {"ToolSwitch", 1,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) -> int32_t {
             return pl.ToolSwitch(0, 0, w0, w1, 0, 0, nullptr);
           }},
          {"a press", 0,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) {
             return pl.ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 1, 1, 0x7E, nullptr);
           }},
          {"a press without the left button", 0,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) {
             return pl.ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 2, 1, 0x7E, nullptr);
           }},
          {"a release", 0,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) {
             return pl.ToolMouseButton(0, 0, w0, w1, 0, 0, 0, 1, 1, 0x7E, nullptr);
           }},
          {"a move", 0,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) {
             return pl.ToolMouseMove(0, 0, w0, w1, 0, 0, 1, 1, 0, nullptr);
           }},
          {"a move without buttons", 0,
           [](const Plugin& pl, uint32_t w0, uint32_t w1) {
             return pl.ToolMouseMove(0, 0, w0, w1, 0, 0, 0, 1, 0, nullptr);
           }},
      };
      for (const auto& c : calls) {
        const std::string what = Format("%s with a null context, tool id 0x%X:0x%X, %s", c.what,
                                        id.word0, id.word1, kStates[state]);
        p.At(what);
        host.ClearLog();
        const int32_t r = c.call(*plugin, id.word0, id.word1);
        if (r != c.expected || !host.log.empty())
          return p.Fail(Format("%s answered %d and made %s (expected %d and no call)", what.c_str(),
                               r, LogText(host).c_str(), c.expected));
        if (!std::equal(context.begin(), context.end(), host.context()) || view.camera != camera)
          return p.Fail(Cat({what, " changed the host's own context or camera"}));
      }
    }
  }
  p.Note("6 events, for the module's id and another, at rest, pressed and dragging");
  return true;
}

// --- Foreign tool ids ------------------------------------------------------

bool ForeignIds(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Host host(*plugin);
  if (!StartHost(p, host)) return false;
  View& view = host.view(1);
  view.attributes["UV"].value = "0";
  view.attributes["Pers"].value = "1";
  // The control: our own id is seen, so the silence below means something.
  host.ClearLog();
  if (plugin->GetToolInfo(1, 2, kOurs0, kOurs1) != 1 || CountCalls(host, kRegisterInfo) != 1)
    return p.Fail(Cat({"GetToolInfo for the module's own id: ", LogText(host)}));
  DeleteBitmaps(host);

  std::vector<ToolId> ids = {{0xAAAB, 0},
                             {0xAAA9, 0},
                             {0xAAAA, 1},
                             {0xAAAA, 0xFFFFFFFF},
                             {0, 0},
                             {0xFFFFFFFF, 0xFFFFFFFF},
                             {0, 0xAAAA},
                             {0xAAAA, 0xAAAA},
                             {0xAAAA0000, 0},
                             {0x1AAAA, 0},
                             {0xAAAA, 0x80000000},
                             {0x8000AAAA, 0}};
  for (uint64_t i = p.Scaled(100, 2000, 20000); i > 0;) {
    const uint32_t w0 =
        p.rng() % 2 ? static_cast<uint32_t>(p.rng()) : 0xAAAA ^ (1u << (p.rng() % 32));
    const uint32_t w1 = p.rng() % 2 ? static_cast<uint32_t>(p.rng()) : 1u << (p.rng() % 32);
    if (w0 != kOurs0 || w1 != kOurs1) ids.push_back({w0, w1}), --i;
  }
  const int32_t states[] = {0, 1, 2, -1};
  for (const ToolId& id : ids) {
    for (int32_t state : states) {
      for (unsigned char* b = host.context(); b < host.context() + 64; ++b)
        *b = static_cast<unsigned char>(p.rng());
      host.setDragState(state);
      const uint8_t options[4] = {0, 2, 0x55, 0xFF};
      for (int i = 0; i < 4; ++i) host.SetOption(i, options[i]);
      const std::vector<unsigned char> context(host.context(), host.context() + 64);
      const uint32_t w0 = id.word0, w1 = id.word1;
      const struct {
        const char* what;
        int32_t expected;
        std::function<int32_t()> call;
      } calls[] = {
          {"GetToolInfo", 0, [&] { return plugin->GetToolInfo(1, 2, w0, w1); }},
          {"GetGUIInfo", 1, [&] { return plugin->GetGUIInfo(1, 2, w0, w1); }},
          {"ToolSwitch", 1, [&] { return plugin->ToolSwitch(0, 0, w0, w1, 0, 0, host.context()); }},
          {"a press", 0,
           [&] {
             return plugin->ToolMouseButton(0, 0, w0, w1, 0, 0, 1, 1, 1, 0x7E, host.context());
           }},
          {"a release", 0,
           [&] {
             return plugin->ToolMouseButton(0, 0, w0, w1, 0, 0, 0, 1, 1, 0x7E, host.context());
           }},
          {"a move", 0,
           [&] { return plugin->ToolMouseMove(0, 0, w0, w1, 0, 0, 1, 1, 0, host.context()); }},
      };
      for (const auto& c : calls) {
        const std::string what =
            Format("%s for tool id 0x%X:0x%X with drag state %d", c.what, w0, w1, state);
        p.At(what);
        host.ClearLog();
        const int32_t r = c.call();
        if (r != c.expected || !host.log.empty())
          return p.Fail(Format("%s answered %d and made %s (expected %d and no call)", what.c_str(),
                               r, LogText(host).c_str(), c.expected));
        if (!std::equal(context.begin(), context.end(), host.context()))
          return p.Fail(Cat({what, " changed the host's context (drag state now ",
                             std::to_string(host.dragState()), ")"}));
        for (int i = 0; i < 4; ++i)
          if (host.option(i)->value != options[i])
            return p.Fail(Format("%s set option %d from %d to %d", what.c_str(), i + 1, options[i],
                                 host.option(i)->value));
      }
    }
  }
  p.Note(Format("%u foreign ids", static_cast<unsigned>(ids.size())));
  return true;
}

}  // namespace

std::vector<Check> ModuleChecks() {
  return {
      {"export-surface",
       "the nine undecorated cdecl exports, system imports, the Japanese bitmap",
       ExportSurface,
       {20, 20, 20}},
      {"load-unload",
       "loaded, started, dragged and unloaded again and again: no handle or heap growth",
       LoadUnload,
       {60, 300, 1200}},
      {"unbound-services",
       "every subset of the six services unbound: events decline, call nothing",
       UnboundServices,
       {30, 30, 30}},
      {"null-context",
       "events with a null context decline and touch nothing",
       NullContext,
       {20, 20, 20}},
      {"foreign-ids",
       "other tool ids are never accepted: no call, no state change",
       ForeignIds,
       {30, 120, 600}},
  };
}

}  // namespace sim::validate
