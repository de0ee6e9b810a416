#include "sim/validate/play.h"

#include <windows.h>

#include <csetjmp>
#include <cstring>
#include <set>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/host/image.h"
#include "sim/session/effect.h"
#include "sim/text/text.h"

namespace sim::validate {

using namespace orbitrix;

namespace {

// Where a service that ends abnormally unwinds to: msvcrt's longjmp unwinds
// the frames it leaves as Windows unwinds an exception.
jmp_buf gUnwindTo;

// A floating-point exception raised in the module: the first is kept, and
// every exception masked where it was raised, so that the call can go on
// and the check report it.
struct Raised {
  uintptr_t base = 0, end = 0;  // the module
  DWORD code = 0;
  uintptr_t at = 0;
} gRaised;

LONG CALLBACK CatchFloatException(EXCEPTION_POINTERS* e) {
  const DWORD code = e->ExceptionRecord->ExceptionCode;
  const auto at = reinterpret_cast<uintptr_t>(e->ExceptionRecord->ExceptionAddress);
  if (!IsFloatException(code) || at < gRaised.base || at >= gRaised.end)
    return EXCEPTION_CONTINUE_SEARCH;
  if (!gRaised.code) gRaised.code = code, gRaised.at = at;
  CONTEXT* c = e->ContextRecord;
  c->FloatSave.ControlWord |= 0x3F;
  c->FloatSave.StatusWord &= ~0x80FFu;
  DWORD mxcsr;
  std::memcpy(&mxcsr, &c->ExtendedRegisters[24], 4);  // FXSAVE's MXCSR
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

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

// --- The player -----------------------------------------------------------------

Player::Player(Probe& probe, const Plugin& plugin)
    : probe_(probe), host_(plugin), module_(plugin.module) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    const void* m = plugin.module;
    if (const std::string missing = fake::UseStandIns(m); !missing.empty())
      probe.Fail(Cat({"the module does not import ", missing, " from user32.dll"}));
    gRaised.base = reinterpret_cast<uintptr_t>(m);
    gRaised.end = gRaised.base + ReadImage(m).size;
    AddVectoredExceptionHandler(1, CatchFloatException);
  }
  fake::Reset();
}

unsigned char* Player::Context(int which) {
  return which == 0 ? host_.context() : which == 1 ? spare_.data() : nullptr;
}

std::string Player::Do(const Op& op) {
  View& view = host_.view(op.view);
  unsigned char* context = Context(op.context);
  switch (op.kind) {
    case Op::kCursor:
      fake::cursorFails = op.value, cursor_ = {op.x, op.y};
      SetCursor(op.x, op.y);
      return "";
    case Op::kCtrl: fake::keyState = static_cast<uint16_t>(op.value); return "";
    case Op::kImage: fake::imageFails = op.value; return "";
    case Op::kOption:
      if (options_[op.index]) options_[op.index]->value = static_cast<uint8_t>(op.value);
      return "";
    case Op::kAttr: view.attributes[op.key] = op.attribute; return "";
    case Op::kCamera: view.camera = op.camera; return "";
    case Op::kState: std::memcpy(context + kDragStateByte, &op.value, 4); return "";
    default: break;
  }
  const uint32_t c = Address(context), module = Address(host_.plugin().module);
  void* service = op.value == 0   ? nullptr
                  : op.value == 1 ? ServiceForSlot(op.index)
                                  : reinterpret_cast<void*>(0xDEADBEEF);
  ExportIndex which = kToolMouseButton;
  std::vector<uint32_t> args;
  switch (op.kind) {
    case Op::kInit: which = kInitializePluginProc, args = {op.index, Address(service)}; break;
    case Op::kEntry: which = kPluginEntry, args = {op.a1, op.index ? module : 0, op.value}; break;
    case Op::kInfo: which = kGetPluginInfo, args = {op.a1, op.a2, op.index}; break;
    case Op::kReleasePlugin: which = kReleasePlugin; break;
    case Op::kToolInfo: which = kGetToolInfo, args = {op.a1, op.a2, op.w0, op.w1}; break;
    case Op::kGuiInfo: which = kGetGUIInfo, args = {op.a1, op.a2, op.w0, op.w1}; break;
    case Op::kSwitch: which = kToolSwitch, args = {op.a1, op.a2, op.w0, op.w1, 0, 0, c}; break;
    case Op::kMove:
      which = kToolMouseMove, args = {op.a1, op.a2, op.w0, op.w1, 0, 0, op.buttons, op.view, 0, c};
      break;
    default:
      args = {op.a1, op.a2, op.w0, op.w1, 0, 0, op.pressed, op.buttons, op.view, op.target, c};
  }
  if (op.kind == Op::kInit && op.index < kServiceSlots) bound_[op.index] = service;

  // What a tool event finds.
  Scene scene = SceneOf(host_, op.view, context ? context : host_.context());
  scene.ours = op.ours();
  scene.context = context != nullptr;
  scene.bound = {bound_[kGetViewAttribute] != nullptr, bound_[kSetViewAttribute] != nullptr,
                 bound_[kRefreshViews] != nullptr, bound_[kGetViewCamera] != nullptr,
                 bound_[kSetViewCamera] != nullptr};
  scene.cursorKnown = !fake::cursorFails;
  scene.x = cursor_.x, scene.y = cursor_.y;
  scene.ctrl = (fake::keyState & 0x8000) != 0;
  scene.anchor = anchor_;
  for (int k = 0; k < 4; ++k) scene.options[k] = options_[k] ? options_[k]->value : 0;
  const std::array<uint32_t, 8> before = view.camera;
  const std::string cursor = fake::cursorFails
                                 ? std::string("GetCursorPos failing")
                                 : Format("the cursor at %d,%d", cursor_.x, cursor_.y);
  const std::string what =
      Format("call %u, %s", calls_ + 1, Describe(op).c_str()) +
      (op.isEvent() ? Format(" with %s, GetKeyState answering 0x%04X, drag state %d, \"UV\" read "
                             "as %d, \"Pers\" as %d, the camera at %s, %s",
                             cursor.c_str(), fake::keyState, scene.dragState, scene.uv, scene.pers,
                             Angle(scene.heading).c_str(), Angle(scene.pitch).c_str())
                    : "") +
      ", " + environmentName;
  probe_.At(what);

  uint32_t eax = 0;
  std::string wrong = Call(which, args, &eax);
  if (wrong.empty() && !ended_ && op.isEvent()) {
    const Effect due = op.kind == Op::kSwitch ? SwitchRule(scene)
                       : op.kind == Op::kMove ? MoveRule(scene, op.buttons)
                       : op.pressed & 0xFF    ? PressRule(scene, op.buttons)
                                              : ReleaseRule(scene);
    const int32_t answer = op.kind == Op::kSwitch ? eax & 0xFF : static_cast<int32_t>(eax);
    wrong = EffectDiffers(host_, op.view, before, answer,
                          context ? DragState(context) : scene.dragState, op.target, due);
    if (op.kind == Op::kSwitch && eax > 1)
      wrong = Format("answered EAX 0x%08X; the rule: 1, in the whole of EAX", eax);
    if (fake::otherKey) wrong = Format("asked GetKeyState for key 0x%X", fake::otherKey);
    anchor_ = due.anchor;
  } else if (wrong.empty() && !ended_) {
    wrong = Query(op, eax);
  }
  DeleteButtons(host_);
  host_.registrations.clear();
  return wrong.empty() ? "" : Cat({what, ": ", wrong});
}

bool Player::Play(const Op& op) {
  const std::string wrong = Do(op);
  return wrong.empty() || probe_.Fail(Cat({wrong, "; ", Again(probe_)}));
}

// The call through the stack probe, and what the module left that it must
// not have: a floating-point exception, heap blocks, the environment
// changed.
std::string Player::Call(ExportIndex which, const std::vector<uint32_t>& args, uint32_t* eax) {
  const Plugin& p = host_.plugin();
  const void* const kAddress[] = {
#define PLAY_ADDRESS(name) reinterpret_cast<const void*>(p.name),
      MCP_EXPORTS(PLAY_ADDRESS)
#undef PLAY_ADDRESS
  };
  ++calls_;
  host_.ClearLog();
  fake::bitmapLoads = fake::otherKey = 0;
  gRaised.code = 0;
  int count = 0;
  const uint32_t slot = abnormalSlot_;
  const int nth = abnormalNth_;
  host_.onService = [&](uint32_t called) {
    if (called == slot && ++count == nth) std::longjmp(gUnwindTo, 1);
  };
  abnormalNth_ = 0;
  ended_ = false;
  const size_t blocks = fake::heapBlocks;
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
  host_.onService = nullptr;
  *eax = r.eax;

  const Export& e = kExports[which];
  seen_ = {ended_ ? std::string("ended abnormally")
           : e.answerBytes == 0
               ? std::string("no answer")
               : Format("answered 0x%X", e.answerBytes == 1 ? r.eax & 0xFF : r.eax)};
  // Pointers into the module's stack differ from run to run: the log's text
  // names them alone. The camera's values go in whole.
  for (const sim::Call& c : host_.log) {
    seen_.push_back(c.slot == kSetViewCamera ? "SetViewCamera" : c.text);
    if (c.slot == kSetViewCamera)
      for (uint32_t v : c.args) seen_.back().append(" ").append(Bits(v));
  }
  for (const Registration& reg : host_.registrations) {
    std::vector<uint8_t> bytes = reg.bytes;
    if (reg.kind == kToolInfo && bytes.size() == 54 &&
        (bytes[8] | bytes[9] | bytes[10] | bytes[11]))
      std::memset(&bytes[8], 0xBB, 4);  // a new handle at every load
    seen_.push_back("record");
    for (uint8_t b : bytes) seen_.back().append(Format(" %02X", b));
  }
  seen_.push_back(Format("drag state %d", host_.dragState()));

  if (gRaised.code)
    return Format("raised %s at %s", ExceptionName(gRaised.code),
                  Where(reinterpret_cast<const void*>(gRaised.at)).c_str());
  if (fake::heapBlocks > blocks)
    return Format("%u heap block%s of the module outlived the call%s",
                  static_cast<unsigned>(fake::heapBlocks - blocks),
                  fake::heapBlocks - blocks == 1 ? "" : "s",
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

// A query held to its rule; the button's, besides, to one load of its image.
std::string Player::Query(const Op& op, uint32_t eax) {
  const bool registerBound = bound_[kRegisterInfo] != nullptr;
  QueryEffect due;
  switch (op.kind) {
    case Op::kEntry:
      module_ = op.index ? host_.plugin().module : nullptr;
      due.answer = EntryRule(op.value);
      return QueryDiffers(host_, eax, 4, 0, 0, 0, 0, due);
    case Op::kInfo:
      due = PluginInfoRule(registerBound, static_cast<int32_t>(op.index));
      return QueryDiffers(host_, eax, 1, 0, 0, op.a1, op.a2, due);
    case Op::kToolInfo: {
      due = ToolInfoRule(registerBound, op.ours(), Address(fake::bitmap));
      const int loads = due.answer;
      const std::string asked =
          Format("LoadImageA(%s, \"IDB_BITMAP1\", %u, 22, 26, 0x%X)", Hex(Address(module_)).c_str(),
                 IMAGE_BITMAP, LR_CREATEDIBSECTION);
      if (fake::bitmapLoads != loads || (loads && fake::lastBitmapAsked != asked))
        return Format("made %d LoadImageA calls%s; the rule: %d%s", fake::bitmapLoads,
                      fake::bitmapLoads ? Cat({", the last ", fake::lastBitmapAsked}).c_str() : "",
                      loads, loads ? Cat({", ", asked}).c_str() : "");
      return QueryDiffers(host_, eax, 1, op.w0, op.w1, op.a1, op.a2, due);
    }
    case Op::kGuiInfo: {
      due = GuiInfoRule(registerBound, op.ours());
      for (size_t i = 0; i < host_.registrations.size() && i < 4; ++i)
        options_[i] =
            static_cast<GuiOptionRecord*>(const_cast<void*>(host_.registrations[i].record));
      return QueryDiffers(host_, eax, 1, op.w0, op.w1, op.a1, op.a2, due);
    }
    default:  // binding and the release notice answer nothing and call nothing
      return host_.log.empty() ? "" : Cat({"called ", host_.log.front().text, "; the rule: none"});
  }
}

}  // namespace sim::validate
