// The fuzzer: its steps, how they are carried out, how they are written down.
#include "sim/validate/fuzz/fuzzer.h"

#include <windows.h>

#include <cmath>
#include <cstring>

#include "host/abi.h"
#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/stopwatch.h"

namespace sim::validate {

using namespace orbitrix;

namespace {

const char* const kContexts[] = {"the host's context", "another context", "a null context"};

// What the fuzzer makes an attribute answer.
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
    case Op::kToolInfo: return Format("MCP_GetToolInfo(%s)", id.c_str());
    case Op::kGuiInfo: return Format("MCP_GetGUIInfo(%s)", id.c_str());
    case Op::kSwitch: return Format("MCP_ToolSwitch(%s, %s)", id.c_str(), kContexts[op.context]);
    case Op::kButton:
      return Format("MCP_ToolMouseButton(%s, pressed 0x%X, buttons 0x%X, view %u, target 0x%X, %s)",
                    id.c_str(), op.pressed, op.buttons, op.view, op.target, kContexts[op.context]);
    case Op::kMove:
      return Format("MCP_ToolMouseMove(%s, buttons 0x%X, view %u, %s)", id.c_str(), op.buttons,
                    op.view, kContexts[op.context]);
    case Op::kCursor: return Format("the cursor to %d,%d", op.x, op.y);
    case Op::kCtrl: return op.value ? "Ctrl down" : "Ctrl up";
    case Op::kOption: return Format("option %u set to %u", op.index + 1, op.value);
    case Op::kAttr:
      return Format(
          "view %u answers \"%s\" with \"%s\"%s%s%s", op.view, op.key.c_str(),
          op.attribute.value.c_str(),
          op.attribute.sizeAnswer ? Format(", size %d", *op.attribute.sizeAnswer).c_str() : "",
          op.attribute.valueAnswer ? Format(", answer %d", *op.attribute.valueAnswer).c_str() : "",
          op.attribute.terminated ? "" : ", unterminated");
    case Op::kUnset: return Format("view %u loses \"%s\"", op.view, op.key.c_str());
    case Op::kCamera: {
      std::string c = Format("view %u's camera set to", op.view);
      for (uint32_t v : op.camera) c.append(" ").append(Bits(v));
      return c;
    }
    case Op::kState:
      return Format("drag state %d written into %s", op.value, kContexts[op.context]);
  }
  return "";
}

