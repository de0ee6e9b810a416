#include "sim/validate/play.h"

#include <windows.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <set>

#include "host/abi.h"
#include "host/options.h"
#include "sim/host/image.h"
#include "sim/rules/events.h"
#include "sim/session/effect.h"
#include "sim/text/text.h"

namespace sim::validate {

using namespace orbitrix;

System gSystem;

namespace {

// --- The stand-ins ---------------------------------------------------------

// A host's own code runs under its own floating-point state, whatever the
// module's caller set: the x87 unit (its stack and status too) and MXCSR
// are saved, set to Windows' own, and given back whole.
class Shelter {
 public:
  Shelter() {
    asm volatile("fnstenv %0\n\tfldcw %2\n\tstmxcsr %1\n\tldmxcsr %3"
                 : "=m"(x87_), "=m"(mxcsr_)
                 : "m"(kX87), "m"(kMxcsr));
  }
  ~Shelter() { asm volatile("fldenv %0\n\tldmxcsr %1" : : "m"(x87_), "m"(mxcsr_)); }

 private:
  static constexpr uint16_t kX87 = 0x027F;
  static constexpr uint32_t kMxcsr = 0x1F80;
  uint8_t x87_[28];
  uint32_t mxcsr_;
};

std::set<void*> gBlocks;  // the heap blocks the module holds

BOOL WINAPI CursorStandIn(LPPOINT point) {
  if (gSystem.cursorFails) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  *point = {gSystem.x, gSystem.y};
  return TRUE;
}

SHORT WINAPI KeyStateStandIn(int key) {
  if (key != VK_CONTROL) gSystem.otherKey = key;
  return static_cast<SHORT>(gSystem.keyState);
}

HANDLE WINAPI ImageStandIn(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  Shelter s;  // the system's own code, whatever the module's caller set
  ++gSystem.imageLoads;
  gSystem.imageAsked =
      Format("LoadImageA(%s, %s, %u, %d, %d, 0x%X)",
             Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module))).c_str(),
             IS_INTRESOURCE(name)
                 ? Format("#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name))).c_str()
                 : Quote(name).c_str(),
             type, cx, cy, flags);
  HANDLE image = gSystem.imageFails ? nullptr : LoadImageA(module, name, type, cx, cy, flags);
  if (!image) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  gSystem.image = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image));
  return image;
}

// Fresh blocks hold digits, as a reader that trusts them would find them.
void* __cdecl MallocStandIn(size_t n) {
  void* p = std::malloc(n);
  if (p) std::memset(p, '7', n), gBlocks.insert(p);
  gSystem.heapBlocks = gBlocks.size();
  return p;
}
void* __cdecl CallocStandIn(size_t n, size_t size) {
  void* p = std::calloc(n, size);
  if (p) gBlocks.insert(p);
  gSystem.heapBlocks = gBlocks.size();
  return p;
}
void* __cdecl ReallocStandIn(void* old, size_t n) {
  void* p = std::realloc(old, n);
  if (p || n == 0) gBlocks.erase(old);
  if (p) gBlocks.insert(p);
  gSystem.heapBlocks = gBlocks.size();
  return p;
}
void __cdecl FreeStandIn(void* p) {
  gBlocks.erase(p);
  std::free(p);
  gSystem.heapBlocks = gBlocks.size();
}

// --- The host's services, sheltered ---------------------------------------

// Where a service that ends abnormally unwinds to, and when it does.
jmp_buf gUnwindTo;
uint32_t gAbnormalSlot;
int gAbnormalNth, gAbnormalCount;

// Before the host's work: a service that is to end abnormally does so here,
// through msvcrt's longjmp, which unwinds the frames it leaves as Windows
// unwinds an exception.
void MaybeEnd(uint32_t slot) {
  if (slot == gAbnormalSlot && ++gAbnormalCount == gAbnormalNth) std::longjmp(gUnwindTo, 1);
}

int32_t MCP_HOSTAPI RegisterInfoService(uint32_t w0, uint32_t w1, uint32_t a1, uint32_t a2,
                                        uint32_t kind, const void* record, uint32_t size) {
  MaybeEnd(kRegisterInfo);
  Shelter s;
  return Host::current()->registerInfo(w0, w1, a1, a2, kind, record, size);
}
int32_t MCP_HOSTAPI GetViewAttributeService(ViewHandle view, const char* key, char* buffer,
                                            int32_t size) {
  MaybeEnd(kGetViewAttribute);
  Shelter s;
  return Host::current()->getViewAttribute(view, key, buffer, size);
}
int32_t MCP_HOSTAPI SetViewAttributeService(ViewHandle view, const char* key, const char* value,
                                            int32_t flag) {
  MaybeEnd(kSetViewAttribute);
  Shelter s;
  return Host::current()->setViewAttribute(view, key, value, flag);
}
int32_t MCP_HOSTAPI RefreshViewsService(uint32_t target, int32_t which) {
  MaybeEnd(kRefreshViews);
  Shelter s;
  return Host::current()->refreshViews(target, which);
}
int32_t MCP_HOSTAPI GetViewCameraService(ViewHandle view, uint32_t* v1, uint32_t* v2, uint32_t* v3,
                                         uint32_t* v4, uint32_t* v5, uint32_t* v6, uint32_t* v7,
                                         uint32_t* v8) {
  MaybeEnd(kGetViewCamera);
  Shelter s;
  uint32_t* const values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
  return Host::current()->getViewCamera(view, values);
}
int32_t MCP_HOSTAPI SetViewCameraService(ViewHandle view, uint32_t v1, uint32_t v2, uint32_t v3,
                                         uint32_t v4, uint32_t v5, uint32_t v6, uint32_t v7,
                                         uint32_t v8) {
  MaybeEnd(kSetViewCamera);
  Shelter s;
  const uint32_t values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
  return Host::current()->setViewCamera(view, values);
}

