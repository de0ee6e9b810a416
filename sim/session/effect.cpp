#include "sim/session/effect.h"

#include <bit>
#include <cstring>

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

std::string QueryDiffers(const Host& host, uint32_t eax, int answerBytes, uint32_t w0, uint32_t w1,
                         uint32_t a1, uint32_t a2, const QueryEffect& due) {
  const int32_t answer = answerBytes == 1 ? static_cast<int32_t>(eax & 0xFF) : int32_t(eax);
  if (answer != due.answer || (answerBytes == 1 && eax > 1))
    return Format("answered EAX 0x%08X; the rule: %d", eax, due.answer);
  const std::vector<Registration>& got = host.registrations;
  if (got.size() != due.records.size() || host.log.size() != due.records.size()) {
    std::string calls = host.log.empty() ? "no call" : "";
    for (const Call& c : host.log) calls.append(calls.empty() ? "" : "; ").append(c.text);
    return Format("made %s; the rule: %u record%s", calls.c_str(),
                  static_cast<unsigned>(due.records.size()), due.records.size() == 1 ? "" : "s");
  }
  for (size_t i = 0; i < got.size(); ++i) {
    const Registration& r = got[i];
    const RecordDue& d = due.records[i];
    if (r.idWord0 != w0 || r.idWord1 != w1 || r.hostArg1 != a1 || r.hostArg2 != a2 ||
        r.kind != d.kind || r.bytes.size() != d.bytes.size())
      return Format("made %s; the rule: RegisterInfo(%s,%s,%s,%s,%u,record,%u)",
                    host.log[i].text.c_str(), Hex(w0).c_str(), Hex(w1).c_str(), Hex(a1).c_str(),
                    Hex(a2).c_str(), d.kind, static_cast<unsigned>(d.bytes.size()));
    std::vector<uint8_t> bytes = r.bytes;
    for (const auto& [at, text] : d.texts) {
      const char* p;
      std::memcpy(&p, &bytes[at], sizeof p);
      if (!p || (text ? *text != p : !*p))
        return Format("registered record %u with bytes %d-%d leading to %s; the rule: %s",
                      static_cast<unsigned>(i + 1), at, at + 3, p ? Quote(p).c_str() : "no text",
                      text ? Quote(*text).c_str() : "a text");
      std::memset(&bytes[at], 0, sizeof p);
    }
    if (bytes != d.bytes) {
      std::string seen, wanted;
      for (size_t b = 0; b < bytes.size(); ++b)
        seen.append(Format(" %02X", bytes[b])), wanted.append(Format(" %02X", d.bytes[b]));
      return Format("registered record %u as%s (texts as 00); the rule:%s",
                    static_cast<unsigned>(i + 1), seen.c_str(), wanted.c_str());
    }
  }
  return "";
}

}  // namespace sim
