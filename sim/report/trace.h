// What a session shows its user: what the plug-in registered and one trace
// line per step, as text or as JSON lines. Beside it in this folder: the
// picture of a session in the heading-pitch plane (svg.h) and the text
// helpers the whole simulated host shares (text.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/host/host.h"
#include "sim/session/session.h"

namespace sim {

struct Registered {
  std::string name, description;
  uint32_t toolWord0 = 0, toolWord1 = 0;
  int32_t width = 0, height = 0;  // the button
  std::vector<std::string> labels;
  std::vector<int> values;
};

// What the plug-in registered during Host::Start. Option labels are code page
// 932 bytes; toUtf8 converts them (natively there is no converter to hand).
Registered Describe(const Host& host, const std::function<std::string(const char*)>& toUtf8);

// Each ends in a newline.
std::string RegisteredText(const Registered& r);
std::string RegisteredJson(const Registered& r);
std::string TraceHeading();
std::string StepText(const Step& s);
std::string StepJson(const Step& s);
std::string SummaryText(int expectations, int failed);
std::string SummaryJson(int expectations, int failed);

}  // namespace sim
