// The cost of each kind of mouse event, side by side with its floor: the same
// host service and system calls, with the same arguments and in the same
// order, made directly with none of the tool's logic between them. The host
// here is as cheap as its contract lets it be, so what separates the two
// figures is the plug-in's own work. At the end a table sets them side by
// side, with the heap allocations each event makes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "host/abi.h"
#include "host/system.h"
#include "sim/desktop.h"

using namespace orbitrix;

// --- Heap allocations, counted ----------------------------------------------

namespace {

uint64_t gAllocations;

void* Allocate(std::size_t n) {
  ++gAllocations;
  return std::malloc(n ? n : 1);
}

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

namespace {

// --- A minimal host -----------------------------------------------------------

constexpr ViewHandle kView = 7;
constexpr uint32_t kRefreshTarget = 0x7E;
constexpr uint32_t kOtherToolWord0 = 0xBBBB;

uint32_t gCamera[8];
unsigned char gContext[64];

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

// Called through volatile pointers, as the host calls through addresses it
// looked up, so that no call on either side can be inlined or dropped.
GetViewAttributeFn volatile gGetViewAttribute = &GetViewAttributeService;
SetViewAttributeFn volatile gSetViewAttribute = &SetViewAttributeService;
RefreshViewsFn volatile gRefreshViews = &RefreshViewsService;
GetViewCameraFn volatile gGetViewCamera = &GetViewCameraService;
SetViewCameraFn volatile gSetViewCamera = &SetViewCameraService;

void WriteState(void* context, int32_t state) {
  std::memcpy(static_cast<unsigned char*>(context) + kDragStateOffset, &state, sizeof state);
}

void SetDragState(int32_t state) { WriteState(gContext, state); }

// The six opaque camera values are arbitrary but not zero, so that copying
// them is not copying zeros.
void SetCamera(float heading, float pitch) {
  const uint32_t opaque[8] = {0x11, 0x22, 0x33, 0x44, 0, 0, 0x77, 0x88};
  std::memcpy(gCamera, opaque, sizeof gCamera);
  gCamera[4] = std::bit_cast<uint32_t>(heading);
  gCamera[5] = std::bit_cast<uint32_t>(pitch);
}

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

// --- The floors -----------------------------------------------------------------

// Exports shaped and called like the plug-in's that make the event's host and
// system calls, in the plug-in's order and with its arguments, and nothing
// else: the least any plug-in could spend on the event. Being called is part
// of that; the floor for another tool's event is nothing but.

// A snap from these angles lands on 180 and 0; the camera is put back before
// each release so that every one of them snaps.
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
  sys::Point cursor;
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
  sys::Point cursor;
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

int32_t MCP_CALL IgnoringFloor(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t, ViewHandle, uint32_t, void*) {
  return 0;
}

using MouseButtonFn = decltype(&MCP_ToolMouseButton);
using MouseMoveFn = decltype(&MCP_ToolMouseMove);

MouseButtonFn volatile gToolMouseButton = &MCP_ToolMouseButton;
MouseMoveFn volatile gToolMouseMove = &MCP_ToolMouseMove;
MouseMoveFn volatile gMoveFloor = &MoveFloor;
MouseButtonFn volatile gPressFloor = &PressFloor;
MouseButtonFn volatile gSnappingReleaseFloor = &SnappingReleaseFloor;
MouseButtonFn volatile gReleaseFloor = &ReleaseFloor;
MouseMoveFn volatile gIgnoringFloor = &IgnoringFloor;

// --- The events -------------------------------------------------------------------

// Press at one place, then move to another and stay there: every move turns
// the camera to the same angles and leaves the drag state at 2.
constexpr sys::Point kPressAt{400, 300};
constexpr sys::Point kMoveTo{430, 280};

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

void PrepareSnappingRelease() { SetCamera(kNearHeading, kNearPitch); }
void PrepareRelease() { SetCamera(45.0f, 45.0f); }
void PrepareNothing() {}

template <MouseMoveFn volatile& Export, uint32_t ToolWord0>
void Move() {
  Export(0, 0, ToolWord0, kToolId.word1, 0, 0, 1, kView, 0, gContext);
}

template <MouseButtonFn volatile& Export, uint32_t Pressed>
void Button() {
  Export(0, 0, kToolId.word0, kToolId.word1, 0, 0, Pressed, 1, kView, kRefreshTarget, gContext);
}

template <MouseButtonFn volatile& Export>
void Press() {
  SetDragState(0);
  Button<Export, 1>();
}

template <MouseButtonFn volatile& Export>
void SnappingRelease() {
  SetCamera(kNearHeading, kNearPitch);
  Button<Export, 0>();
}

// Allocations are counted over the timed loop only: the benchmark library
// allocates around it.
template <void (*Prepare)(), void (*Event)()>
void Timed(benchmark::State& state) {
  Prepare();
  const uint64_t before = gAllocations;
  for (auto _ : state) Event();
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(gAllocations - before),
                                                benchmark::Counter::kAvgIterations);
}

struct Kind {
  const char* id;    // the benchmarks' name
  const char* name;  // the table's
  double goal;       // the largest acceptable plug-in / floor ratio
  size_t hostCalls;  // how many host services the event calls
  void (*prepare)();
  void (*plugin)();
  void (*floor)();
  void (*timedPlugin)(benchmark::State&);
  void (*timedFloor)(benchmark::State&);
};

template <void (*Prepare)(), void (*Plugin)(), void (*Floor)()>
constexpr Kind MakeKind(const char* id, const char* name, double goal, size_t hostCalls) {
  return {id,     name,  goal, hostCalls, Prepare, Plugin, Floor, Timed<Prepare, Plugin>,
          Timed<Prepare, Floor>};
}

const Kind kKinds[] = {
    MakeKind<PrepareMove, Move<gToolMouseMove, kToolId.word0>, Move<gMoveFloor, kToolId.word0>>(
        "move", "move during a drag", 1.3, 6),
    MakeKind<PreparePress, Press<gToolMouseButton>, Press<gPressFloor>>("press", "press", 1.5, 4),
    MakeKind<PrepareSnappingRelease, SnappingRelease<gToolMouseButton>,
             SnappingRelease<gSnappingReleaseFloor>>("snapping_release", "snapping release", 1.5,
                                                     8),
    MakeKind<PrepareRelease, Button<gToolMouseButton, 0>, Button<gReleaseFloor, 0>>(
        "release", "release, no snap", 1.5, 5),
    MakeKind<PrepareNothing, Move<gToolMouseMove, kOtherToolWord0>,
             Move<gIgnoringFloor, kOtherToolWord0>>("other_tool", "another tool's event", 1.5, 0),
};

// --- Checking the floors ----------------------------------------------------------

// Before anything is timed, each event runs once on each side with services
// that also write down every call made to them (the system seam is not
// watched): a floor that called the host differently from the plug-in, or a
// plug-in that took another path than the one named (no snap where a snap
// was meant, say), would make the ratios meaningless.

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

// --- The summary ----------------------------------------------------------------

struct Figures {
  std::vector<double> ns;      // CPU time per event, one per repetition
  std::vector<double> allocs;  // allocations per event, likewise
};

// Passes everything on to the console and keeps each repetition's figures
// for the table.
class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Figures> figures;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Figures& f = figures[run.run_name.function_name];
      const auto allocs = run.counters.find("allocs");
      f.allocs.push_back(allocs == run.counters.end() ? 0 : allocs->second.value);
      f.ns.push_back(run.GetAdjustedCPUTime() * NanosecondsPer(run.time_unit));
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  static double NanosecondsPer(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1;
    }
  }
};

