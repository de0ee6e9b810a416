// The boundary between the host application and the plug-in: calling
// conventions, service slots, the tool's identifier, the registration records
// and the nine exports. Everything here is 32-bit x86, little-endian.
//
// Threading: the host calls every export on its user-interface thread, one
// call at a time, and each runs to completion before it returns; the
// services run on that same thread, during the call. Nothing is locked.
//
// Order: the system loads the module; the host binds its services slot by
// slot (MCP_InitializePluginProc), enters it with its version
// (MCP_PluginEntry), asks for the identity (MCP_GetPluginInfo), then with
// the tool id for the button (MCP_GetToolInfo) and the options
// (MCP_GetGUIInfo). While the tool is current it sends MCP_ToolSwitch and the
// mouse events; before unloading, MCP_ReleasePlugin. The module does not
// rely on that order: a call that needs a service not yet bound declines,
// and mouse events before the options are registered find them all off.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "the host loads 32-bit modules only");

// Host services remove their own arguments (the Windows system-service
// convention); the exports leave that to their caller (the C convention).
// The attributes are part of a function's type, so a mismatch between a
// declaration and a definition, or a pointer and its target, does not compile.
// WebAssembly has one calling convention only, in which every call is
// checked against the callee's exact type, so there the macros are empty.
#if defined(_MSC_VER)
#define MCP_HOSTAPI __stdcall
#define MCP_CALL __cdecl
#elif defined(__wasm__)
#define MCP_HOSTAPI
#define MCP_CALL
#else
#define MCP_HOSTAPI __attribute__((stdcall))
#define MCP_CALL __attribute__((cdecl))
#endif

