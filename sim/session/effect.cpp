#include "sim/session/effect.h"

#include <bit>

#include "sim/rules/oracle.h"
#include "sim/text/text.h"

namespace sim {

std::string Described(const Effect& e) {
  std::string s = Format("answered %d, drag state %d, ", e.answer, e.dragState);
  s.append(e.cameraWritten
               ? Format("the camera at %s, %s", Angle(e.heading).c_str(), Angle(e.pitch).c_str())
               : std::string("no camera written"));
  s.append(!e.tempOrtho   ? ", TempOrtho not written"
           : *e.tempOrtho ? ", TempOrtho 1"
                          : ", TempOrtho 0");
  return s.append(Format(", %d redraw%s", e.refreshes, e.refreshes == 1 ? "" : "s"));
}

std::string EffectDiffers(const Host& host, ViewHandle v, const std::array<uint32_t, 8>& before,
                          int32_t answer, uint32_t refreshTarget, const Effect& due) {
  Effect seen;
  seen.answer = answer;
  seen.dragState = host.dragState();
  const std::string tempOrtho = Format("SetViewAttribute(%u,\"TempOrtho\",", v);
  const std::string refresh = Format("RefreshViews(%s,-1)", Hex(refreshTarget).c_str());
  for (const Call& c : host.log) {
    if (c.slot == orbitrix::kSetViewCamera) {
      if (seen.cameraWritten) return "two camera writes";
      for (int i : {0, 1, 2, 3, 6, 7})
        if (c.args[1 + i] != before[i])
          return Cat({"camera value ", std::to_string(i + 1), " changed: ", c.text});
      seen.cameraWritten = true;
      seen.heading = std::bit_cast<float>(c.args[5]);
      seen.pitch = std::bit_cast<float>(c.args[6]);
    } else if (c.slot == orbitrix::kSetViewAttribute) {
      if (seen.tempOrtho || (c.text != tempOrtho + "\"0\",1)" && c.text != tempOrtho + "\"1\",1)"))
        return Cat({"wrote ", c.text});
      seen.tempOrtho = c.text == tempOrtho + "\"1\",1)";
    } else if (c.slot == orbitrix::kRefreshViews) {
      if (c.text != refresh) return Cat({"asked for ", c.text});
      ++seen.refreshes;
    }
  }
  const bool same = seen.answer == due.answer && seen.dragState == due.dragState &&
                    seen.cameraWritten == due.cameraWritten &&
                    (!seen.cameraWritten ||
                     (SameAngle(seen.heading, due.heading) && SameAngle(seen.pitch, due.pitch))) &&
                    seen.tempOrtho == due.tempOrtho && seen.refreshes == due.refreshes;
  return same ? "" : Cat({Described(seen), "; the rule: ", Described(due)});
}

}  // namespace sim
