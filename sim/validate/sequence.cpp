#include "sim/validate/sequence.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "sim/text/text.h"

namespace sim::validate {

using orbitrix::kServiceSlots;

namespace {

const char* const kContexts[] = {"the host's context", "another context", "a null context"};

// Angles that are no plain number, as bits: not numbers quiet and
// signalling, the infinities, the zeros, the smallest denormals, the largest
// float, and at and past the ends of the int32_t range (3e9, just below
// -2^31, -2^31, 2^31).
const uint32_t kUnusualAngles[] = {0x7FC00000, 0x7F800001, 0xFFBFFFFF, 0x7F800000, 0xFF800000,
                                   0x00000000, 0x80000000, 0x00000001, 0x80000001, 0x7F7FFFFF,
                                   0x4F32D05E, 0xCF000001, 0xCF000000, 0x4F000000};

}  // namespace

std::string Describe(const Op& op) {
  const std::string id = Format("id 0x%X:0x%X", op.w0, op.w1);
  const Attribute& a = op.attribute;
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
      return Format("view %u answers \"%s\" with %u bytes \"%.12s\"%s%s%s", op.view, op.key.c_str(),
                    static_cast<unsigned>(a.value.size()), a.value.c_str(),
                    a.sizeAnswer ? Format(", size %d", *a.sizeAnswer).c_str() : "",
                    a.valueAnswer ? Format(", answer %d", *a.valueAnswer).c_str() : "",
                    a.terminated ? "" : ", unterminated");
    case Op::kCamera:
      return Format("view %u's camera set to heading %s, pitch %s", op.view,
                    Angle(std::bit_cast<float>(op.camera[4])).c_str(),
                    Angle(std::bit_cast<float>(op.camera[5])).c_str());
    case Op::kState:
      return Format("drag state %d written into %s", op.value, kContexts[op.context]);
  }
  return "";
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

// Binding every slot (and one past them), the entry refused and then
// accepted, the identity, the button and the options.
void Generator::Start() {
  for (uint32_t slot = 0; slot <= kServiceSlots; ++slot)
    queue_.push_back({.kind = Op::kInit, .index = slot, .value = slot < kServiceSlots ? 1u : 2u});
  queue_.push_back({.kind = Op::kEntry, .value = 0x504FF});
  queue_.push_back({.kind = Op::kEntry, .index = 1, .value = 0x50600});
  for (Op::Kind k : {Op::kInfo, Op::kToolInfo, Op::kGuiInfo})
    queue_.push_back({.kind = k, .a1 = 0x11, .a2 = 0x22});
  for (uint32_t angle : kUnusualAngles) {
    DragAt(angle, 0);
    DragAt(0, angle);
  }
}

// A drag that keeps the camera's angles as they are, every option on and
// Ctrl held, so that both the move's pitch limit and the release's band test
// meet them.
void Generator::DragAt(uint32_t heading, uint32_t pitch) {
  Op camera{.kind = Op::kCamera, .view = 1};
  camera.camera[4] = heading, camera.camera[5] = pitch;
  queue_.push_back(camera);
  for (uint32_t i = 0; i < 4; ++i) queue_.push_back({.kind = Op::kOption, .index = i, .value = 1});
  queue_.push_back({.kind = Op::kCtrl, .value = 0x8000});
  queue_.push_back({.kind = Op::kCursor, .x = 100, .y = 100});
  queue_.push_back({.kind = Op::kButton, .pressed = 1, .buttons = 1});
  queue_.push_back({.kind = Op::kMove, .buttons = 1});
  queue_.push_back({.kind = Op::kButton, .pressed = 0, .buttons = 1});
}

// A tool service unbound or bound again, the button's image failing or not,
// a query.
void Generator::Query() {
  if (Below(10) < 3) {
    const uint32_t slots[] = {0, 75, 76, 108, 110, 111};
    queue_.push_back({.kind = Op::kInit, .index = slots[Below(6)], .value = Below(3) != 0});
    return;
  }
  if (Below(10) < 3) queue_.push_back({.kind = Op::kImage, .value = Below(2)});
  const Op::Kind kinds[] = {Op::kEntry, Op::kInfo, Op::kToolInfo, Op::kGuiInfo, Op::kReleasePlugin};
  const uint32_t versions[] = {0x504FF, 0x50500, 0x50501, 0xFFFFFFFF, 0, Word()};
  Op q{.kind = kinds[Below(5)], .a1 = Word(), .a2 = Word(), .value = versions[Below(6)]};
  if (Below(4) == 0) q.w0 = kOurs0 + 1;
  q.index = q.kind == Op::kInfo ? (Below(3) ? 0 : Word()) : 1;
  queue_.push_back(q);
}

// Fractions, near right angles small and far out in [2^30, 2^31), where
// the snap needs every bit of a float; tiny ones, denormals, zeros,
// infinities, not numbers quiet and signalling, past the int32_t range,
// and any bits at all.
float Generator::Angle() {
  const auto nearRight = [&](bool large) {
    const int64_t k = large ? (int64_t{1} << 30) / 90 + Below((int64_t{1} << 30) / 90)
                            : static_cast<int64_t>(Below(17)) - 8;
    return static_cast<float>((Below(2) ? -90.0 : 90.0) * static_cast<double>(k) +
                              (Below(600) - 300.0) / 10.0);
  };
  switch (Below(10)) {
    case 0: return std::bit_cast<float>(Word());
    case 1: return std::bit_cast<float>(Below(0x00800000) | (Below(2) << 31));  // denormal
    case 2:
    case 3: return nearRight(false);
    case 4: return nearRight(true);
    case 5: return std::bit_cast<float>(kUnusualAngles[Below(std::size(kUnusualAngles))]);
    case 6: return (Below(2) ? 1.0f : -1.0f) * std::ldexp(1.0f, -static_cast<int>(20 + Below(100)));
    default: return static_cast<float>(static_cast<int32_t>(Below(800001)) - 400000) / 1000.0f;
  }
}

// A drag on a view of some kind (1 and 2 plain, 3 without attributes, 4 in
// parallel projection, 5 a UV view) with the camera, the options, Ctrl and
// the attributes as they come: a press, a few moves (a hand's steps, jumps
// across the screen, or travels past 2^24 onto a float's halfway point)
// and a release.
void Generator::Drag() {
  const uint32_t view = 1 + Below(5);
  const auto attr = [&](const char* key, Attribute a) {
    queue_.push_back({.kind = Op::kAttr, .view = view, .key = key, .attribute = std::move(a)});
  };
  if (view <= 2) attr("UV", Value(Below(8) ? "0" : std::string(100, '0')));
  if (view <= 2) attr("Pers", Value(Below(8) ? "1" : " +1 degrees"));
  if (view == 4) attr("Pers", Value("0"));
  if (view == 5) attr("UV", Value(Below(2) ? "1" : std::string(200, ' ') + "7"));
  if (Below(6) == 0) {  // a host that answers badly
    const char* values[] = {"0", "1", "", "-1", "abc", " 1", "4294967296", "+0", "0001"};
    const int32_t sizes[] = {-1, 0, 1, 2, 3, 64, 65, 200, 1023, 1024, 1025, 1 << 20, INT32_MAX};
    Attribute a = Value(values[Below(std::size(values))]);
    if (Below(2)) a.sizeAnswer = sizes[Below(std::size(sizes))];
    if (Below(4) == 0) a.valueAnswer = Below(2) ? 0 : -1;
    a.terminated = Below(3) != 0;
    attr(Below(2) ? "UV" : "Pers", a);
  }
  // The opaque values any bits, signalling not-a-numbers among them.
  Op camera{.kind = Op::kCamera, .view = view};
  const uint32_t opaque[] = {0x7F800001, 0xFFBFFFFF, 0x7FC00000, 0x80000000, 0x00000001};
  for (uint32_t& v : camera.camera) v = Below(4) ? Word() : opaque[Below(std::size(opaque))];
  const float heading = Angle(), pitch = Angle();
  camera.camera[4] = std::bit_cast<uint32_t>(heading);
  camera.camera[5] = std::bit_cast<uint32_t>(pitch);
  queue_.push_back(camera);
  for (uint32_t i = 0; i < 4; ++i) {
    const uint32_t value = Below(8) ? (i == 0 ? Below(8) != 0 : Below(2)) : Word() & 0xFF;
    queue_.push_back({.kind = Op::kOption, .index = i, .value = value});
  }
  if (Below(6) == 0) queue_.push_back({.kind = Op::kSwitch});

  // On a screen every display has, but for the travels past 2^24.
  const bool tie =
      !hostile_ && std::fabs(heading) < 1e-6f && std::fabs(pitch) < 1e-6f && Below(4) != 0;
  const auto cursor = [&](int64_t x, int64_t y) {
    queue_.push_back({.kind = Op::kCursor,
                      .value = !hostile_ && Below(12) == 0,
                      .x = static_cast<int32_t>(tie ? x : std::clamp<int64_t>(x, 0, 1023)),
                      .y = static_cast<int32_t>(tie ? y : std::clamp<int64_t>(y, 0, 767))});
  };
  const auto event = [&](Op::Kind kind, uint32_t pressed, uint32_t buttons) {
    queue_.push_back({.kind = kind, .pressed = pressed, .buttons = buttons, .view = view});
  };
  const int64_t start = tie ? -(int64_t{1} << 30) : Below(1024);
  int64_t x = start, y = tie ? start : Below(768);
  cursor(x, y);
  if (Below(8) == 0) event(Op::kButton, 1, 2);  // the right button
  event(Op::kButton, 1, 1);
  const auto halfway = [&] {
    const int e = 25 + static_cast<int>(Below(5));
    const int64_t m =
        (int64_t{1} << e) + (2 * int64_t{Below(1 << 23)} + 1) * (int64_t{1} << (e - 24));
    return start + (Below(2) ? m : -m);
  };
  for (uint32_t moves = Below(4); moves > 0; --moves) {
    if (tie) {
      x = halfway(), y = halfway();
    } else if (std::fabs(heading) > 1e9f) {
      x += static_cast<int64_t>(Below(7)) - 3, y += static_cast<int64_t>(Below(7)) - 3;
    } else {
      x = Below(1024), y = Below(768);
    }
    cursor(x, y);
    event(Op::kMove, 0, Below(8) ? 1 : 2);
  }
  const uint16_t keys[] = {0, 1, 0x8000, 0x8001, 0xFF80, 0x7FFF, 0xFFFF, 0x0080};
  queue_.push_back({.kind = Op::kCtrl, .value = keys[Below(std::size(keys))]});
  event(Op::kButton, 0, 1);
}

// Another tool's ids, another or no context, any buttons and pressed
// bytes, a wild binding past the table, a drag state written where the
// host keeps it.
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
  const uint32_t pressed[] = {0x100, 0xFF00, 0x101, Word()};
  if (op->kind == Op::kButton && Below(100) < 20) op->pressed = pressed[Below(4)];
  if (op->kind == Op::kInit && Below(4) == 0)
    op->index = kServiceSlots + Below(1000), op->value = 2;
  const uint32_t states[] = {0, 1, 2, 0xFFFFFFFF, Word()};
  if (Below(100) < 5)
    queue_.push_front({.kind = Op::kState, .value = states[Below(5)], .context = int(Below(2))});
}

}  // namespace sim::validate