namespace orbitrix {

// --- The host's service table ----------------------------------------------

constexpr uint32_t kServiceSlots = 131;

enum Slot : uint32_t {
  kRegisterInfo = 0,
  kGetViewAttribute = 75,
  kSetViewAttribute = 76,
  kRefreshViews = 108,
  kGetViewCamera = 110,
  kSetViewCamera = 111,
};

// Views, refresh targets and the host's own query arguments are opaque
// 32-bit values handed back unchanged.
using ViewHandle = uint32_t;

// Slot 0. Called by the plug-in's queries. The host copies what it needs of
// the record during the call; identity and tool records are stack memory and
// vanish after it, option records stay and the host may write their value byte.
using RegisterInfoFn = int32_t(MCP_HOSTAPI*)(uint32_t idWord0, uint32_t idWord1, uint32_t hostArg1,
                                             uint32_t hostArg2, uint32_t infoKind,
                                             const void* record, uint32_t recordSize);

// Slot 75. With a null buffer and size 0: the size the value needs, its NUL
// included, or 0 or less when the view has no such attribute. With a buffer of
// that size: more than 0 once the NUL-terminated value is written.
using GetViewAttributeFn = int32_t(MCP_HOSTAPI*)(ViewHandle view, const char* key, char* buffer,
                                                 int32_t bufferSize);

// Slot 76. The attribute takes the NUL-terminated value; the plug-in always
// passes 1 as the last argument.
using SetViewAttributeFn = int32_t(MCP_HOSTAPI*)(ViewHandle view, const char* key,
                                                 const char* value, int32_t flag);

// Slot 108. Redraws the views; the plug-in passes the button event's refresh
// target and -1.
using RefreshViewsFn = int32_t(MCP_HOSTAPI*)(uint32_t refreshTarget, int32_t which);

// Slot 110. Stores the view's eight camera values through the pointers.
using GetViewCameraFn = int32_t(MCP_HOSTAPI*)(ViewHandle view, uint32_t* v1, uint32_t* v2,
                                              uint32_t* v3, uint32_t* v4, uint32_t* v5,
                                              uint32_t* v6, uint32_t* v7, uint32_t* v8);

// Slot 111. The view takes the eight camera values, in the order slot 110
// gives them.
using SetViewCameraFn = int32_t(MCP_HOSTAPI*)(ViewHandle view, uint32_t v1, uint32_t v2,
                                              uint32_t v3, uint32_t v4, uint32_t v5, uint32_t v6,
                                              uint32_t v7, uint32_t v8);

// --- Identity ---------------------------------------------------------------

struct ToolId {
  uint32_t word0;
  uint32_t word1;
};
constexpr ToolId kToolId{0xAAAA, 0};

// Whether a call's tool id words are ours: every tool call asks this first.
constexpr bool IsOurTool(uint32_t word0, uint32_t word1) {
  return word0 == kToolId.word0 && word1 == kToolId.word1;
}

constexpr uint32_t kMinHostVersion = 0x50500;

enum InfoKind : uint32_t {
  kPluginInfo = 0,
  kToolInfo = 1,
  kGuiOption = 2,
};

// --- Registration records: packed, little-endian ---------------------------

#pragma pack(push, 1)

// The identity, InfoKind 0. Built on the stack for each query.
struct PluginInfoRecord {
  const char* name;
  const char* description;  // the plug-in's long name and its authors
  uint16_t kind;
  static constexpr uint16_t kKind = 2;
  uint32_t toolIdWord0;
  uint32_t toolIdWord1;
  uint32_t magic;
  static constexpr uint32_t kMagic = 0xF45B6373;
  uint32_t version;
  static constexpr uint32_t kVersion = 0x807;
};

// The tool button, InfoKind 1. Zero-filled, then built on the stack for each
// query.
struct ToolInfoRecord {
  int32_t width;
  static constexpr int32_t kWidth = 22;  // the button image's size in pixels
  int32_t height;
  static constexpr int32_t kHeight = 26;
  void* bitmap;      // a DIB section the host then owns; null if it could not be loaded
  const char* text;  // empty
  uint16_t field16;
  static constexpr uint16_t kField16 = 1;
  uint32_t field18;
  uint32_t field22;
  static constexpr uint32_t kField22 = 1;
  uint32_t field26;
  uint32_t field30;
  uint32_t field34;
  uint32_t field38;
  static constexpr uint32_t kField38 = 0x10007;
  uint32_t field42;
  uint8_t reserved46[8];
};

// One on/off option, InfoKind 2. Lives as long as the module: the host keeps
// its address and writes the value byte while the module is loaded.
struct GuiOptionRecord {
  uint32_t size;  // sizeof(GuiOptionRecord)
  uint32_t field4;
  const char* label;  // code page 932
  uint8_t reserved12[12];
  uint8_t value;
  static constexpr uint8_t kOn = 1;  // as registered; the host writes 0 or 1
};

#pragma pack(pop)

static_assert(sizeof(PluginInfoRecord) == 26);
static_assert(offsetof(PluginInfoRecord, name) == 0);
static_assert(offsetof(PluginInfoRecord, description) == 4);
static_assert(offsetof(PluginInfoRecord, kind) == 8);
static_assert(offsetof(PluginInfoRecord, toolIdWord0) == 10);
static_assert(offsetof(PluginInfoRecord, toolIdWord1) == 14);
static_assert(offsetof(PluginInfoRecord, magic) == 18);
static_assert(offsetof(PluginInfoRecord, version) == 22);

static_assert(sizeof(ToolInfoRecord) == 54);
static_assert(offsetof(ToolInfoRecord, width) == 0);
static_assert(offsetof(ToolInfoRecord, height) == 4);
static_assert(offsetof(ToolInfoRecord, bitmap) == 8);
static_assert(offsetof(ToolInfoRecord, text) == 12);
static_assert(offsetof(ToolInfoRecord, field16) == 16);
static_assert(offsetof(ToolInfoRecord, field18) == 18);
static_assert(offsetof(ToolInfoRecord, field22) == 22);
static_assert(offsetof(ToolInfoRecord, field26) == 26);
static_assert(offsetof(ToolInfoRecord, field30) == 30);
static_assert(offsetof(ToolInfoRecord, field34) == 34);
static_assert(offsetof(ToolInfoRecord, field38) == 38);
static_assert(offsetof(ToolInfoRecord, field42) == 42);
static_assert(offsetof(ToolInfoRecord, reserved46) == 46);

static_assert(sizeof(GuiOptionRecord) == 25);
static_assert(offsetof(GuiOptionRecord, size) == 0);
static_assert(offsetof(GuiOptionRecord, field4) == 4);
static_assert(offsetof(GuiOptionRecord, label) == 8);
static_assert(offsetof(GuiOptionRecord, reserved12) == 12);
static_assert(offsetof(GuiOptionRecord, value) == 24);

// The one field of the host's ToolContext the tool uses: a signed 32-bit
// drag state at byte 18, not aligned.
constexpr size_t kDragStateOffset = 18;

}  // namespace orbitrix

