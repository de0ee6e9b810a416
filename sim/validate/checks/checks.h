// The checks, one subject a file in this folder; registry.cpp names them,
// in the order they run, with their time limits.
#pragma once

#include <string>

#include "sim/validate/check.h"

namespace sim::validate {

bool ExportSurface(Probe& p);               // surface.cpp
bool CallingEnvironment(Probe& p);          // environment.cpp
bool SystemFailures(Probe& p, Host& host);  // system.cpp
bool LoadUnload(Probe& p);                  // lifecycle.cpp
bool UnboundServices(Probe& p);             // gate.cpp
bool NullContext(Probe& p, Host& host);
bool ForeignIds(Probe& p, Host& host);
bool AttributeAnswers(Probe& p, Host& host);  // attributes.cpp
bool AttributeBounds(Probe& p, Host& host);
bool OpaqueValues(Probe& p, Host& host);  // camera.cpp
bool PitchLimit(Probe& p, Host& host);
bool CursorExtremes(Probe& p, Host& host);
bool LongDrag(Probe& p, Host& host);
bool Snapping(Probe& p, Host& host);    // snapping.cpp
bool EventOrder(Probe& p, Host& host);  // sequences.cpp
bool Fuzz(Probe& p, Host& host);        // fuzz.cpp
std::string ExplainFuzz(const Settings& s, const Outcome& first);

}  // namespace sim::validate
