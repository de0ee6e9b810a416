// The module loaded, started, used and unloaded again and again, as a host
// that reloads its plug-ins would: nothing may pile up in the process.
#include <windows.h>

#include <algorithm>
#include <set>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

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
    if (!host.Start())
      return p.Fail(
          Format("load %d: the module refused host version 0x50600 or did not register "
                 "its tool and options: %s",
                 life, LogText(host).c_str()));
    View& view = host.view(1);
    view.plain();
    view.setAngles(3, 2);
    SetCtrl(true);
    SetCursor(300, 300);
    host.Press(1);
    SetCursor(305, 302);
    host.Move(1);
    host.Release(1);
    SetCtrl(false);
    plugin.ReleasePlugin();
    int writes = 0;
    for (const Call& c : host.log) writes += c.slot == kSetViewCamera;
    if (writes != 2)
      return p.Fail(Format("load %d: a drag and a snap made %d camera writes instead of 2: %s",
                           life, writes, LogText(host).c_str()));
    if (!DeleteButtons(host))
      return p.Fail(Format("load %d: the button handle is not a bitmap the host can delete", life));
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

}  // namespace

bool LoadUnload(Probe& p) {
  const int lives = static_cast<int>(p.Scaled(100, 1000, 5000));
  // The first lives load what stays loaded anyway (the system's own DLLs,
  // its caches); growth is counted from then on.
  const int warmUp = 3;
  std::set<uintptr_t> handles;
  uint64_t heap = 0;
  DWORD gdi = 0, tls = 0;
  int stayed = 0, lived = 0;
  bool tlsGone = false;
  for (int life = 0; life < warmUp + lives && !tlsGone; ++life) {
    if (life == warmUp) {
      handles = OpenHandles(), heap = HeapBytes(), tls = FreeTlsIndex();
      gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
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
  int newHandles = 0;
  for (uintptr_t h : OpenHandles()) newHandles += !handles.count(h);
  const int64_t heapGrowth = static_cast<int64_t>(HeapBytes()) - static_cast<int64_t>(heap);
  const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
              tlsAfter = FreeTlsIndex();
  // A button bitmap the host could not delete would show only in the GDI
  // objects, which Wine does not count.
  p.Note(
      Format("%d loads: %d more open handles, lowest free TLS index %lu -> %lu, heap in use "
             "%+lld bytes, %s%s",
             lived, newHandles, tls, tlsAfter, static_cast<long long>(heapGrowth),
             gdi ? Format("GDI objects %lu -> %lu", gdi, gdiAfter).c_str()
                 : "GDI objects not counted (GetGuiResources answers 0 here)",
             stayed ? Format(", the module stayed loaded after %d", stayed).c_str() : ""));
  // A little slack everywhere for what the system creates once, on first need.
  std::vector<std::string> leaks;
  if (newHandles > 2) leaks.push_back(Format("%d more open handles", newHandles));
  if (tlsAfter == TLS_OUT_OF_INDEXES || tlsAfter > tls + 2)
    leaks.push_back(Format("%ld more TLS indexes%s", static_cast<long>(tlsAfter - tls),
                           tlsGone ? ", stopped before the last one was gone" : ""));
  if (gdi && gdiAfter > gdi + 2)
    leaks.push_back(Format("%lu more GDI objects, every button bitmap deleted", gdiAfter - gdi));
  if (heapGrowth > 64 * 1024 && heapGrowth > 64 * lived)
    leaks.push_back(Format("%lld more heap bytes in use", static_cast<long long>(heapGrowth)));
  if (leaks.empty()) return true;
  std::string text = Format("after %d loads and unloads the process holds ", lived);
  for (size_t i = 0; i < leaks.size(); ++i)
    text.append(i == 0 ? "" : i + 1 == leaks.size() ? " and " : ", ").append(leaks[i]);
  return p.Fail(text);
}

}  // namespace sim::validate
