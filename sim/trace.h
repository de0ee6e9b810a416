// What a session shows its user: what the plug-in registered, one trace line
// per step (text or JSON lines), and a picture of the camera's path.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/host.h"
#include "sim/session.h"

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

// The angles from which a release snaps onto multiple (a multiple of 90),
// as whole-degree truncation draws them: [m - 19, m + 20) above zero,
// (m - 20, m + 19] below it, (-20, 20) around it.
struct Band {
  double low, high;
  bool lowIncluded, highIncluded;
};
Band SnapBand(int32_t multiple);

// The session's drags in the heading-pitch plane as a standalone SVG.
std::string Svg(const std::string& title, const std::vector<Step>& steps);

}  // namespace sim