void* Service(uint32_t slot) {
  switch (slot) {
    case kRegisterInfo: return reinterpret_cast<void*>(&RegisterInfoService);
    case kGetViewAttribute: return reinterpret_cast<void*>(&GetViewAttributeService);
    case kSetViewAttribute: return reinterpret_cast<void*>(&SetViewAttributeService);
    case kRefreshViews: return reinterpret_cast<void*>(&RefreshViewsService);
    case kGetViewCamera: return reinterpret_cast<void*>(&GetViewCameraService);
    case kSetViewCamera: return reinterpret_cast<void*>(&SetViewCameraService);
    default: return ServiceForSlot(slot);  // a trap: the tool has no use for it
  }
}

// --- A floating-point exception raised in the module -----------------------

struct Raised {
  uintptr_t base = 0, end = 0;  // the module
  DWORD code = 0;
  uintptr_t at = 0;
} gRaised;

const char* FloatExceptionName(DWORD code) {
  switch (code) {
    case 0xC000008D: return "a denormal operand exception";
    case 0xC000008E: return "a zero-divide exception";
    case 0xC000008F: return "an inexact-result exception";
    case 0xC0000090: return "an invalid-operation exception";
    case 0xC0000091: return "an overflow exception";
    case 0xC0000092: return "an x87 stack exception";
    case 0xC0000093: return "an underflow exception";
    case 0xC00002B4: return "a floating-point exception (STATUS_FLOAT_MULTIPLE_FAULTS)";
    case 0xC00002B5: return "a floating-point exception (STATUS_FLOAT_MULTIPLE_TRAPS)";
    default: return nullptr;
  }
}

// The first one is kept; every exception is masked where it was raised, so
// that the call can go on and the check report it.
LONG CALLBACK CatchFloatException(EXCEPTION_POINTERS* e) {
  const DWORD code = e->ExceptionRecord->ExceptionCode;
  const auto at = reinterpret_cast<uintptr_t>(e->ExceptionRecord->ExceptionAddress);
  if (!FloatExceptionName(code) || at < gRaised.base || at >= gRaised.end)
    return EXCEPTION_CONTINUE_SEARCH;
  if (!gRaised.code) gRaised.code = code, gRaised.at = at;
  CONTEXT* c = e->ContextRecord;
  c->FloatSave.ControlWord |= 0x3F;
  c->FloatSave.StatusWord &= ~0x80FFu;
  DWORD mxcsr;
  std::memcpy(&mxcsr, &c->ExtendedRegisters[24], 4);
  mxcsr = (mxcsr | 0x1F80) & ~0x3Fu;
  std::memcpy(&c->ExtendedRegisters[24], &mxcsr, 4);
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Digits on the stack below: a reader that trusts bytes the host never
// wrote, or reads past them, finds these.
__attribute__((noinline)) void PaintStack() {
  char paint[8192];
  std::memset(paint, '1', sizeof paint);
  asm volatile("" : : "r"(paint) : "memory");
}

const char* const kContexts[] = {"the host's context", "another context", "a null context"};

// What the attribute answers draw from.
const char* const kValues[] = {"0",
                               "1",
                               "",
                               "-1",
                               "abc",
                               " 1",
                               "2",
                               "4294967296",
                               "0001",
                               "+0",
                               "00000000000000000000000000000000001"};

}  // namespace

// --- The steps in words ----------------------------------------------------

