// The calling environment a real host gives the module: a Windows program
// built with Microsoft's compiler calls the exports on a stack aligned to 4
// bytes only, with whatever its callee-saved registers hold, and with the
// x87 unit and MXCSR as it or a driver left them: another precision or
// rounding, denormals flushed, exceptions unmasked (by another compiler's
// start-up, or to find its own bugs), status flags set. The check plays one
// seeded sequence of the module's work plainly, then again in each such
// environment: every call must raise no floating-point exception, give back
// the callee-saved registers, a clear direction flag, an empty x87 stack and
// the control state whole, and the host must see exactly what it saw the
// first time.
#include <windows.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/play.h"

namespace sim::validate {

namespace {

// The floating-point state a caller may leave, one setting at a time and
// some together; the first is the plain run's. The first runs have MXCSR's
// status flags all set, as a host's own arithmetic leaves some, so that an
// exception the module raises shows as that; the later ones have them
// clear, so that a flag it raises shows.
struct Setting {
  const char* what;
  uint16_t x87;
  uint32_t mxcsr;
};
constexpr Setting kSettings[] = {
    {"the x87 unit and MXCSR as Windows starts a thread, MXCSR's status flags set", 0x027F, 0x1FBF},
    {"invalid, zero-divide and overflow exceptions unmasked (x87 0x1332, MXCSR 0x1900)", 0x1332,
     0x193F},
    {"the invalid-operation exception unmasked", 0x027E, 0x1F3F},
    {"the denormal-operand exception unmasked", 0x027D, 0x1EBF},
    {"the zero-divide exception unmasked", 0x027B, 0x1DBF},
    {"the overflow exception unmasked", 0x0277, 0x1BBF},
    {"the underflow exception unmasked", 0x026F, 0x17BF},
    {"the inexact-result exception unmasked", 0x025F, 0x0FBF},
    {"every exception unmasked", 0x0240, 0x003F},
    {"the x87 unit at 24-bit precision", 0x007F, 0x1F80},
    {"MXCSR rounding toward zero", 0x027F, 0x7F80},
    {"MXCSR rounding down", 0x027F, 0x3F80},
    {"MXCSR rounding up", 0x027F, 0x5F80},
    {"MXCSR flushing to zero", 0x027F, 0x9F80},
    {"MXCSR taking denormals for zero", 0x027F, 0x1FC0},
    {"all of these at once, MXCSR's inexact flag set", 0x007F, 0xFFE0},
};

std::string Stack(uint32_t offset) {
  return offset ? Format("a stack %u bytes off a 16-byte boundary", offset)
                : std::string("a 16-byte aligned stack");
}

// Whether an unmasked floating-point exception traps here. Under an
// emulator (qemu-user) it does not: an exception the module raises shows
// only as the status flag it leaves.
volatile bool gTrapped;
LONG CALLBACK NoteTrap(EXCEPTION_POINTERS* e) {
  if (!IsFloatException(e->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  gTrapped = true;
  DWORD mxcsr;
  std::memcpy(&mxcsr, &e->ContextRecord->ExtendedRegisters[24], 4);
  mxcsr |= 0x1F80;
  std::memcpy(&e->ContextRecord->ExtendedRegisters[24], &mxcsr, 4);
  return EXCEPTION_CONTINUE_EXECUTION;
}
bool Traps() {
  void* handler = AddVectoredExceptionHandler(1, NoteTrap);
  const uint32_t saved = _mm_getcsr();
  _mm_setcsr(0x1F00);  // invalid operation unmasked
  volatile float nan = std::numeric_limits<float>::quiet_NaN();
  volatile bool ordered = _mm_comilt_ss(_mm_set_ss(nan), _mm_set_ss(1.0f));
  (void)ordered;
  _mm_setcsr(saved);
  RemoveVectoredExceptionHandler(handler);
  return gTrapped;
}

}  // namespace

bool CallingEnvironment(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  const uint64_t calls = p.Scaled(800, 4000, 20000);
  const std::string again = Again(p);
  if (!Traps())
    p.Note(
        "floating-point exceptions do not trap here (an emulator): one the module raises shows "
        "only as the status flag it leaves");
  std::vector<std::vector<std::string>> first;
  int runs = 0;
  for (const Setting& setting : kSettings) {
    for (uint32_t offset : {0u, 4u, 8u, 12u}) {
      Player player(p, *plugin);
      player.environment.stackOffset = offset;
      player.environment.x87 = setting.x87;
      player.environment.mxcsr = setting.mxcsr;
      player.environmentName = Cat({"on ", Stack(offset), " with ", setting.what});
      Generator generator(CheckSeed(p.settings().seed, "calling-environment"), false);
      std::vector<std::vector<std::string>> seen;
      while (player.calls() < calls) {
        const Op op = generator.Next();
        // Fresh sentinels at every call: a module that kept the last ones
        // would give them back by chance.
        const uint32_t n = player.calls();
        CallEnvironment& e = player.environment;
        e.ebx = 0xB0000000 | n, e.esi = 0x51000000 | n, e.edi = 0xD1000000 | n;
        e.ebp = 0xE0000000 | n;
        if (const std::string wrong = player.Do(op); !wrong.empty())
          return p.Fail(Cat({wrong, "; ", again}));
        if (op.isCall()) seen.push_back(player.seen());
      }
      if (runs++ == 0) {
        first = std::move(seen);
        continue;
      }
      for (size_t i = 0; i < first.size() && i < seen.size(); ++i) {
        if (seen[i] == first[i]) continue;
        size_t k = 0;
        while (k < seen[i].size() && k < first[i].size() && seen[i][k] == first[i][k]) ++k;
        const auto part = [k](const std::vector<std::string>& s) {
          return k < s.size() ? s[k] : std::string("nothing more");
        };
        return p.Fail(Format(
            "call %u, %s: the host saw %s where the first run, on %s with %s, "
            "saw %s; %s",
            static_cast<unsigned>(i + 1), player.environmentName.c_str(), part(seen[i]).c_str(),
            Stack(0).c_str(), kSettings[0].what, part(first[i]).c_str(), again.c_str()));
      }
    }
  }
  p.Note(Format(
      "%d runs of %u calls, each held to the rules and to the first: every export on stacks 0, "
      "4, 8 and 12 bytes off a 16-byte boundary with sentinels in EBX, ESI, EDI and EBP, under "
      "%u floating-point settings (every exception unmasked alone and together, the x87 unit at "
      "24-bit precision, MXCSR rounding toward zero, down and up, flushing to zero, taking "
      "denormals for zero, status flags set and clear), with cameras at not-a-numbers, "
      "infinities, denormals and beyond the int32_t range%s",
      runs, static_cast<unsigned>(first.size()), static_cast<unsigned>(std::size(kSettings)),
      Traps() ? ""
              : "; floating-point exceptions do not trap here (an emulator), so one the "
                "module raised would show only as the status flag it left"));
  return true;
}

}  // namespace sim::validate
