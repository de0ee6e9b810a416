// The minimal host, the floors and what each event starts from.
#include "bench/events.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/system.h"
#include "sim/host/desktop.h"

using namespace orbitrix;

// --- Heap allocations, counted -----------------------------------------------

// Every heap call made by the program, the module's own code included: the
// link wraps malloc, calloc, realloc and free (bench/CMakeLists.txt), so every
// reference to them in the program's objects and static libraries lands
// here, and the replacements of operator new and delete below go through
// them too.
namespace {
uint64_t gAllocations, gReleases;
}  // namespace

extern "C" {
void* __real_malloc(std::size_t n);
void* __real_calloc(std::size_t n, std::size_t size);
void* __real_realloc(void* p, std::size_t n);
void __real_free(void* p);

void* __wrap_malloc(std::size_t n) {
  ++gAllocations;
  return __real_malloc(n);
}
void* __wrap_calloc(std::size_t n, std::size_t size) {
  ++gAllocations;
  return __real_calloc(n, size);
}
void* __wrap_realloc(void* p, std::size_t n) {
  ++gAllocations;
  return __real_realloc(p, n);
}
void __wrap_free(void* p) {
  gReleases += p != nullptr;
  __real_free(p);
}
}  // extern "C"

namespace {

void* Allocate(std::size_t n) { return std::malloc(n ? n : 1); }

void* AllocateAligned(std::size_t n, std::align_val_t align) {
  ++gAllocations;
  void* p = nullptr;
  const std::size_t a = std::max(static_cast<std::size_t>(align), sizeof(void*));
  return posix_memalign(&p, a, n ? n : 1) == 0 ? p : nullptr;
}

void* OrThrow(void* p) {
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t n) { return OrThrow(Allocate(n)); }
void* operator new[](std::size_t n) { return OrThrow(Allocate(n)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return OrThrow(AllocateAligned(n, a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return OrThrow(AllocateAligned(n, a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateAligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateAligned(n, a);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace bench {

unsigned char gContext[64];

namespace {

// --- A minimal host -----------------------------------------------------------

uint32_t gCamera[8];

int32_t MCP_HOSTAPI RegisterInfoService(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                        const void*, uint32_t) {
  return 1;
}

// The one view is a perspective view and not a UV view: "UV" is "0", every
// other attribute asked for ("Pers") is "1".
int32_t MCP_HOSTAPI GetViewAttributeService(ViewHandle, const char* key, char* buffer,
                                            int32_t size) {
  if (!buffer) return 2;
  if (size < 2) return 0;
  buffer[0] = key[0] == 'U' ? '0' : '1';
  buffer[1] = '\0';
  return 2;
}

int32_t MCP_HOSTAPI SetViewAttributeService(ViewHandle, const char*, const char*, int32_t) {
  return 1;
}

int32_t MCP_HOSTAPI RefreshViewsService(uint32_t, int32_t) { return 1; }

int32_t MCP_HOSTAPI GetViewCameraService(ViewHandle, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                         uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                         uint32_t* v8) {
  *v1 = gCamera[0];
  *v2 = gCamera[1];
  *v3 = gCamera[2];
  *v4 = gCamera[3];
  *v5 = gCamera[4];
  *v6 = gCamera[5];
  *v7 = gCamera[6];
  *v8 = gCamera[7];
  return 1;
}

int32_t MCP_HOSTAPI SetViewCameraService(ViewHandle, uint32_t v1, uint32_t v2, uint32_t v3,
                                         uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7,
                                         uint32_t v8) {
  gCamera[0] = v1;
  gCamera[1] = v2;
  gCamera[2] = v3;
  gCamera[3] = v4;
  gCamera[4] = v5;
  gCamera[5] = v6;
  gCamera[6] = v7;
  gCamera[7] = v8;
  return 1;
}

GetViewAttributeFn volatile gGetViewAttribute = &GetViewAttributeService;
SetViewAttributeFn volatile gSetViewAttribute = &SetViewAttributeService;
RefreshViewsFn volatile gRefreshViews = &RefreshViewsService;
GetViewCameraFn volatile gGetViewCamera = &GetViewCameraService;
SetViewCameraFn volatile gSetViewCamera = &SetViewCameraService;

void WriteState(void* context, int32_t state) {
  std::memcpy(static_cast<unsigned char*>(context) + kDragStateOffset, &state, sizeof state);
}

// The six opaque camera values are arbitrary but not zero, so that copying
// them is not copying zeros.
void SetCamera(float heading, float pitch) {
  const uint32_t opaque[8] = {0x11, 0x22, 0x33, 0x44, 0, 0, 0x77, 0x88};
  std::memcpy(gCamera, opaque, sizeof gCamera);
  gCamera[4] = std::bit_cast<uint32_t>(heading);
  gCamera[5] = std::bit_cast<uint32_t>(pitch);
}

// --- The floors -----------------------------------------------------------------

// A snap from these angles lands on 180 and 0.
constexpr float kNearHeading = 178.0f, kNearPitch = 3.0f;
constexpr uint32_t kSnappedHeading = std::bit_cast<uint32_t>(180.0f);
constexpr uint32_t kSnappedPitch = std::bit_cast<uint32_t>(0.0f);

int32_t MCP_CALL MoveFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                           ViewHandle view, uint32_t, void* context) {
  char buffer[64];
  gGetViewAttribute(view, "UV", nullptr, 0);
  gGetViewAttribute(view, "UV", buffer, 2);
  gGetViewAttribute(view, "Pers", nullptr, 0);
  gGetViewAttribute(view, "Pers", buffer, 2);
  uint32_t c[8];
  gGetViewCamera(view, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]);
  Pixel cursor;
  sys::CursorPos(&cursor);
  // The moves all turn the camera to where it already is (see PrepareMove),
  // so what was read is what the plug-in writes.
  gSetViewCamera(view, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
  WriteState(context, 2);
  return 0;
}

int32_t MCP_CALL PressFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t, ViewHandle view, uint32_t, void* context) {
  char buffer[64];
  gGetViewAttribute(view, "UV", nullptr, 0);
  gGetViewAttribute(view, "UV", buffer, 2);
  Pixel cursor;
  sys::CursorPos(&cursor);
  WriteState(context, 1);
  uint32_t c[8];
  gGetViewCamera(view, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]);
  gSetViewAttribute(view, "TempOrtho", "0", 1);
  return 0;
}

int32_t MCP_CALL SnappingReleaseFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                      uint32_t, uint32_t, ViewHandle view, uint32_t refreshTarget,
                                      void* context) {
  char buffer[64];
  gGetViewAttribute(view, "UV", nullptr, 0);
  gGetViewAttribute(view, "UV", buffer, 2);
  WriteState(context, 0);
  gGetViewAttribute(view, "Pers", nullptr, 0);
  gGetViewAttribute(view, "Pers", buffer, 2);
  sys::CtrlHeld();
  uint32_t c[8];
  gGetViewCamera(view, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]);
  gSetViewCamera(view, c[0], c[1], c[2], c[3], kSnappedHeading, kSnappedPitch, c[6], c[7]);
  gSetViewAttribute(view, "TempOrtho", "1", 1);
  gRefreshViews(refreshTarget, -1);
  return 0;
}

int32_t MCP_CALL ReleaseFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                              uint32_t, ViewHandle view, uint32_t, void* context) {
  char buffer[64];
  gGetViewAttribute(view, "UV", nullptr, 0);
  gGetViewAttribute(view, "UV", buffer, 2);
  WriteState(context, 0);
  gGetViewAttribute(view, "Pers", nullptr, 0);
  gGetViewAttribute(view, "Pers", buffer, 2);
  sys::CtrlHeld();
  uint32_t c[8];
  gGetViewCamera(view, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]);
  return 0;
}

int32_t MCP_CALL IgnoringFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                               ViewHandle, uint32_t, void*) {
  return 0;
}

}  // namespace