std::string Describe(const Op& op) {
  const std::string id = Format("id 0x%X:0x%X", op.w0, op.w1);
  switch (op.kind) {
    case Op::kInit:
      return Format("MCP_InitializePluginProc(%u, %s)", op.index,
                    op.value == 0   ? "null"
                    : op.value == 1 ? "its service"
                                    : "a wild pointer");
    case Op::kEntry:
      return Format("MCP_PluginEntry(0x%X, %s, 0x%X)", op.a1, op.index ? "the module" : "null",
                    op.value);
    case Op::kInfo: return Format("MCP_GetPluginInfo(0x%X, 0x%X, %d)", op.a1, op.a2, op.index);
    case Op::kReleasePlugin: return "MCP_ReleasePlugin()";
    case Op::kToolInfo: return Format("MCP_GetToolInfo(0x%X, 0x%X, %s)", op.a1, op.a2, id.c_str());
    case Op::kGuiInfo: return Format("MCP_GetGUIInfo(0x%X, 0x%X, %s)", op.a1, op.a2, id.c_str());
    case Op::kSwitch: return Format("MCP_ToolSwitch(%s, %s)", id.c_str(), kContexts[op.context]);
    case Op::kButton:
      return Format("MCP_ToolMouseButton(%s, pressed 0x%X, buttons 0x%X, view %u, target 0x%X, %s)",
                    id.c_str(), op.pressed, op.buttons, op.view, op.target, kContexts[op.context]);
    case Op::kMove:
      return Format("MCP_ToolMouseMove(%s, buttons 0x%X, view %u, %s)", id.c_str(), op.buttons,
                    op.view, kContexts[op.context]);
    case Op::kCursor:
      return op.value ? "GetCursorPos failing" : Format("the cursor to %d,%d", op.x, op.y);
    case Op::kCtrl: return Format("GetKeyState answering 0x%04X for Ctrl", op.value);
    case Op::kImage: return op.value ? "LoadImageA answering null" : "LoadImageA loading";
    case Op::kOption: return Format("option %u set to %u", op.index + 1, op.value);
    case Op::kAttr:
      return Format(
          "view %u answers \"%s\" with \"%s\"%s%s%s", op.view, op.key.c_str(),
          op.attribute.value.size() > 24 ? Format("%.12s... (%u bytes)", op.attribute.value.c_str(),
                                                  static_cast<unsigned>(op.attribute.value.size()))
                                               .c_str()
                                         : op.attribute.value.c_str(),
          op.attribute.sizeAnswer ? Format(", size %d", *op.attribute.sizeAnswer).c_str() : "",
          op.attribute.valueAnswer ? Format(", answer %d", *op.attribute.valueAnswer).c_str() : "",
          op.attribute.terminated ? "" : ", unterminated");
    case Op::kUnset: return Format("view %u loses \"%s\"", op.view, op.key.c_str());
    case Op::kCamera:
      return Format("view %u's camera set to heading %s, pitch %s", op.view,
                    Angle(std::bit_cast<float>(op.camera[4])).c_str(),
                    Angle(std::bit_cast<float>(op.camera[5])).c_str());
    case Op::kState:
      return Format("drag state %d written into %s", op.value, kContexts[op.context]);
  }
  return "";
}

// --- Drawing them ------------------------------------------------------------

Op& Generator::Add(Op::Kind kind) {
  Op op;
  op.kind = kind;
  queue_.push_back(op);
  return queue_.back();
}

Op Generator::Next() {
  while (queue_.empty()) {
    if (!started_) {
      started_ = true;
      Start();
    } else if (Below(12) == 0) {
      Query();
    } else {
      Drag();
    }
  }
  Op op = queue_.front();
  queue_.pop_front();
  if (hostile_ && op.isCall()) Roughen(&op);
  return op;
}

// Binding every slot, the entry refused and then accepted, the identity,
// the button and the options, as a host starts a plug-in.
void Generator::Start() {
  for (uint32_t slot = 0; slot <= kServiceSlots; ++slot) {
    Op& init = Add(Op::kInit);
    init.index = slot;
    init.value = slot < kServiceSlots ? 1 : 2;
  }
  Add(Op::kEntry).value = 0x504FF;
  Op& entry = Add(Op::kEntry);
  entry.value = 0x50600, entry.index = 1;
  for (Op::Kind k : {Op::kInfo, Op::kToolInfo, Op::kGuiInfo}) {
    Op& q = Add(k);
    q.a1 = 0x11, q.a2 = 0x22;
  }
}

// A query, the button image failing, or a tool service unbound or bound
// again.
void Generator::Query() {
  const uint32_t roll = Below(10);
  if (roll < 3) {
    constexpr uint32_t kToolSlots[] = {kRegisterInfo, kGetViewAttribute, kSetViewAttribute,
                                       kRefreshViews, kGetViewCamera,    kSetViewCamera};
    Op& init = Add(Op::kInit);
    init.index = kToolSlots[Below(6)];
    init.value = Below(3) != 0;
    return;
  }
  if (roll < 5) Add(Op::kImage).value = Below(2);
  static constexpr Op::Kind kQueries[] = {Op::kEntry, Op::kInfo, Op::kToolInfo, Op::kGuiInfo,
                                          Op::kReleasePlugin};
  Op& q = Add(kQueries[Below(5)]);
  q.a1 = Word(), q.a2 = Word();
  if (Below(4) == 0) q.w0 = kOurs0 + 1;
  q.index = q.kind == Op::kInfo ? (Below(3) ? 0 : Word()) : 1;
  const uint32_t versions[] = {0x504FF, 0x50500, 0x50501, 0xFFFFFFFF, 0, Word()};
  q.value = versions[Below(6)];
}