Op Fuzzer::Next() {
  Op op;
  const uint32_t roll = Below(100);
  static const std::pair<uint32_t, Op::Kind> kWeights[] = {
      {5, Op::kInit},      {7, Op::kEntry},    {9, Op::kInfo},    {10, Op::kReleasePlugin},
      {12, Op::kToolInfo}, {15, Op::kGuiInfo}, {20, Op::kSwitch}, {42, Op::kButton},
      {68, Op::kMove},     {83, Op::kCursor},  {87, Op::kCtrl},   {90, Op::kOption},
      {95, Op::kAttr},     {96, Op::kUnset},   {99, Op::kCamera}, {100, Op::kState}};
  for (const auto& [upTo, kind] : kWeights)
    if (roll < upTo) {
      op.kind = kind;
      break;
    }
  op.a1 = Word(), op.a2 = Word();
  if (Below(100) >= 85) Foreign(&op);
  op.context = Below(100) < 80 ? 0 : Below(3) ? 1 : 2;
  op.view = 1 + Below(3);
  switch (op.kind) {
    case Op::kInit: {
      const uint32_t kSlots[] = {0, 75, 76, 108, 110, 111};
      const uint32_t how = Below(10);
      op.index = how < 7   ? kSlots[Below(6)]
                 : how < 9 ? Below(kServiceSlots)
                           : kServiceSlots + Below(1000);
      op.value = op.index >= kServiceSlots ? 2 : Below(10) < 6 ? 1 : 0;
      break;
    }
    case Op::kEntry:
      op.index = Below(5) != 0;
      op.value = Pick({0x504FF, 0x50500, 0x50501, 0x60000, 0xFFFFFFFF, 0, Word()});
      break;
    case Op::kInfo: op.index = Below(10) < 7 ? 0 : Word(); break;
    case Op::kButton:
      op.pressed = Below(100) < 45 ? 1 : Below(100) < 75 ? 0 : Pick({0x100, 0xFF00, 0x101, Word()});
      [[fallthrough]];
    case Op::kMove:
      op.buttons = Below(10) < 6 ? 1 : Below(2) ? Below(8) : Word();
      op.target = Word();
      break;
    case Op::kCursor:
      op.x = screen_.left + static_cast<int32_t>(Below(screen_.right - screen_.left + 1));
      op.y = screen_.top + static_cast<int32_t>(Below(screen_.bottom - screen_.top + 1));
      if (Below(5) == 0) op.x = Below(2) ? screen_.left : screen_.right;
      if (Below(5) == 0) op.y = Below(2) ? screen_.top : screen_.bottom;
      break;
    case Op::kCtrl: op.value = Below(2); break;
    case Op::kOption: op.index = Below(4), op.value = Pick({0, 1, 1, 2, 255, Below(256)}); break;
    case Op::kAttr:
      op.key = Below(2) ? "UV" : "Pers";
      op.attribute.value = kValues[Below(std::size(kValues))];
      if (Below(2))
        op.attribute.sizeAnswer = static_cast<int32_t>(
            Pick({0xFFFFFFFF, 0, 1, 2, 3, 63, 64, 65, 200, 4096, 1 << 20, 0x7FFFFFFF, 0x80000000}));
      if (Below(5) == 0)
        op.attribute.valueAnswer = static_cast<int32_t>(Pick({0, 0xFFFFFFFF, 1, 5}));
      op.attribute.terminated = Below(10) < 7;
      break;
    case Op::kUnset: op.key = Below(2) ? "UV" : "Pers"; break;
    case Op::kCamera:
      for (uint32_t& v : op.camera) v = Below(3) ? 0 : Word();
      if (Below(10) < 7)
        for (int i : {4, 5})
          op.camera[i] = std::bit_cast<uint32_t>(static_cast<float>(Below(8001)) / 10.0f - 400.0f);
      break;
    case Op::kState:
      op.value = Pick({0, 1, 2, 0xFFFFFFFF, Word()});
      op.context = Below(2);
      break;
    default: break;
  }
  return op;
}

void Fuzzer::Foreign(Op* op) {
  switch (Below(4)) {
    case 0: op->w0 = kOurs0 + (Below(2) ? 1 : -1); break;
    case 1: op->w1 = Below(2) ? 1 : 0xFFFFFFFF; break;
    case 2: op->w0 = op->w1 = Pick({0, 0xFFFFFFFF}); break;
    default: op->w0 = Word(), op->w1 = Word(); break;
  }
}

void StartingViews(Host& host) {
  for (ViewHandle v : {1, 2}) host.view(v).attributes = {{"UV", Value("0")}, {"Pers", Value("1")}};
  host.view(2).setAngles(30, 10);
  host.view(3);
}

FuzzRun::FuzzRun(Host& host) : host_(host) {
  for (int i = 0; i < 4; ++i) options_[i] = host.option(i);
  host.registrations.clear();
}

