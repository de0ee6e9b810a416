// Every check of orbitrix-sim validate, in the order they run: its name, what
// it does in a line, its time limit at each level, and its code.
#include "sim/validate/checks/checks.h"

namespace sim::validate {

const std::vector<Check>& Registry() {
  static const std::vector<Check> kChecks = {
      {"export-surface",
       "the nine undecorated exports, the system DLLs it imports, the Japanese bitmap",
       {20, 20, 20},
       ExportSurface},
      {"rules",
       "the named edge cases and a drawn sequence of the module's work, every call by the rules",
       {60, 300, 1800},
       Rules},
      {"calling-environment",
       "4-byte stacks, callee-saved registers, x87 and MXCSR settings, exceptions unmasked",
       {120, 600, 2400},
       CallingEnvironment},
      {"system-failures",
       "GetCursorPos failing, LoadImageA answering null or anew, GetKeyState's other bits",
       {30, 120, 600},
       SystemFailures},
      {"abnormal-ends",
       "each service the tool calls ending abnormally in turn: nothing kept, the rules after",
       {30, 30, 30},
       AbnormalEnds},
      {"load-unload",
       "loaded, started, dragged and unloaded again and again: no handle or heap growth",
       {60, 300, 1200},
       LoadUnload},
      {"fuzz",
       "seeded hostile calls of every export: no crash or hang, every call by the rules",
       {60, 300, 1800},
       Fuzz,
       ExplainFuzz},
  };
  return kChecks;
}

}  // namespace sim::validate