// An angle for the camera: fractions, near right angles small and far out,
// tiny ones a move past 2^24 puts just off a float's halfway point,
// denormals, zeros, infinities, not numbers (quiet and signalling), beyond
// the int32_t range, and any bits at all.
float Generator::Angle() {
  const auto nearRight = [&](bool large) {
    const int64_t k = large ? (int64_t{1} << 30) / 90 + Below((int64_t{1} << 30) / 90)
                            : static_cast<int64_t>(Below(17)) - 8;
    const double sign = Below(2) ? -1.0 : 1.0;
    return static_cast<float>(sign * static_cast<double>(k * 90) + (Below(600) - 300.0) / 10.0);
  };
  const float specials[] = {std::bit_cast<float>(0x7FC00000u),
                            std::bit_cast<float>(0x7F800001u),
                            std::bit_cast<float>(0xFFBFFFFFu),
                            INFINITY,
                            -INFINITY,
                            0.0f,
                            -0.0f,
                            3e9f,
                            -2147483904.0f,
                            2147483648.0f,
                            -2147483648.0f,
                            3.4e38f};
  switch (Below(10)) {
    case 0: return std::bit_cast<float>(Word());
    case 1: return std::bit_cast<float>(Below(0x00800000) | (Below(2) << 31));  // denormal
    case 2:
    case 3: return nearRight(false);
    case 4: return nearRight(true);
    case 5: return specials[Below(std::size(specials))];
    case 6: return (Below(2) ? 1.0f : -1.0f) * std::ldexp(1.0f, -static_cast<int>(20 + Below(100)));
    default: return static_cast<float>(static_cast<int32_t>(Below(800001)) - 400000) / 1000.0f;
  }
}

// A drag on a view of some kind: the camera, options, Ctrl and attributes
// as they come, a press, a few moves (a hand's steps, jumps across the
// screen, or travels past 2^24 onto a float's halfway point) and a release.
void Generator::Drag() {
  const uint32_t view = 1 + Below(5);  // 1, 2 plain; 3 no attributes; 4 parallel; 5 UV
  const auto attr = [&](const char* key, Attribute a) {
    Op& op = Add(Op::kAttr);
    op.view = view, op.key = key, op.attribute = std::move(a);
  };
  if (view == 1 || view == 2) {
    attr("UV", Value(Below(8) ? "0" : std::string(100, '0')));
    attr("Pers", Value(Below(8) ? "1" : " +1 degrees"));
  }
  if (view == 4) attr("Pers", Value("0"));
  if (view == 5) attr("UV", Value(Below(2) ? "1" : std::string(200, ' ') + "7"));
  if (Below(6) == 0) {  // a host that answers badly
    Attribute a = Value(kValues[Below(std::size(kValues))]);
    const int32_t sizes[] = {-1, 0, 1, 2, 3, 64, 65, 200, 1023, 1024, 1025, 1 << 20, INT32_MAX};
    if (Below(2)) a.sizeAnswer = sizes[Below(std::size(sizes))];
    if (Below(4) == 0) a.valueAnswer = Below(2) ? 0 : -1;
    a.terminated = Below(3) != 0;
    attr(Below(2) ? "UV" : "Pers", a);
  }
  Op& camera = Add(Op::kCamera);
  camera.view = view;
  // The opaque values any bits, signalling not-a-numbers among them.
  const uint32_t opaque[] = {0x7F800001, 0xFFBFFFFF, 0x7FC00000, 0x80000000, 0x00000001};
  for (uint32_t& v : camera.camera) v = Below(4) ? Word() : opaque[Below(std::size(opaque))];
  const float heading = Angle(), pitch = Angle();
  camera.camera[4] = std::bit_cast<uint32_t>(heading);
  camera.camera[5] = std::bit_cast<uint32_t>(pitch);
  for (uint32_t i = 0; i < 4; ++i) {
    Op& option = Add(Op::kOption);
    option.index = i;
    option.value = Below(8) ? (i == 0 ? Below(8) != 0 : Below(2)) : Word() & 0xFF;
  }
  if (Below(6) == 0) Add(Op::kSwitch);
  // Tiny angles are moved past 2^24 onto a float's halfway point.
  const bool tie =
      !hostile_ && std::fabs(heading) < 1e-6f && std::fabs(pitch) < 1e-6f && Below(4) != 0;
  const auto cursor = [&](int64_t x, int64_t y) {
    Op& c = Add(Op::kCursor);
    c.x = static_cast<int32_t>(tie ? x : std::clamp<int64_t>(x, 0, 1023));
    c.y = static_cast<int32_t>(tie ? y : std::clamp<int64_t>(y, 0, 767));
    c.value = !hostile_ && Below(12) == 0;
  };
  // On a screen every display has, but for the travels past 2^24.
  const int64_t start = tie ? -(int64_t{1} << 30) : static_cast<int64_t>(Below(1024));
  cursor(start, tie ? start : static_cast<int64_t>(Below(768)));
  const auto button = [&](uint32_t pressed, uint32_t buttons) {
    Op& b = Add(Op::kButton);
    b.pressed = pressed, b.buttons = buttons, b.view = view, b.target = 0x7E;
  };
  if (Below(8) == 0) button(1, 2);  // the right button
  button(1, 1);
  int64_t x = start, y = start;
  for (uint32_t moves = Below(4); moves > 0; --moves) {
    if (tie) {
      const auto halfway = [&] {
        const int e = 25 + static_cast<int>(Below(5));
        const int64_t m =
            (int64_t{1} << e) + (2 * int64_t{Below(1 << 23)} + 1) * (int64_t{1} << (e - 24));
        return start + (Below(2) ? m : -m);
      };
      x = halfway(), y = halfway();
    } else if (std::fabs(heading) > 1e9f) {
      x += static_cast<int64_t>(Below(7)) - 3, y += static_cast<int64_t>(Below(7)) - 3;
    } else {
      x = Below(1024), y = Below(768);
    }
    cursor(x, y);
    Op& move = Add(Op::kMove);
    move.buttons = Below(8) ? 1 : 2;
    move.view = view;
  }
  const uint16_t keys[] = {0, 1, 0x8000, 0x8001, 0xFF80, 0x7FFF, 0xFFFF, 0x0080};
  Add(Op::kCtrl).value = keys[Below(std::size(keys))];
  button(0, 1);
}

