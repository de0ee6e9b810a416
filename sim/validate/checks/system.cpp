// The system under the module failing as a real one may: GetCursorPos fails
// on a locked or disconnected desktop, LoadImageA may answer null or a new
// bitmap at every call, and GetKeyState answers with more bits than the one
// that says a key is down. The stand-ins answer so here (sim/validate/play.h),
// and every call is held to the rules.
#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/play.h"

namespace sim::validate {

bool SystemFailures(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Player player(p, *plugin);
  Generator generator(CheckSeed(p.settings().seed, "system-failures"), false);
  // The start, its button query with LoadImageA failing, then the button
  // asked for again and again, LoadImageA failing every other time: each
  // query loads its image once and hands on what the system gave, null
  // included.
  Op image, button;
  image.kind = Op::kImage;
  image.value = 1;
  if (!player.Play(image)) return false;
  while (player.calls() < orbitrix::kServiceSlots + 6)
    if (!player.Play(generator.Next())) return false;
  button.kind = Op::kToolInfo;
  for (uint32_t i = 0; i < 8; ++i) {
    image.value = i % 2 == 0;
    button.a1 = i;
    if (!player.Play(image) || !player.Play(button)) return false;
  }
  // The module's work with the cursor failing one time in three.
  const uint64_t calls = player.calls() + p.Scaled(4000, 40000, 400000);
  int failing = 0;
  while (player.calls() < calls) {
    Op op = generator.Next();
    if (op.kind == Op::kCursor) op.value = p.rng() % 3 == 0, failing += op.value;
    if (!player.Play(op)) return false;
  }
  p.Note(Format(
      "the button asked for 8 times, LoadImageA answering null every other time; %u calls with "
      "GetCursorPos failing for %d cursor positions and GetKeyState answering 0x0000, 0x0001, "
      "0x8000, 0x8001, 0xFF80, 0x7FFF, 0xFFFF and 0x0080",
      player.calls(), failing));
  return true;
}

}  // namespace sim::validate
