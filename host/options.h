// The tool's four on/off options. Their records live as long as the module:
// the host keeps their addresses and writes the value bytes, and the mouse
// handlers read them afresh at every event.
#pragma once

#include "host/abi.h"

namespace orbitrix {

enum Option : int {
  kSnapToRightAngles,
  kSnapOnlyWithCtrl,
  kLimitPitch,
  kTemporaryParallel,
  kOptionCount,
};

extern GuiOptionRecord gOptions[kOptionCount];

// The first option counts as on for any value but 0; the others only for 1.
inline bool SnapToRightAngles() { return gOptions[kSnapToRightAngles].value != 0; }
inline bool SnapOnlyWithCtrl() { return gOptions[kSnapOnlyWithCtrl].value == 1; }
inline bool LimitPitch() { return gOptions[kLimitPitch].value == 1; }
inline bool TemporaryParallel() { return gOptions[kTemporaryParallel].value == 1; }

}  // namespace orbitrix
