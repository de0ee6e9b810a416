// The calling environment a real host gives the module: a Windows program
// built with Microsoft's compiler calls the exports on a stack aligned to 4
// bytes only, with whatever its callee-saved registers hold, and with the
// x87 unit and MXCSR as it or a driver left them (Direct3D 9 sets the x87
// unit to 24-bit precision). The check plays one seeded sequence of the
// module's real work plainly, then again in each such environment, every
// export called through the stack probe: each call must give back the
// callee-saved registers, a clear direction flag and the floating-point
// control state, and the host must see exactly what it saw the first time.
#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <iterator>
#include <random>

#include "host/abi.h"
#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/stack_probe.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// The floating-point control state a caller may leave, one setting at a
// time and all together; the first is the plain run's.
struct Setting {
  const char* what;
  uint16_t x87;
  uint32_t mxcsr;
};
constexpr Setting kSettings[] = {
    {"the x87 unit and MXCSR as Windows starts a thread", 0x027F, 0x1F80},
    {"the x87 unit at 24-bit precision", 0x007F, 0x1F80},
    {"MXCSR rounding toward zero", 0x027F, 0x7F80},
    {"MXCSR rounding down", 0x027F, 0x3F80},
    {"MXCSR rounding up", 0x027F, 0x5F80},
    {"MXCSR flushing to zero", 0x027F, 0x9F80},
    {"MXCSR taking denormals for zero", 0x027F, 0x1FC0},
    {"the x87 unit at 24-bit precision and MXCSR rounding toward zero, flushing to zero and "
     "taking denormals for zero",
     0x007F, 0xFFC0},
};

std::string Stack(uint32_t offset) {
  return offset ? Format("a stack %u bytes off a 16-byte boundary", offset)
                : std::string("a 16-byte aligned stack");
}

// What the host saw of one call: the answer, in the width the export
// declares, and every service call with its arguments but pointers into the
// module's stack, the records registered byte for byte (a button's bitmap
// handle only as there or not, since each load makes a new one), and the
// drag state after it.
std::string Seen(const Host& host, size_t registered, const Export& e, uint32_t eax) {
  std::string seen = e.answerBytes == 0   ? std::string("no answer")
                     : e.answerBytes == 1 ? Format("answered %u", eax & 0xFF)
                                          : Format("answered %d", static_cast<int32_t>(eax));
  for (const Call& c : host.log) {
    // The host's log writes the angles in decimal under the caller's x87
    // precision; here they are written afresh, under the validator's own.
    if (c.slot != kSetViewCamera) {
      seen.append("; ").append(c.text);
      continue;
    }
    seen.append("; SetViewCamera(").append(std::to_string(c.args[0]));
    for (size_t i = 1; i < c.args.size(); ++i)
      seen.append(",").append(i == 5 || i == 6 ? Angle(FloatBits(c.args[i])) : Bits(c.args[i]));
    seen.append(")");
  }
  for (size_t i = registered; i < host.registrations.size(); ++i) {
    std::vector<uint8_t> bytes = host.registrations[i].bytes;
    const bool tool = host.registrations[i].kind == kToolInfo && bytes.size() >= 12;
    if (tool) {
      const bool none = bytes[8] == 0 && bytes[9] == 0 && bytes[10] == 0 && bytes[11] == 0;
      for (int b = 8; b < 12; ++b) bytes[b] = none ? 0 : 0xBB;
    }
    seen.append("; record");
    for (uint8_t b : bytes) seen.append(Format(" %02X", b));
  }
  return seen.append(Format("; drag state %d", host.dragState()));
}

// One export call of the sequence: which, with what, in words.
struct Planned {
  ExportIndex which;
  std::vector<uint32_t> args;
  std::string what;
};

// Plays the seeded sequence of the module's real work on a host of its own:
// binding, entry, the three queries, drags that snap and drags that do not,
// long attribute values, tool switches, the release notice. Each call goes
// through call, which answers EAX or false with the failure recorded; what
// the host saw of each call is appended to seen.
using Caller = std::function<bool(const Planned&, size_t index, uint32_t* eax)>;

class Sequence {
 public:
  Sequence(const Plugin& plugin, uint64_t seed, int drags, const Caller& call)
      : host_(plugin), rng_(seed), drags_(drags), call_(call), screen_(CursorScreen()) {}

