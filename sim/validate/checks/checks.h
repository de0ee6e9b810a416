// The checks, one subject a file in this folder; registry.cpp names them,
// in the order they run, with their time limits.
#pragma once

#include <string>

#include "sim/validate/check.h"

namespace sim::validate {

bool ExportSurface(Probe& p);       // surface.cpp
bool CallingEnvironment(Probe& p);  // environment.cpp
bool SystemFailures(Probe& p);      // system.cpp
bool AbnormalEnds(Probe& p);        // abnormal.cpp
bool LoadUnload(Probe& p);          // lifecycle.cpp
bool Rules(Probe& p);               // rules.cpp
bool Fuzz(Probe& p);                // fuzz.cpp
std::string ExplainFuzz(const Settings& s, const Outcome& first);

}  // namespace sim::validate
