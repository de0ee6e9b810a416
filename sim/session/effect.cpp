#include "sim/session/effect.h"

#include <bit>

#include "sim/rules/oracle.h"
#include "sim/text/text.h"

namespace sim {

AttributeAnswer Answered(const View& v, const std::string& key) {
  const auto it = v.attributes.find(key);
  if (it == v.attributes.end()) return {};
  const Attribute& a = it->second;
  const auto needed = static_cast<int32_t>(a.value.size()) + 1;
  AttributeAnswer answer{a.sizeAnswer.value_or(needed), 0, ""};
  const int32_t n = answer.size;
  if (n <= 0) return answer;
  if (!a.terminated) {
    for (int32_t i = 0; i < n && i <= kLongestValue; ++i)
      answer.written += a.value.empty() ? '9' : a.value[static_cast<size_t>(i) % a.value.size()];
    answer.delivered = a.valueAnswer.value_or(n);
  } else if (n < needed) {
    answer.delivered = a.valueAnswer.value_or(0);
  } else {
    answer.written = a.value + '\0';
    answer.delivered = a.valueAnswer.value_or(needed);
  }
  return answer;
}

Scene SceneOf(const Host& host, ViewHandle v, const unsigned char* context) {
  Scene s;
  const auto found = host.views().find(v);
  const View none;
  const View& view = found == host.views().end() ? none : found->second;
  s.uv = ReadRule(Answered(view, "UV"), 0);
  s.pers = ReadRule(Answered(view, "Pers"), 1);
  s.heading = view.heading();
  s.pitch = view.pitch();
  for (int k = 0; k < 4; ++k) s.options[k] = host.option(k) ? host.option(k)->value : 0;
  s.dragState = context ? DragState(context) : 0;
  return s;
}

std::string Described(const Effect& e) {
  if (e.quiet && e.answer == 0) return "answered 0 and called nothing";
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
                          int32_t answer, int32_t dragState, uint32_t refreshTarget,
                          const Effect& due) {
  Effect seen;
  seen.answer = answer;
  seen.dragState = dragState;
  const std::string tempOrtho = Format("SetViewAttribute(%u,\"TempOrtho\",", v);
  const std::string refresh = Format("RefreshViews(%s,-1)", Hex(refreshTarget).c_str());
  if (due.quiet && !host.log.empty())
    return Cat({"called ", host.log.front().text, "; the rule: ", Described(due)});
  for (const Call& c : host.log) {
    if (c.slot == orbitrix::kSetViewCamera) {
      if (seen.cameraWritten) return "two camera writes";
      if (c.args[0] != v) return Format("wrote the camera of view %u, not %u", c.args[0], v);
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
    } else if (c.slot == orbitrix::kRegisterInfo) {
      return Cat({"called ", c.text});
    }
  }
  seen.quiet = due.quiet;
  const bool same = seen.answer == due.answer && seen.dragState == due.dragState &&
                    seen.cameraWritten == due.cameraWritten &&
                    (!seen.cameraWritten ||
                     (SameAngle(seen.heading, due.heading) && SameAngle(seen.pitch, due.pitch))) &&
                    seen.tempOrtho == due.tempOrtho && seen.refreshes == due.refreshes;
  return same ? "" : Cat({Described(seen), "; the rule: ", Described(due)});
}

}  // namespace sim