  bool Play(std::vector<std::string>* seen, std::vector<std::string>* what);

 private:
  uint32_t Below(uint64_t n) { return static_cast<uint32_t>(rng_() % n); }
  float Angle();
  float NearAngle(bool large);
  int32_t X() {
    return screen_.left + static_cast<int32_t>(Below(screen_.right - screen_.left + 1));
  }
  int32_t Y() {
    return screen_.top + static_cast<int32_t>(Below(screen_.bottom - screen_.top + 1));
  }
  bool Call(ExportIndex which, std::vector<uint32_t> args, std::string what);
  bool Drag();

  Host host_;
  std::mt19937_64 rng_;
  int drags_;
  const Caller& call_;
  Screen screen_;
  std::vector<std::string>* seen_ = nullptr;
  std::vector<std::string>* what_ = nullptr;
  int32_t x_ = 0, y_ = 0;
};

// An angle for the camera: fractions that every rounding mode rounds
// differently, angles near right angles and far out where k times 90 is no
// float, anything at all, and denormals that flushing would lose.
float Sequence::Angle() {
  switch (Below(6)) {
    case 0: return std::bit_cast<float>(static_cast<uint32_t>(rng_()));
    case 1: return std::bit_cast<float>(Below(0x00800000) | (Below(2) << 31));
    case 2: return NearAngle(true);
    case 3: return NearAngle(false);
    default:
      return static_cast<float>(static_cast<int32_t>(Below(800000)) - 400000) / 1000.0f +
             std::bit_cast<float>(0x33800000 | Below(0x800000));
  }
}

// Near a right angle: small, or in the top octave of the int32_t range,
// [2^30, 2^31), where a float's steps are 64 and 128 degrees, k times 90 is
// seldom a float and the quotient by 90 needs all 24 bits of a float.
float Sequence::NearAngle(bool large) {
  const int64_t k = large ? (int64_t{1} << 30) / 90 + Below((int64_t{1} << 30) / 90)
                          : static_cast<int64_t>(Below(17)) - 8;
  const double sign = large && Below(2) ? -1.0 : 1.0;
  return static_cast<float>(sign * static_cast<double>(k * 90) + (Below(300) - 150.0) / 10.0);
}

bool Sequence::Call(ExportIndex which, std::vector<uint32_t> args, std::string what) {
  const Planned planned{which, std::move(args), std::move(what)};
  const size_t registered = host_.registrations.size();
  host_.ClearLog();
  uint32_t eax = 0;
  if (!call_(planned, seen_->size(), &eax)) return false;
  seen_->push_back(Seen(host_, registered, kExports[which], eax));
  what_->push_back(Format("%s, call %u (%s)", kExports[which].name,
                          static_cast<unsigned>(what_->size() + 1), planned.what.c_str()));
  DeleteButtons(host_);
  return true;
}

bool Sequence::Drag() {
  const uint32_t context = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host_.context()));
  const auto button = [&](uint32_t pressed, uint32_t buttons, ViewHandle view) {
    return Call(kToolMouseButton,
                {0, 0, kOurs0, kOurs1, 0, 0, pressed, buttons, view, 0x7E, context},
                Format("a %s at %d,%d with buttons 0x%X on view %u", pressed ? "press" : "release",
                       x_, y_, buttons, view));
  };
  const auto move = [&](uint32_t buttons, ViewHandle view) {
    return Call(kToolMouseMove, {0, 0, kOurs0, kOurs1, 0, 0, buttons, view, 0, context},
                Format("a move to %d,%d with buttons 0x%X on view %u", x_, y_, buttons, view));
  };
  const auto cursor = [&](int32_t x, int32_t y) {
    x_ = std::clamp(x, screen_.left, screen_.right);
    y_ = std::clamp(y, screen_.top, screen_.bottom);
    SetCursor(x_, y_);
  };

  // Mostly view 1; now and then one not in perspective, or a UV view.
  const uint32_t roll = Below(10);
  const ViewHandle view = roll < 6 ? 1 : roll < 8 ? 2 : roll < 9 ? 3 : 4;
  View& v = host_.view(view);
  if (view <= 2) v.attributes["UV"] = Value(Below(6) ? "0" : std::string(100, '0'));
  for (uint32_t& value : v.camera) value = static_cast<uint32_t>(rng_());
  // Half the drags start far out and near a right angle, and move little:
  // their releases snap where k times 90 is no float.
  const bool farOut = Below(2) == 0;
  v.setAngles(farOut ? NearAngle(true) : Angle(), farOut ? NearAngle(false) : Angle());
  host_.SetOption(kSnapToRightAngles, Below(8) ? 1 : 0);
  host_.SetOption(kSnapOnlyWithCtrl, Below(2));
  host_.SetOption(kLimitPitch, Below(2));
  host_.SetOption(kTemporaryParallel, Below(2));

  if (Below(4) == 0 && !Call(kToolSwitch, {0, 0, kOurs0, kOurs1, 0, 0, context}, "a tool switch"))
    return false;
  cursor(X(), Y());
  if (Below(8) == 0 && !button(1, 2, view)) return false;  // the right button
  if (!button(1, 1, view)) return false;
  for (uint32_t moves = Below(4); moves > 0; --moves) {
    if (farOut)
      cursor(x_ + static_cast<int32_t>(Below(7)) - 3, y_ + static_cast<int32_t>(Below(7)) - 3);
    else
      cursor(X(), Y());
    if (!move(Below(8) ? 1 : 2, view)) return false;
  }
  SetCtrl(Below(2));
  const bool released = button(0, 1, view);
  SetCtrl(false);
  return released;
}