// --- The nine exports, looked up by the host under these names --------------

extern "C" {

// Called by the host once per slot while binding, before any query. An index
// of 131 or more is ignored; a later call for the same slot replaces it.
void MCP_CALL MCP_InitializePluginProc(uint32_t index, void* service);

// Called by the host after binding. Stores the module handle in every case;
// answers 1 to accept a host of version 0x50500 or later, 0 to refuse it.
int32_t MCP_CALL MCP_PluginEntry(uint32_t unused, void* module, uint32_t hostVersion);

// Called by the host for the identity. Index 0 registers the identity record
// and answers 1; any other index, or an unbound RegisterInfo, answers 0 and
// calls nothing.
uint8_t MCP_CALL MCP_GetPluginInfo(uint32_t hostArg1, uint32_t hostArg2, int32_t index);

// Called by the host before unloading. Does nothing: bitmaps already handed
// over belong to the host.
void MCP_CALL MCP_ReleasePlugin(void);

// Called by the host with the tool id it learnt from the identity. For our id
// registers the button record and answers 1; otherwise, or with RegisterInfo
// unbound, answers 0 and calls nothing.
uint8_t MCP_CALL MCP_GetToolInfo(uint32_t hostArg1, uint32_t hostArg2, uint32_t idWord0,
                                 uint32_t idWord1);

// Called by the host with the tool id. For our id registers the four option
// records, each switched on again; answers 1 in every case.
uint8_t MCP_CALL MCP_GetGUIInfo(uint32_t hostArg1, uint32_t hostArg2, uint32_t idWord0,
                                uint32_t idWord1);

// Called by the host when the current tool changes. For our id resets the drag
// state in the context; a null context is left alone. Answers 1 in every case.
uint8_t MCP_CALL MCP_ToolSwitch(uint32_t a1, uint32_t a2, uint32_t idWord0, uint32_t idWord1,
                                uint32_t a5, uint32_t a6, void* context);

// Called by the host for each mouse button change in a view. Only the low 8
// bits of pressed count. Answers 4 for a press without the left button, 0
// otherwise, also when the event is declined (another tool, a UV view, a null
// context, unbound services).
int32_t MCP_CALL MCP_ToolMouseButton(uint32_t a1, uint32_t a2, uint32_t idWord0, uint32_t idWord1,
                                     uint32_t a5, uint32_t a6, uint32_t pressed, uint32_t buttons,
                                     orbitrix::ViewHandle view, uint32_t refreshTarget,
                                     void* context);

// Called by the host for each mouse motion in a view. Answers 2 when a button
// is held but no left-button drag is under way, 0 otherwise, also when the
// event is declined.
int32_t MCP_CALL MCP_ToolMouseMove(uint32_t a1, uint32_t a2, uint32_t idWord0, uint32_t idWord1,
                                   uint32_t a5, uint32_t a6, uint32_t buttons,
                                   orbitrix::ViewHandle view, uint32_t a9, void* context);

}  // extern "C"

// The exports, each once, in the order the host looks them up. Everything
// else that names them (the module's export table, the simulated host's view
// of the module, the validator's checks) is written from this list.
#define MCP_EXPORTS(X)    \
  X(InitializePluginProc) \
  X(PluginEntry)          \
  X(GetPluginInfo)        \
  X(ReleasePlugin)        \
  X(GetToolInfo)          \
  X(GetGUIInfo)           \
  X(ToolSwitch)           \
  X(ToolMouseButton)      \
  X(ToolMouseMove)

namespace orbitrix {

// How many 32-bit arguments an export takes, from its declaration.
template <typename Fn>
struct Arguments;
template <typename R, typename... A>
struct Arguments<R(A...)> {
  static_assert(((sizeof(A) == 4) && ...), "every argument is one 32-bit value");
  static constexpr int count = sizeof...(A);
};

}  // namespace orbitrix