// Another tool's ids, another or no context, any buttons and pressed
// bytes, a drag state written where the host keeps it, a wild binding.
void Generator::Roughen(Op* op) {
  if (Below(100) < 15) {
    switch (Below(4)) {
      case 0: op->w0 = kOurs0 + (Below(2) ? 1 : -1); break;
      case 1: op->w1 = Below(2) ? 1 : 0xFFFFFFFF; break;
      case 2: op->w0 = op->w1 = Below(2) ? 0 : 0xFFFFFFFF; break;
      default: op->w0 = Word(), op->w1 = Word(); break;
    }
  }
  if (Below(100) < 20) op->context = 1 + static_cast<int>(Below(2));
  if (Below(100) < 20) op->buttons = Below(2) ? Below(8) : Word();
  if (op->kind == Op::kButton && Below(100) < 20) {
    const uint32_t pressed[] = {0x100, 0xFF00, 0x101, Word()};
    op->pressed = pressed[Below(4)];
  }
  if (op->kind == Op::kInit && Below(4) == 0)
    op->index = kServiceSlots + Below(1000), op->value = 2;
  if (Below(100) < 5) {
    Op state;
    state.kind = Op::kState;
    const uint32_t states[] = {0, 1, 2, 0xFFFFFFFF, Word()};
    state.value = states[Below(5)];
    state.context = static_cast<int>(Below(2));
    queue_.push_front(state);
  }
}

// --- Playing them ------------------------------------------------------------

Player::Player(Probe& probe, const Plugin& plugin)
    : probe_(probe), host_(plugin), module_(plugin.module) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    const void* m = plugin.module;
    const std::pair<const char*, const char*> kImports[] = {{"user32.dll", "GetCursorPos"},
                                                            {"user32.dll", "GetKeyState"},
                                                            {"user32.dll", "LoadImageA"}};
    const void* const kStandIns[] = {reinterpret_cast<const void*>(&CursorStandIn),
                                     reinterpret_cast<const void*>(&KeyStateStandIn),
                                     reinterpret_cast<const void*>(&ImageStandIn)};
    for (int i = 0; i < 3; ++i)
      if (Redirect(m, kImports[i].first, kImports[i].second, kStandIns[i]) == 0)
        probe.Fail(Cat({"the module does not import ", kImports[i].second, " from user32.dll"}));
    Redirect(m, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&MallocStandIn));
    Redirect(m, "msvcrt.dll", "calloc", reinterpret_cast<const void*>(&CallocStandIn));
    Redirect(m, "msvcrt.dll", "realloc", reinterpret_cast<const void*>(&ReallocStandIn));
    Redirect(m, "msvcrt.dll", "free", reinterpret_cast<const void*>(&FreeStandIn));
    gRaised.base = reinterpret_cast<uintptr_t>(m);
    gRaised.end = gRaised.base + ReadImage(m).size;
    AddVectoredExceptionHandler(1, CatchFloatException);
  }
  gSystem = {};
  gSystem.heapBlocks = gBlocks.size();
}

unsigned char* Player::Context(int which) {
  return which == 0 ? host_.context() : which == 1 ? spare_.data() : nullptr;
}