bool Sequence::Play(std::vector<std::string>* seen, std::vector<std::string>* what) {
  seen_ = seen, what_ = what;
  for (ViewHandle v : {1, 2}) host_.view(v).plain();
  host_.view(3).attributes = {{"UV", Value("0")}, {"Pers", Value("0")}};
  host_.view(4).attributes = {{"UV", Value("1")}, {"Pers", Value("1")}};
  host_.view(2).attributes["UV"] = Value(std::string(100, '0'));

  for (uint32_t slot = 0; slot < kServiceSlots; ++slot) {
    if (!Call(kInitializePluginProc,
              {slot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ServiceForSlot(slot)))},
              Format("binding slot %u", slot)))
      return false;
  }
  const uint32_t module = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host_.plugin().module));
  const Planned start[] = {
      {kInitializePluginProc, {kServiceSlots, 0xDEADBEEF}, "binding slot 131"},
      {kPluginEntry, {0, module, 0x504FF}, "the entry with host version 0x504FF"},
      {kPluginEntry, {0, module, 0x50600}, "the entry with host version 0x50600"},
      {kGetPluginInfo, {0x11, 0x22, 0}, "the identity query"},
      {kGetPluginInfo, {0x11, 0x22, 1}, "the identity query for index 1"},
      {kGetToolInfo, {0x11, 0x22, kOurs0, kOurs1}, "the button query"},
      {kGetToolInfo, {0x11, 0x22, kOurs0 + 1, kOurs1}, "the button query for another tool"},
      {kGetGUIInfo, {0x11, 0x22, kOurs0, kOurs1}, "the options query"},
  };
  for (const Planned& s : start)
    if (!Call(s.which, s.args, s.what)) return false;
  for (int d = 0; d < drags_; ++d)
    if (!Drag()) return false;
  return Call(kReleasePlugin, {}, "the release notice");
}

// The first part, between "; ", in which two texts of what the host saw
// differ.
std::pair<std::string, std::string> FirstDifference(const std::string& a, const std::string& b) {
  const auto parts = [](const std::string& s) {
    std::vector<std::string> out;
    for (size_t start = 0, end; start <= s.size(); start = end + 2) {
      end = std::min(s.find("; ", start), s.size());
      out.push_back(s.substr(start, end - start));
    }
    return out;
  };
  const std::vector<std::string> x = parts(a), y = parts(b);
  size_t i = 0;
  while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
  return {i < x.size() ? x[i] : "nothing more", i < y.size() ? y[i] : "nothing more"};
}

