#include "sim/report/trace.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/text/text.h"

namespace sim {

using namespace orbitrix;

namespace {

std::string Json(const std::string& s) {
  std::string j = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\')
      j.append(1, '\\').append(1, static_cast<char>(c));
    else if (c < 0x20)
      j.append(Format("\\u%04x", c));
    else
      j.append(1, static_cast<char>(c));
  }
  return j.append("\"");
}

// JSON has no NaN or infinities; those go as strings.
std::string JsonNumber(float v) { return std::isfinite(v) ? Number(v) : Json(Number(v)); }

std::string EventText(const Step& s) {
  std::string e = s.event;
  if (s.event != "switch") e.append(Format(" %d,%d", s.x, s.y));
  if (s.event != "switch" && s.buttons != 1) e.append(Format(" buttons %u", s.buttons));
  if (s.ctrl) e.append(" ctrl");
  return e;
}

std::string TempOrthoText(const Step& s) {
  if (!s.tempOrtho) return "-";
  return s.tempOrtho->empty() ? "\"\"" : *s.tempOrtho;
}

}  // namespace

Registered Describe(const Host& host, const std::function<std::string(const char*)>& toUtf8) {
  Registered r;
  for (const Registration& reg : host.registrations) {
    if (reg.kind == kPluginInfo && reg.bytes.size() >= sizeof(PluginInfoRecord)) {
      PluginInfoRecord p;
      std::memcpy(&p, reg.bytes.data(), sizeof p);
      r.name = p.name ? p.name : "";
      r.description = p.description ? p.description : "";
      r.toolWord0 = p.toolIdWord0, r.toolWord1 = p.toolIdWord1;
    } else if (reg.kind == kToolInfo && reg.bytes.size() >= sizeof(ToolInfoRecord)) {
      ToolInfoRecord t;
      std::memcpy(&t, reg.bytes.data(), sizeof t);
      r.width = t.width, r.height = t.height;
    }
  }
  for (int i = 0; const GuiOptionRecord* o = host.option(i); ++i) {
    r.labels.push_back(o->label ? toUtf8(o->label) : "");
    r.values.push_back(o->value);
  }
  return r;
}

std::string RegisteredText(const Registered& r) {
  std::string t = Format("plug-in      %s\n", r.name.c_str());
  t.append(Format("description  %s\n", r.description.c_str()));
  t.append(Format("tool id      0x%X:0x%X\n", r.toolWord0, r.toolWord1));
  t.append(Format("button       %d x %d\n", r.width, r.height));
  for (size_t i = 0; i < r.labels.size(); ++i)
    t.append(Format("option %d     %d  %s\n", static_cast<int>(i) + 1, r.values[i],
                    r.labels[i].c_str()));
  return t;
}

std::string RegisteredJson(const Registered& r) {
  std::string j = "{\"plugin\":";
  j.append(Json(r.name));
  j.append(",\"description\":").append(Json(r.description));
  j.append(Format(",\"tool\":[%u,%u],\"button\":[%d,%d],\"options\":[", r.toolWord0, r.toolWord1,
                  r.width, r.height));
  for (size_t i = 0; i < r.labels.size(); ++i)
    j.append(i ? "," : "")
        .append("{\"label\":")
        .append(Json(r.labels[i]))
        .append(Format(",\"value\":%d}", r.values[i]));
  return j.append("]}\n");
}

std::string TraceHeading() {
  return Format("%4s %4s  %-24s %6s %5s %9s %9s  %-9s %s\n", "line", "view", "event", "result",
                "state", "heading", "pitch", "TempOrtho", "host calls");
}

std::string StepText(const Step& s) {
  if (s.event == "expect")
    return Format("%4d %4u  %s  %s\n", s.line, s.view, s.text.c_str(),
                  s.failure.empty() ? "ok" : std::string("FAILED: ").append(s.failure).c_str());
  std::string t =
      Format("%4d %4u  %-24s %6d %5d %9s %9s  %-9s", s.line, s.view, EventText(s).c_str(), s.result,
             s.state, Number(s.heading).c_str(), Number(s.pitch).c_str(), TempOrthoText(s).c_str());
  for (size_t i = 0; i < s.calls.size(); ++i) t.append(i ? "; " : " ").append(s.calls[i]);
  return t.append("\n");
}

std::string StepJson(const Step& s) {
  std::string j = Format("{\"line\":%d,\"view\":%u,", s.line, s.view);
  if (s.event == "expect") {
    j.append("\"expect\":").append(Json(s.text));
    j.append(",\"ok\":").append(s.failure.empty() ? "true" : "false");
    if (!s.failure.empty()) j.append(",\"failure\":").append(Json(s.failure));
    return j.append("}\n");
  }
  j.append("\"event\":").append(Json(s.event));
  if (s.event != "switch")
    j.append(Format(",\"x\":%d,\"y\":%d,\"buttons\":%u", s.x, s.y, s.buttons));
  j.append(",\"ctrl\":").append(s.ctrl ? "true" : "false");
  j.append(Format(",\"result\":%d,\"state\":%d", s.result, s.state));
  j.append(",\"heading\":").append(JsonNumber(s.heading));
  j.append(",\"pitch\":").append(JsonNumber(s.pitch));
  j.append(",\"TempOrtho\":").append(s.tempOrtho ? Json(*s.tempOrtho) : "null");
  j.append(",\"calls\":[");
  for (size_t i = 0; i < s.calls.size(); ++i) j.append(i ? "," : "").append(Json(s.calls[i]));
  return j.append("]}\n");
}

std::string SummaryText(int expectations, int failed) {
  if (failed) return Format("%d of %d expectations failed\n", failed, expectations);
  return Format("all %d expectations held\n", expectations);
}

std::string SummaryJson(int expectations, int failed) {
  return Format("{\"expectations\":%d,\"failed\":%d}\n", expectations, failed);
}

}  // namespace sim