std::string Player::Do(const Op& op) {
  View& view = host_.view(op.view);
  switch (op.kind) {
    case Op::kCursor:
      gSystem.cursorFails = op.value != 0;
      gSystem.x = op.x, gSystem.y = op.y;
      return "";
    case Op::kCtrl: gSystem.keyState = static_cast<uint16_t>(op.value); return "";
    case Op::kImage: gSystem.imageFails = op.value != 0; return "";
    case Op::kOption:
      if (options_[op.index]) options_[op.index]->value = static_cast<uint8_t>(op.value);
      return "";
    case Op::kAttr: view.attributes[op.key] = op.attribute; return "";
    case Op::kUnset: view.attributes.erase(op.key); return "";
    case Op::kCamera: view.camera = op.camera; return "";
    case Op::kState: std::memcpy(Context(op.context) + kDragStateByte, &op.value, 4); return "";
    default: break;
  }
  const uint32_t context = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Context(op.context)));
  const uint32_t module = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host_.plugin().module));
  std::vector<uint32_t> args;
  ExportIndex which = kToolSwitch;
  switch (op.kind) {
    case Op::kInit: {
      void* service = op.value == 0   ? nullptr
                      : op.value == 1 ? Service(op.index)
                                      : reinterpret_cast<void*>(0xDEADBEEF);
      which = kInitializePluginProc;
      args = {op.index, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(service))};
      if (op.index < kServiceSlots) bound_[op.index] = service;
      break;
    }
    case Op::kEntry: which = kPluginEntry, args = {op.a1, op.index ? module : 0, op.value}; break;
    case Op::kInfo: which = kGetPluginInfo, args = {op.a1, op.a2, op.index}; break;
    case Op::kReleasePlugin: which = kReleasePlugin; break;
    case Op::kToolInfo: which = kGetToolInfo, args = {op.a1, op.a2, op.w0, op.w1}; break;
    case Op::kGuiInfo: which = kGetGUIInfo, args = {op.a1, op.a2, op.w0, op.w1}; break;
    case Op::kSwitch:
      which = kToolSwitch, args = {op.a1, op.a2, op.w0, op.w1, 0, 0, context};
      break;
    case Op::kButton:
      which = kToolMouseButton;
      args = {op.a1,      op.a2,      op.w0,   op.w1,     0,      0,
              op.pressed, op.buttons, op.view, op.target, context};
      break;
    case Op::kMove:
      which = kToolMouseMove;
      args = {op.a1, op.a2, op.w0, op.w1, 0, 0, op.buttons, op.view, 0, context};
      break;
    default: break;
  }

  // What the call finds.
  const bool event = op.kind == Op::kSwitch || op.kind == Op::kButton || op.kind == Op::kMove;
  unsigned char* own = Context(op.context);
  Scene scene = SceneOf(host_, op.view, own ? own : host_.context());
  scene.ours = op.ours();
  scene.context = own != nullptr;
  scene.bound = {bound_[kGetViewAttribute] != nullptr, bound_[kSetViewAttribute] != nullptr,
                 bound_[kRefreshViews] != nullptr, bound_[kGetViewCamera] != nullptr,
                 bound_[kSetViewCamera] != nullptr};
  scene.cursorKnown = !gSystem.cursorFails;
  scene.x = gSystem.x, scene.y = gSystem.y;
  scene.ctrl = (gSystem.keyState & 0x8000) != 0;
  scene.anchor = anchor_;
  for (int k = 0; k < 4; ++k) scene.options[k] = options_[k] ? options_[k]->value : 0;
  const std::array<uint32_t, 8> before = view.camera;
  const std::string finds =
      !event
          ? ""
          : Format(
                " with %s, GetKeyState answering 0x%04X, drag state %d, \"UV\" read as %d, "
                "\"Pers\" as %d, the camera at %s, %s",
                gSystem.cursorFails ? "GetCursorPos failing"
                                    : Format("the cursor at %d,%d", gSystem.x, gSystem.y).c_str(),
                gSystem.keyState, scene.dragState, scene.uv, scene.pers,
                Angle(scene.heading).c_str(), Angle(scene.pitch).c_str());
  const std::string what = Format("call %u, %s%s, %s", calls_ + 1, Describe(op).c_str(),
                                  finds.c_str(), environmentName.c_str());
  probe_.At(what);

  uint32_t eax = 0;
  std::string wrong = Call(which, std::move(args), &eax);
  if (wrong.empty() && !ended_) {
    if (event) {
      const int32_t answer =
          op.kind == Op::kMove || op.kind == Op::kButton ? static_cast<int32_t>(eax) : eax & 0xFF;
      const Effect due = op.kind == Op::kSwitch ? SwitchRule(scene)
                         : op.kind == Op::kMove ? MoveRule(scene, op.buttons)
                         : op.pressed & 0xFF    ? PressRule(scene, op.buttons)
                                                : ReleaseRule(scene);
      wrong = EffectDiffers(host_, op.view, before, answer, own ? DragState(own) : scene.dragState,
                            op.target, due);
      if (op.kind == Op::kSwitch && eax > 1)
        wrong = Format("answered EAX 0x%08X; the rule: 1, the whole of EAX", eax);
      if (gSystem.otherKey) wrong = Format("asked GetKeyState for key 0x%X", gSystem.otherKey);
      anchor_ = due.anchor;
    } else {
      wrong = Query(op, eax);
    }
  }
  DeleteButtons(host_);
  host_.registrations.clear();
  return wrong.empty() ? "" : Cat({what, ": ", wrong});
}