MouseButtonFn volatile gToolMouseButton = &MCP_ToolMouseButton;
MouseMoveFn volatile gToolMouseMove = &MCP_ToolMouseMove;
MouseMoveFn volatile gMoveFloor = &MoveFloor;
MouseButtonFn volatile gPressFloor = &PressFloor;
MouseButtonFn volatile gSnappingReleaseFloor = &SnappingReleaseFloor;
MouseButtonFn volatile gReleaseFloor = &ReleaseFloor;
MouseMoveFn volatile gIgnoringFloor = &IgnoringFloor;

uint64_t Allocations() { return gAllocations; }
uint64_t Releases() { return gReleases; }

void SetDragState(int32_t state) { WriteState(gContext, state); }
void SetNearCamera() { SetCamera(kNearHeading, kNearPitch); }

void StartHost() {
  MCP_InitializePluginProc(kRegisterInfo, reinterpret_cast<void*>(&RegisterInfoService));
  MCP_InitializePluginProc(kGetViewAttribute, reinterpret_cast<void*>(&GetViewAttributeService));
  MCP_InitializePluginProc(kSetViewAttribute, reinterpret_cast<void*>(&SetViewAttributeService));
  MCP_InitializePluginProc(kRefreshViews, reinterpret_cast<void*>(&RefreshViewsService));
  MCP_InitializePluginProc(kGetViewCamera, reinterpret_cast<void*>(&GetViewCameraService));
  MCP_InitializePluginProc(kSetViewCamera, reinterpret_cast<void*>(&SetViewCameraService));
  MCP_PluginEntry(0, nullptr, 0x50600);
  // All four options on: the release also asks for Ctrl, and a snap also
  // switches the view to parallel projection, the longest path each has.
  MCP_GetGUIInfo(0x11, 0x22, kToolId.word0, kToolId.word1);
  sim::fake::Reset();
  sim::SetCtrl(true);
}