// The fastest repetition stands for each side: on a shared machine the
// slower ones measure the neighbours as much as the code. Allocations are the
// most seen in any repetition.
void PrintTable(const Collector& collector) {
  std::printf("\nCPU time per event, fastest of the repetitions\n");
  std::printf("%-22s %12s %10s %7s %6s %13s\n", "event", "plug-in ns", "floor ns", "ratio", "goal",
              "allocs/event");
  for (const Kind& k : kKinds) {
    const auto plugin = collector.figures.find(std::string(k.id) + "/plug-in");
    const auto floor = collector.figures.find(std::string(k.id) + "/floor");
    if (plugin == collector.figures.end() || floor == collector.figures.end()) continue;
    const Figures& p = plugin->second;
    const double pluginNs = *std::min_element(p.ns.begin(), p.ns.end());
    const double floorNs = *std::min_element(floor->second.ns.begin(), floor->second.ns.end());
    const double allocs = *std::max_element(p.allocs.begin(), p.allocs.end());
    const double ratio = pluginNs / floorNs;
    std::printf("%-22s %12.2f %10.2f %7.2f %6.1f %13.3g%s\n", k.name, pluginNs, floorNs, ratio,
                k.goal, allocs, ratio <= k.goal && allocs == 0 ? "" : "  <- above its goal");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults that keep a whole run well under a minute on a busy two-core
  // machine, interleaved so that load from elsewhere hits both sides alike;
  // flags given on the command line come later and win.
  std::vector<char*> args{argv[0]};
  char repetitions[] = "--benchmark_repetitions=5";
  char minTime[] = "--benchmark_min_time=0.2";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.end(), {repetitions, minTime, interleave});
  args.insert(args.end(), argv + 1, argv + argc);
  int n = static_cast<int>(args.size());

  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;

  StartHost();
  if (!CheckFloors()) return 1;
  for (const Kind& k : kKinds) {
    benchmark::RegisterBenchmark((std::string(k.id) + "/plug-in").c_str(), k.timedPlugin);
    benchmark::RegisterBenchmark((std::string(k.id) + "/floor").c_str(), k.timedFloor);
  }

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  PrintTable(collector);
  return 0;
}