std::string Player::Call(ExportIndex which, std::vector<uint32_t> args, uint32_t* eax) {
  const Plugin& p = host_.plugin();
  const void* const kAddress[] = {
#define PLAY_ADDRESS(name) reinterpret_cast<const void*>(p.name),
      MCP_EXPORTS(PLAY_ADDRESS)
#undef PLAY_ADDRESS
  };
  ++calls_;
  host_.ClearLog();
  gSystem.imageLoads = 0;
  gSystem.otherKey = 0;
  gRaised.code = 0;
  gAbnormalSlot = abnormalSlot_, gAbnormalNth = abnormalNth_, gAbnormalCount = 0;
  abnormalNth_ = 0;
  ended_ = false;
  const size_t blocks = gSystem.heapBlocks;
  PaintStack();
  static ProbedCall r;
  if (setjmp(gUnwindTo) == 0) {
    r = ProbeCall(kAddress[which], args.data(), static_cast<int32_t>(args.size()), environment);
  } else {  // the caller's state is this program's own again
    ended_ = true;
    const uint16_t x87 = 0x027F;
    const uint32_t mxcsr = 0x1F80;
    asm volatile("cld\n\tfninit\n\tfldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(mxcsr));
  }
  gAbnormalNth = 0;
  *eax = r.eax;
  const Export& e = kExports[which];
  seen_ = ended_               ? std::string("ended abnormally")
          : e.answerBytes == 0 ? std::string("no answer")
          : e.answerBytes == 1 ? Format("answered %u", r.eax & 0xFF)
                               : Format("answered %d", static_cast<int32_t>(r.eax));
  // Pointers into the module's stack differ from run to run; the log's text
  // names them alone. The camera's values go in whole.
  for (const sim::Call& c : host_.log) {
    if (c.slot != kSetViewCamera) {
      seen_.append("; ").append(c.text);
      continue;
    }
    seen_.append("; SetViewCamera(").append(std::to_string(c.args[0]));
    for (size_t i = 1; i < c.args.size(); ++i) seen_.append(",").append(Bits(c.args[i]));
    seen_.append(")");
  }
  for (const Registration& reg : host_.registrations) {
    std::vector<uint8_t> bytes = reg.bytes;
    if (reg.kind == kToolInfo && bytes.size() == 54) {
      const bool none = !bytes[8] && !bytes[9] && !bytes[10] && !bytes[11];
      std::memset(&bytes[8], none ? 0 : 0xBB, 4);  // a new handle at every load
    }
    seen_.append("; record");
    for (uint8_t b : bytes) seen_.append(Format(" %02X", b));
  }
  seen_.append(Format("; drag state %d", host_.dragState()));

  if (gRaised.code)
    return Format("raised %s at %s", FloatExceptionName(gRaised.code),
                  Where(reinterpret_cast<const void*>(gRaised.at)).c_str());
  if (gSystem.heapBlocks > blocks)
    return Format("%u heap block%s of the module outlived the call%s",
                  static_cast<unsigned>(gSystem.heapBlocks - blocks),
                  gSystem.heapBlocks - blocks == 1 ? "" : "s",
                  ended_ ? ", which a service ended abnormally" : "");
  if (ended_) return "";
  const CallEnvironment& c = environment;
  const std::pair<const char*, std::pair<uint32_t, uint32_t>> registers[] = {
      {"EBX", {r.ebx, c.ebx}},
      {"ESI", {r.esi, c.esi}},
      {"EDI", {r.edi, c.edi}},
      {"EBP", {r.ebp, c.ebp}}};
  for (const auto& [name, values] : registers)
    if (values.first != values.second)
      return Format("returned with %s 0x%08X, called with 0x%08X", name, values.first,
                    values.second);
  if (r.directionSet) return "returned with the direction flag set";
  if (r.x87After != r.x87Before)
    return Format("left the x87 control word at 0x%04X, called with 0x%04X", r.x87After,
                  r.x87Before);
  if (r.x87Tags != 0xFFFF || (r.x87Status & 0x3800))
    return Format("left the x87 register stack in use (tag word 0x%04X, status word 0x%04X)",
                  r.x87Tags, r.x87Status);
  if (r.mxcsrAfter != r.mxcsrBefore)
    return Format("left MXCSR at 0x%04X, called with 0x%04X", r.mxcsrAfter, r.mxcsrBefore);
  if (r.popped != 0) return Format("removed %d bytes of its arguments itself", r.popped);
  return "";
}

// A query held to its rule: the answer, the records registered, and for the
// button one load of its image, handed on as the system gave it.
std::string Player::Query(const Op& op, uint32_t eax) {
  const bool registerBound = bound_[kRegisterInfo] != nullptr;
  QueryEffect due;
  uint32_t w0 = op.w0, w1 = op.w1;
  switch (op.kind) {
    case Op::kEntry:
      module_ = op.index ? host_.plugin().module : nullptr;
      due.answer = EntryRule(op.value);
      break;
    case Op::kInfo:
      due = PluginInfoRule(registerBound, static_cast<int32_t>(op.index));
      w0 = w1 = 0;
      break;
    case Op::kToolInfo: {
      due = ToolInfoRule(registerBound, op.ours(), gSystem.image);
      const int loads = due.answer ? 1 : 0;
      const std::string asked =
          Format("LoadImageA(%s, \"IDB_BITMAP1\", %u, 22, 26, 0x%X)",
                 Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module_))).c_str(),
                 IMAGE_BITMAP, LR_CREATEDIBSECTION);
      if (gSystem.imageLoads != loads || (loads && gSystem.imageAsked != asked))
        return Format("made %d LoadImageA calls%s; the rule: %d%s", gSystem.imageLoads,
                      gSystem.imageLoads ? Cat({", the last ", gSystem.imageAsked}).c_str() : "",
                      loads, loads ? Cat({", ", asked}).c_str() : "");
      break;
    }
    case Op::kGuiInfo: due = GuiInfoRule(registerBound, op.ours()); break;
    default:  // binding and the release notice answer nothing and call nothing
      return host_.log.empty() ? ""
                               : Cat({"called ", host_.log.front().text, "; the rule: no call"});
  }
  const Export& e = kExports[op.kind == Op::kEntry      ? kPluginEntry
                             : op.kind == Op::kInfo     ? kGetPluginInfo
                             : op.kind == Op::kToolInfo ? kGetToolInfo
                                                        : kGetGUIInfo];
  const int32_t answer =
      e.answerBytes == 1 ? static_cast<int32_t>(eax & 0xFF) : static_cast<int32_t>(eax);
  if (answer != due.answer || (e.answerBytes == 1 && eax > 1))
    return Format("answered EAX 0x%08X; the rule: %d", eax, due.answer);
  const auto& got = host_.registrations;
  if (got.size() != due.records.size() || host_.log.size() != due.records.size())
    return Format("made %s; the rule: %u record%s", LogText(host_).c_str(),
                  static_cast<unsigned>(due.records.size()), due.records.size() == 1 ? "" : "s");
  for (size_t i = 0; i < got.size(); ++i) {
    const Registration& r = got[i];
    const RecordDue& d = due.records[i];
    if (r.idWord0 != w0 || r.idWord1 != w1 || r.hostArg1 != op.a1 || r.hostArg2 != op.a2 ||
        r.kind != d.kind || r.bytes.size() != d.bytes.size())
      return Format("made %s; the rule: RegisterInfo(%s,%s,%s,%s,%u,record,%u)",
                    host_.log[i].text.c_str(), Hex(w0).c_str(), Hex(w1).c_str(), Hex(op.a1).c_str(),
                    Hex(op.a2).c_str(), d.kind, static_cast<unsigned>(d.bytes.size()));
    std::vector<uint8_t> bytes = r.bytes;
    for (const auto& [at, text] : d.texts) {
      const char* p;
      std::memcpy(&p, &bytes[at], 4);
      if (!p || IsBadStringPtrA(p, 4096) || (text ? *text != p : !*p))
        return Format("registered record %u with bytes %d-%d leading to %s; the rule: %s",
                      static_cast<unsigned>(i + 1), at, at + 3,
                      p && !IsBadStringPtrA(p, 4096) ? Quote(p).c_str() : "no text",
                      text ? Quote(*text).c_str() : "a text");
      std::memset(&bytes[at], 0, 4);
    }
    if (bytes != d.bytes) {
      std::string seen, wanted;
      for (size_t b = 0; b < bytes.size(); ++b)
        seen.append(Format(" %02X", bytes[b])), wanted.append(Format(" %02X", d.bytes[b]));
      return Format("registered record %u as%s (texts as 00); the rule:%s",
                    static_cast<unsigned>(i + 1), seen.c_str(), wanted.c_str());
    }
    if (r.kind == kGuiOption)
      options_[i] = static_cast<GuiOptionRecord*>(const_cast<void*>(r.record));
  }
  return "";
}