// Press at one place, then move to another and stay there: every move turns
// the camera to the same angles and leaves the drag state at 2.
constexpr Pixel kPressAt{400, 300};
constexpr Pixel kMoveTo{430, 280};

void PrepareMove() {
  SetCamera(30.0f, 10.0f);
  SetDragState(0);
  sim::SetCursor(kPressAt.x, kPressAt.y);
  MCP_ToolMouseButton(0, 0, kToolId.word0, kToolId.word1, 0, 0, 1, 1, kView, kRefreshTarget,
                      gContext);
  sim::SetCursor(kMoveTo.x, kMoveTo.y);
  // One move first, so the camera already holds the angles every later move
  // writes.
  MCP_ToolMouseMove(0, 0, kToolId.word0, kToolId.word1, 0, 0, 1, kView, 0, gContext);
}

void PreparePress() {
  SetCamera(30.0f, 10.0f);
  sim::SetCursor(kPressAt.x, kPressAt.y);
}

void PrepareSnappingRelease() { SetNearCamera(); }
void PrepareRelease() { SetCamera(45.0f, 45.0f); }

// --- The heap count's own proof ---------------------------------------------------

// Each block passes through a volatile pointer, so that the compiler can
// neither leave out a block given back unused nor take realloc of a null
// pointer for malloc. The compiler knows the heap functions as its own,
// which touch no variable of the program's, and would read the counts once
// for both ends: the barriers make it read them where they stand.
HeapUse EveryHeapCall() {
  const HeapUse before{Allocations(), Releases()};
  asm volatile("" ::: "memory");
  void* volatile block = std::malloc(100);
  std::free(block);
  block = std::calloc(10, 10);
  std::free(block);
  void* volatile none = nullptr;
  block = std::realloc(none, 100);
  std::free(block);
  char* volatile chars = new char[100];
  delete[] chars;
  asm volatile("" ::: "memory");
  return {Allocations() - before.allocations, Releases() - before.releases};
}

// --- Checking the floors ----------------------------------------------------------

