// A host's service may end abnormally: it raises an exception the host
// catches above the export (a C++ throw travels as one on this platform, and
// so does an access violation the host handles), and the module's frames are
// left without returning. Here each of the services the tool calls ends so
// in turn, at each of its calls in a press, a move and a release, with short
// and long attribute values: an unwind through msvcrt's longjmp, which
// unwinds the frames it leaves as Windows unwinds an exception. Nothing the
// module took may outlive the call (its heap is counted through its own
// imports), and the module must go on by the rules: after each such end the
// host switches tools, as a host that lost an event would, and a whole drag
// follows.
#include <iterator>

#include "host/abi.h"
#include "sim/text/text.h"
#include "sim/validate/checks/checks.h"
#include "sim/validate/play.h"

namespace sim::validate {

using namespace orbitrix;

bool AbnormalEnds(Probe& p) {
  const Plugin* plugin = p.plugin();
  if (!plugin) return false;
  Player player(p, *plugin);
  Generator start(0, false);
  while (player.calls() < kServiceSlots + 6)
    if (!player.Play(start.Next())) return false;
  const Op press{.kind = Op::kButton, .pressed = 1, .buttons = 1},
      move{.kind = Op::kMove, .buttons = 1}, release{.kind = Op::kButton, .buttons = 1},
      toolSwitch{.kind = Op::kSwitch};
  if (!player.Play({.kind = Op::kCtrl, .value = 0x8000})) return false;
  int ended = 0;
  for (uint32_t slot :
       {kGetViewAttribute, kGetViewCamera, kSetViewCamera, kSetViewAttribute, kRefreshViews}) {
    for (const bool longValue : {false, true}) {
      const Op uv{.kind = Op::kAttr,
                  .key = "UV",
                  .attribute = Value(longValue ? std::string(298, ' ') + "0" : "0")};
      for (int nth = 1; nth <= 4; ++nth) {
        for (const Op* event : {&press, &move, &release}) {
          // A drag up to the event that ends abnormally, near a right angle.
          Op camera{.kind = Op::kCamera}, cursor{.kind = Op::kCursor, .x = 100 + nth, .y = 200};
          camera.camera[4] = std::bit_cast<uint32_t>(float(88 + nth));
          camera.camera[5] = std::bit_cast<uint32_t>(-3.5f);
          for (const Op* step :
               std::initializer_list<const Op*>{&uv, &camera, &cursor, &toolSwitch})
            if (!player.Play(*step)) return false;
          if (event != &press && !player.Play(press)) return false;
          cursor.x += 7;
          if (!player.Play(cursor) || (event == &release && !player.Play(move))) return false;
          p.At(Format("service slot %u ending abnormally at its call %d, the \"UV\" value %s", slot,
                      nth, longValue ? "300 bytes long" : "short"));
          player.EndAbnormally(slot, nth);
          if (!player.Play(*event)) return false;
          ended += player.endedAbnormally();
          // The host caught it; the module goes on.
          for (const Op* step :
               std::initializer_list<const Op*>{&toolSwitch, &press, &cursor, &move, &release})
            if (!player.Play(*step)) return false;
        }
      }
    }
  }
  p.Note(
      Format("%d calls of GetViewAttribute, GetViewCamera, SetViewCamera, SetViewAttribute "
             "and RefreshViews ended abnormally in a press, a move or a release, \"UV\" short "
             "or 300 bytes long; no heap block outlived one, and each was followed by a drag "
             "by the rules",
             ended));
  if (ended == 0) return p.Fail("no service call ended abnormally: the module called none");
  return true;
}

}  // namespace sim::validate
