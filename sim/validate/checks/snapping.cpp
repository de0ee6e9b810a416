// The release that straightens the view: when it snaps, onto which multiples
// of 90, what the options, Ctrl and the projection make of it, and that a
// second release changes nothing.
#include <array>
#include <cmath>

#include "host/abi.h"
#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/rules/oracle.h"
#include "sim/text/text.h"
#include "sim/validate/check.h"
#include "sim/validate/checks/checks.h"

namespace sim::validate {

namespace {

using namespace orbitrix;

// --- Snapping ----------------------------------------------------------------

// The slots of the calls that write, in order.
std::vector<uint32_t> Writes(const Host& host) {
  std::vector<uint32_t> slots;
  for (const Call& c : host.log)
    if (c.slot == kSetViewCamera || c.slot == kSetViewAttribute || c.slot == kRefreshViews)
      slots.push_back(c.slot);
  return slots;
}

// One release at (heading, pitch) with snapping always on: snaps exactly
// when both are near, onto the multiples; a second release changes nothing.
bool ReleaseAt(Probe& p, Host& host, float heading, float pitch) {
  View& view = host.view(1);
  p.At(Format("a release at heading %s, pitch %s", Angle(heading).c_str(), Angle(pitch).c_str()));
  view.setAngles(heading, pitch);
  host.setDragState(2);
  host.ClearLog();
  const uint32_t target = 0x51A9;
  const int32_t r = host.Release(1, 1, target);
  const bool snap = NearRightAngle(heading) && NearRightAngle(pitch);
  const std::vector<uint32_t> wanted =
      snap ? std::vector<uint32_t>{kSetViewCamera, kSetViewAttribute, kRefreshViews}
           : std::vector<uint32_t>{};
  const std::string where =
      Format("a release at heading %s, pitch %s", Angle(heading).c_str(), Angle(pitch).c_str());
  if (r != 0 || host.dragState() != 0 || Writes(host) != wanted)
    return p.Fail(Format("%s answered %d with drag state %d and made %s (expected %s)",
                         where.c_str(), r, host.dragState(), LogText(host).c_str(),
                         snap ? "a snap onto right angles" : "no write at all"));
  if (!snap) return true;
  const Call* refresh = LastCall(host, kRefreshViews);
  if (refresh->args[0] != target || refresh->args[1] != 0xFFFFFFFF)
    return p.Fail(Cat({where, " refreshed with ", refresh->text,
                       " (expected the button's target "
                       "0x51A9 and -1)"}));
  if (!SameAngle(view.heading(), SnapTarget(heading)) ||
      !SameAngle(view.pitch(), SnapTarget(pitch)))
    return p.Fail(Format("%s snapped to %s, %s (expected %s, %s)", where.c_str(),
                         Angle(view.heading()).c_str(), Angle(view.pitch()).c_str(),
                         Angle(SnapTarget(heading)).c_str(), Angle(SnapTarget(pitch)).c_str()));
  const auto once = view.camera;
  host.Release(1, 1, target);
  if (view.camera != once)
    return p.Fail(Format("%s snapped to %s, %s, and a second release moved it to %s, %s",
                         where.c_str(), Angle(FloatBits(once[4])).c_str(),
                         Angle(FloatBits(once[5])).c_str(), Angle(view.heading()).c_str(),
                         Angle(view.pitch()).c_str()));
  return true;
}

// What the four options, Ctrl and the projection make of one release at
// angles that are near.
bool SnapOptions(Probe& p, Host& host) {
  View& view = host.view(1);
  for (uint8_t snapOn : {0, 1, 2, 255})
    for (uint8_t ctrlOnly : {0, 1, 2})
      for (uint8_t parallel : {0, 1, 2})
        for (bool ctrl : {false, true})
          for (bool perspective : {true, false}) {
            const std::string where = Format(
                "a release at heading 5, pitch -3 with SnapToRightAngles %d, "
                "SnapOnlyWithCtrl %d, TemporaryParallel %d, Ctrl %s, %s",
                snapOn, ctrlOnly, parallel, ctrl ? "held" : "up",
                perspective ? "in perspective" : "in parallel projection");
            p.At(where);
            host.SetOption(kSnapToRightAngles, snapOn);
            host.SetOption(kSnapOnlyWithCtrl, ctrlOnly);
            host.SetOption(kTemporaryParallel, parallel);
            SetCtrl(ctrl);
            view.setAngles(5, -3);
            view.attributes["Pers"].value = perspective ? "1" : "0";
            view.attributes.erase("TempOrtho");
            host.setDragState(2);
            host.ClearLog();
            host.Release(1);
            const bool snap = perspective && snapOn != 0 && (ctrlOnly != 1 || ctrl);
            std::vector<uint32_t> wanted;
            if (snap) wanted.push_back(kSetViewCamera);
            if (perspective) wanted.insert(wanted.end(), {kSetViewAttribute, kRefreshViews});
            const std::string tempOrtho = !perspective ? "" : snap && parallel == 1 ? "1" : "0";
            if (Writes(host) != wanted || view.text("TempOrtho") != tempOrtho ||
                host.dragState() != 0)
              return p.Fail(
                  Format("%s made %s, drag state %d (expected %s%s)", where.c_str(),
                         LogText(host).c_str(), host.dragState(),
                         snap          ? "a snap"
                         : perspective ? "no snap"
                                       : "no write",
                         perspective ? Cat({", TempOrtho \"", tempOrtho, "\""}).c_str() : ""));
          }
  SetCtrl(false);
  view.attributes["Pers"].value = "1";
  for (int i = 0; i < 4; ++i) host.SetOption(i, 1);
  return true;
}

}  // namespace

bool Snapping(Probe& p, Host& host) {
  host.view(1).plain();
  if (!SnapOptions(p, host)) return false;
  host.SetOption(kSnapOnlyWithCtrl, 0);
  const float angles[] = {0.0f,
                          -0.0f,
                          FloatBits(1),
                          19.0f,
                          19.999998f,
                          20.0f,
                          20.5f,
                          -19.999998f,
                          -20.0f,
                          -20.5f,
                          69.99999f,
                          70.0f,
                          70.99999f,
                          71.0f,
                          89.5f,
                          90.0f,
                          90.5f,
                          109.99999f,
                          110.0f,
                          160.99999f,
                          161.0f,
                          179.0f,
                          180.0f,
                          269.5f,
                          359.9f,
                          360.0f,
                          -70.5f,
                          -71.0f,
                          -89.9f,
                          -90.0f,
                          -110.0f,
                          -161.0f,
                          1e9f,
                          -1e9f,
                          2147483520.0f,
                          2147483648.0f,
                          -2147483648.0f,
                          -2147483904.0f,
                          16777217.0f,
                          1e30f,
                          INFINITY,
                          -INFINITY,
                          FloatBits(0x7FC00000),
                          FloatBits(0x7F800001)};
  int releases = 0;
  for (float heading : angles)
    for (float pitch : angles) {
      if (!ReleaseAt(p, host, heading, pitch)) return false;
      ++releases;
    }
  // Every half degree across the bands, with the other angle at rest.
  for (int half = -800; half <= 800; ++half) {
    if (!ReleaseAt(p, host, half / 2.0f, 0) || !ReleaseAt(p, host, 0, half / 2.0f)) return false;
    releases += 2;
  }
  for (uint64_t i = p.Scaled(0, 20000, 200000); i > 0; --i, ++releases) {
    const auto random = [&] {
      return p.rng() % 4
                 ? static_cast<float>(std::ldexp(static_cast<double>(p.rng() % 2000001) - 1e6,
                                                 -static_cast<int>(p.rng() % 12)))
                 : FloatBits(static_cast<uint32_t>(p.rng()));
    };
    if (!ReleaseAt(p, host, random(), random())) return false;
  }
  p.Note(Format("%d releases", releases));
  return true;
}

}  // namespace sim::validate