// --- Into a session script ---------------------------------------------------

SessionWriter StartingSession() {
  SessionWriter session(0, 0);
  for (ViewHandle v = 5; v >= 1; --v) {
    session.View(v);
    session.Unset(v, "UV");
    session.Unset(v, "Pers");
  }
  return session;
}

bool Write(const Op& op, SessionWriter& session) {
  const bool plain = op.ours() && op.context == 0;
  switch (op.kind) {
    case Op::kCursor:
      if (op.value || op.x < 0 || op.y < 0 || op.x > 1023 || op.y > 767) break;
      session.Cursor(op.x, op.y);
      return true;
    case Op::kCtrl: session.Ctrl((op.value & 0x8000) != 0); return true;
    case Op::kOption: session.Option(static_cast<int>(op.index) + 1, op.value); return true;
    case Op::kAttr: session.Attr(op.view, op.key, op.attribute); return true;
    case Op::kUnset: session.Unset(op.view, op.key); return true;
    case Op::kCamera: {
      bool opaqueZero = true;
      for (int i : {0, 1, 2, 3, 6, 7}) opaqueZero = opaqueZero && op.camera[i] == 0;
      const float h = std::bit_cast<float>(op.camera[4]), t = std::bit_cast<float>(op.camera[5]);
      if (!opaqueZero || std::isnan(h) || std::isnan(t)) break;
      session.Angles(op.view, h, t);
      return true;
    }
    case Op::kButton:
      if (!plain) break;
      session.Event(op.pressed & 0xFF ? "press" : "release", op.view, op.buttons);
      return true;
    case Op::kMove:
      if (!plain) break;
      session.Event("move", op.view, op.buttons);
      return true;
    case Op::kSwitch:
      if (!plain) break;
      session.Switch();
      return true;
    default: break;
  }
  session.Comment(Describe(op));
  return false;
}

}  // namespace sim::validate