std::string FuzzRun::Do(const Op& op, uint32_t index) {
  const Plugin& plugin = host_.plugin();
  unsigned char* contexts[] = {host_.context(), spare_.data(), nullptr};
  unsigned char* context = contexts[op.context];
  int32_t r = 0, wanted = -1;  // -1: any of the allowed answers below
  const Stopwatch clock;
  switch (op.kind) {
    case Op::kInit: {
      void* service = op.value == 0   ? nullptr
                      : op.value == 1 ? ServiceForSlot(op.index)
                                      : reinterpret_cast<void*>(0xDEADBEEF);
      plugin.InitializePluginProc(op.index, service);
      if (op.index == kRegisterInfo) registerBound_ = service != nullptr;
      break;
    }
    case Op::kEntry:
      r = plugin.PluginEntry(op.a1, op.index ? plugin.module : nullptr, op.value);
      wanted = op.value >= kMinHostVersion ? 1 : 0;
      break;
    case Op::kInfo:
      r = plugin.GetPluginInfo(op.a1, op.a2, static_cast<int32_t>(op.index));
      wanted = op.index == 0 && registerBound_ ? 1 : 0;
      break;
    case Op::kReleasePlugin: plugin.ReleasePlugin(); break;
    case Op::kToolInfo:
      r = plugin.GetToolInfo(op.a1, op.a2, op.w0, op.w1);
      wanted = op.ours() && registerBound_ ? 1 : 0;
      break;
    case Op::kGuiInfo: r = plugin.GetGUIInfo(op.a1, op.a2, op.w0, op.w1), wanted = 1; break;
    case Op::kSwitch:
      r = plugin.ToolSwitch(op.a1, op.a2, op.w0, op.w1, 0, 0, context), wanted = 1;
      break;
    case Op::kButton:
      r = plugin.ToolMouseButton(op.a1, op.a2, op.w0, op.w1, 0, 0, op.pressed, op.buttons, op.view,
                                 op.target, context);
      break;
    case Op::kMove:
      r = plugin.ToolMouseMove(op.a1, op.a2, op.w0, op.w1, 0, 0, op.buttons, op.view, 0, context);
      break;
    case Op::kCursor: SetCursor(op.x, op.y); break;
    case Op::kCtrl: SetCtrl(op.value != 0); break;
    case Op::kOption:
      if (options_[op.index]) options_[op.index]->value = static_cast<uint8_t>(op.value);
      break;
    case Op::kAttr: host_.view(op.view).attributes[op.key] = op.attribute; break;
    case Op::kUnset: host_.view(op.view).attributes.erase(op.key); break;
    case Op::kCamera: host_.view(op.view).camera = op.camera; break;
    case Op::kState:
      std::memcpy((op.context ? spare_.data() : host_.context()) + kDragStateByte, &op.value, 4);
      break;
  }
  const double seconds = clock.seconds();
  if (op.isCall()) {
    ++calls_;
    if (seconds > slowest_) slowest_ = seconds, slowestIndex_ = index, slowestWhat_ = Describe(op);
  }
  // The button bitmaps belong to the host, which deletes them; the other
  // records are not needed after the call.
  DeleteButtons(host_);
  host_.registrations.clear();
  host_.ClearLog();
  const bool allowed = wanted >= 0              ? r == wanted
                       : op.kind == Op::kButton ? r == 0 || r == 4
                       : op.kind == Op::kMove   ? r == 0 || r == 2
                                                : true;
  if (!allowed)
    return Format("step %u: %s answered %d (%s)", index, Describe(op).c_str(), r,
                  wanted >= 0              ? Format("expected %d", wanted).c_str()
                  : op.kind == Op::kButton ? "a button event answers 0 or 4"
                                           : "a move answers 0 or 2");
  return "";
}

std::string FuzzRun::Slowest() const {
  return Format("slowest %.3f ms with the host's services, at step %u: %s", slowest_ * 1e3,
                slowestIndex_, slowestWhat_.c_str());
}

SessionWriter StartingSession(const Screen& s) {
  SessionWriter session(StartX(s), StartY(s));
  session.View(3);
  session.Unset(3, "Pers");
  session.Unset(3, "UV");
  session.View(2, 30, 10);
  session.View(1);
  return session;
}

bool Write(const Op& op, SessionWriter& session) {
  const bool plain = op.ours() && op.context == 0;
  switch (op.kind) {
    case Op::kCursor: session.Cursor(op.x, op.y); return true;
    case Op::kCtrl: session.Ctrl(op.value != 0); return true;
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