// What a call left that the caller must have back, or "".
std::string LeftChanged(const CallEnvironment& e, const ProbedCall& r) {
  const std::pair<const char*, std::pair<uint32_t, uint32_t>> registers[] = {
      {"EBX", {r.ebx, e.ebx}},
      {"ESI", {r.esi, e.esi}},
      {"EDI", {r.edi, e.edi}},
      {"EBP", {r.ebp, e.ebp}}};
  for (const auto& [name, values] : registers)
    if (values.first != values.second)
      return Format("returned with %s 0x%08X, called with 0x%08X", name, values.first,
                    values.second);
  if (r.directionSet) return "returned with the direction flag set";
  if (r.x87After != r.x87Before)
    return Format("left the x87 control word at 0x%04X, called with 0x%04X", r.x87After,
                  r.x87Before);
  if ((r.mxcsrAfter ^ r.mxcsrBefore) & kMxcsrControl)
    return Format("left MXCSR's control bits at 0x%04X, called with 0x%04X",
                  r.mxcsrAfter & kMxcsrControl, r.mxcsrBefore & kMxcsrControl);
  if (r.popped != 0) return Format("removed %d bytes of its arguments itself", r.popped);
  return "";
}

}  // namespace

bool CallingEnvironment(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  const uint64_t seed = CheckSeed(p.settings().seed, "calling-environment");
  const int drags = static_cast<int>(p.Scaled(120, 600, 3000));
  const std::array<const void*, std::size(kExports)> address = {
#define ENVIRONMENT_ADDRESS(name) reinterpret_cast<const void*>(plugin->name),
      MCP_EXPORTS(ENVIRONMENT_ADDRESS)
#undef ENVIRONMENT_ADDRESS
  };
  const std::string again =
      Format("seed %llu: orbitrix-sim validate --seed %llu --only ^calling-environment$ repeats it",
             static_cast<unsigned long long>(p.settings().seed),
             static_cast<unsigned long long>(p.settings().seed));

  std::vector<std::string> plain;
  size_t calls = 0;
  int runs = 0;
  for (const Setting& setting : kSettings) {
    for (uint32_t offset : {0u, 4u, 8u, 12u}) {
      const bool first = runs == 0;
      const std::string how = Cat({Stack(offset), " with ", setting.what});
      CallEnvironment e;
      e.stackOffset = offset;
      e.x87 = setting.x87;
      e.mxcsr = setting.mxcsr;
      const Caller call = [&](const Planned& c, size_t index, uint32_t* eax) {
        const std::string at =
            Format("%s, call %u (%s), on %s", kExports[c.which].name,
                   static_cast<unsigned>(index + 1), c.what.c_str(), how.c_str());
        p.At(Cat({at, "; ", again}));
        // Fresh sentinels at every call: a module that kept the last ones
        // would give them back by chance.
        const uint32_t n = static_cast<uint32_t>(index);
        e.ebx = 0xB0000000 | n, e.esi = 0x51000000 | n, e.edi = 0xD1000000 | n;
        e.ebp = 0xE0000000 | n;
        const ProbedCall r =
            ProbeCall(address[c.which], c.args.data(), static_cast<int32_t>(c.args.size()), e);
        *eax = r.eax;
        ++calls;
        if (const std::string left = LeftChanged(e, r); !left.empty())
          return p.Fail(Cat({at, ": ", left, "; ", again}));
        return true;
      };
      std::vector<std::string> seen, what;
      Sequence sequence(*plugin, seed, drags, call);
      if (!sequence.Play(&seen, &what)) return false;
      ++runs;
      if (first) {
        plain = std::move(seen);
        continue;
      }
      for (size_t i = 0; i < plain.size() && i < seen.size(); ++i) {
        if (seen[i] == plain[i]) continue;
        const auto [got, had] = FirstDifference(seen[i], plain[i]);
        return p.Fail(
            Format("%s, on %s: the host saw %s where the first run, on %s with %s, "
                   "saw %s; %s",
                   what[i].c_str(), how.c_str(), got.c_str(), Stack(0).c_str(), kSettings[0].what,
                   had.c_str(), again.c_str()));
      }
    }
  }
  SetCtrl(false);
  p.Note(Format(
      "%d runs of %u calls, %u in all, each against the first: every export on stacks 0, 4, 8 "
      "and 12 bytes off a 16-byte boundary with sentinels in EBX, ESI, EDI and EBP, with the "
      "x87 unit and MXCSR as Windows starts a thread, the x87 unit at 24-bit precision, MXCSR "
      "rounding toward zero, down and up, flushing to zero, taking denormals for zero, and "
      "all of these at once",
      runs, static_cast<unsigned>(plain.size()), static_cast<unsigned>(calls)));
  return true;
}

}  // namespace sim::validate