namespace {

std::vector<std::string> gRecorded;

// Formatted with snprintf: GCC 12 at -O3 warns falsely on chains of
// std::string concatenation.
template <typename... Args>
void Record(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  gRecorded.emplace_back(text);
}

const char* Text(const char* s) { return s ? s : "(null)"; }

int32_t MCP_HOSTAPI RecordGetViewAttribute(ViewHandle view, const char* key, char* buffer,
                                           int32_t size) {
  Record("GetViewAttribute(%u,\"%s\",%s,%d)", view, Text(key), buffer ? "buffer" : "null",
         static_cast<int>(size));
  return GetViewAttributeService(view, key, buffer, size);
}

int32_t MCP_HOSTAPI RecordSetViewAttribute(ViewHandle view, const char* key, const char* value,
                                           int32_t flag) {
  Record("SetViewAttribute(%u,\"%s\",\"%s\",%d)", view, Text(key), Text(value),
         static_cast<int>(flag));
  return SetViewAttributeService(view, key, value, flag);
}

int32_t MCP_HOSTAPI RecordRefreshViews(uint32_t target, int32_t which) {
  Record("RefreshViews(0x%X,%d)", target, static_cast<int>(which));
  return RefreshViewsService(target, which);
}

int32_t MCP_HOSTAPI RecordGetViewCamera(ViewHandle view, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                        uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                        uint32_t* v8) {
  Record("GetViewCamera(%u)", view);
  return GetViewCameraService(view, v1, v2, v3, v4, v5, v6, v7, v8);
}

int32_t MCP_HOSTAPI RecordSetViewCamera(ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                                        uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7,
                                        uint32_t v8) {
  Record("SetViewCamera(%u,%X,%X,%X,%X,%.9g,%.9g,%X,%X)", view, v1, v2, v3, v4,
         static_cast<double>(std::bit_cast<float>(v5)),
         static_cast<double>(std::bit_cast<float>(v6)), v7, v8);
  return SetViewCameraService(view, v1, v2, v3, v4, v5, v6, v7, v8);
}

void BindServices(bool recording) {
  gGetViewAttribute = recording ? &RecordGetViewAttribute : &GetViewAttributeService;
  gSetViewAttribute = recording ? &RecordSetViewAttribute : &SetViewAttributeService;
  gRefreshViews = recording ? &RecordRefreshViews : &RefreshViewsService;
  gGetViewCamera = recording ? &RecordGetViewCamera : &GetViewCameraService;
  gSetViewCamera = recording ? &RecordSetViewCamera : &SetViewCameraService;
  MCP_InitializePluginProc(kGetViewAttribute, reinterpret_cast<void*>(gGetViewAttribute));
  MCP_InitializePluginProc(kSetViewAttribute, reinterpret_cast<void*>(gSetViewAttribute));
  MCP_InitializePluginProc(kRefreshViews, reinterpret_cast<void*>(gRefreshViews));
  MCP_InitializePluginProc(kGetViewCamera, reinterpret_cast<void*>(gGetViewCamera));
  MCP_InitializePluginProc(kSetViewCamera, reinterpret_cast<void*>(gSetViewCamera));
}

struct Outcome {
  std::vector<std::string> calls;
  uint32_t camera[8];
  int32_t dragState;

  bool operator==(const Outcome& o) const {
    return calls == o.calls && std::memcmp(camera, o.camera, sizeof camera) == 0 &&
           dragState == o.dragState;
  }
};

Outcome Once(void (*prepare)(), void (*event)()) {
  prepare();
  gRecorded.clear();
  event();
  Outcome o{gRecorded, {}, 0};
  std::memcpy(o.camera, gCamera, sizeof o.camera);
  std::memcpy(&o.dragState, gContext + kDragStateOffset, sizeof o.dragState);
  return o;
}

void Print(const char* side, const Outcome& o) {
  std::fprintf(stderr, "  %s, drag state %d afterwards:\n", side, static_cast<int>(o.dragState));
  for (const std::string& c : o.calls) std::fprintf(stderr, "    %s\n", c.c_str());
}

}  // namespace

bool CheckFloors() {
  BindServices(true);
  bool ok = true;
  for (const Kind& k : kKinds) {
    const Outcome plugin = Once(k.prepare, k.plugin);
    const Outcome floor = Once(k.prepare, k.floor);
    if (plugin == floor && plugin.calls.size() == k.hostCalls) continue;
    std::fprintf(stderr, "%s: the floor and the plug-in differ, or the path is not the one meant\n",
                 k.id);
    Print("plug-in", plugin);
    Print("floor", floor);
    ok = false;
  }
  BindServices(false);
  return ok;
}

}  // namespace bench
