// The exports as the rules give them, written from what the tool must do and
// not from its code: given what a call finds, what it must answer and
// change. The stress test and the validator hold the module to these, call
// by call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tool/angles.h"

namespace sim {

using orbitrix::DragAnchor;

// How a host answered one attribute's two queries: the size the first says
// (0 or less: the view has no such attribute), what the second answers, and
// the bytes it wrote into a buffer of that size (fewer than the size: the
// rest stays as the reader left it).
struct AttributeAnswer {
  int32_t size = 0;
  int32_t delivered = 0;
  std::string written;
};

// The longest value the reader takes, its NUL included; a longer one reads
// as the fallback.
inline constexpr int32_t kLongestValue = 1024;

// What the attribute reader makes of it: the fallback where the size is 0
// or less or past kLongestValue, or the second query answers 0 or less;
// else the bytes written, up to the first NUL and never past the size, read
// as the C runtime's atoi reads them and held within the int32_t range.
int32_t ReadRule(const AttributeAnswer& a, int32_t fallback);

// Which of the tool's five services the host has bound.
struct Bound {
  bool getAttribute = true, setAttribute = true, refresh = true, getCamera = true, setCamera = true;
};

// What a tool event finds.
struct Scene {
  bool ours = true;     // its tool id words are 0xAAAA and 0
  bool context = true;  // it carries the host's tool context
  Bound bound;
  int32_t uv = 0;    // "UV" as the attribute reader gives it, fallback 0
  int32_t pers = 1;  // "Pers" likewise, fallback 1
  int32_t dragState = 0;
  bool cursorKnown = true;  // the system can tell where the cursor is
  int32_t x = 0, y = 0;     // and it is there
  bool ctrl = false;
  uint8_t options[4] = {1, 1, 1, 1};  // the value bytes, in the order of registration
  float heading = 0, pitch = 0;       // the camera's angles
  DragAnchor anchor{};
};

// What it must do: its answer, the drag state and the anchor after it, the
// angles it writes to the camera of its view (the other six values go back
// as read), what it writes to "TempOrtho", how many redraws it asks for,
// and whether it calls no service at all.
struct Effect {
  int32_t answer = 0;
  int32_t dragState = 0;
  DragAnchor anchor{};
  bool cameraWritten = false;
  float heading = 0, pitch = 0;
  std::optional<bool> tempOrtho;
  int refreshes = 0;
  bool quiet = false;
};

Effect PressRule(const Scene& s, uint32_t buttons);
Effect MoveRule(const Scene& s, uint32_t buttons);
Effect ReleaseRule(const Scene& s);
Effect SwitchRule(const Scene& s);  // answers 1 in every case

// The queries: the answer, and the records registered in order, each of
// its kind and size with the bytes due, where a text field holds the text
// its pointer must lead to.
struct RecordDue {
  uint32_t kind;
  std::vector<uint8_t> bytes;
  std::vector<std::pair<int, std::optional<std::string>>> texts;  // offset, text (any: none)
};
struct QueryEffect {
  int32_t answer = 0;
  std::vector<RecordDue> records;
};

int32_t EntryRule(uint32_t hostVersion);
QueryEffect PluginInfoRule(bool registerBound, int32_t index);
// bitmap: what loading the button gave, for its own query.
QueryEffect ToolInfoRule(bool registerBound, bool ours, uint32_t bitmap);
QueryEffect GuiInfoRule(bool registerBound, bool ours);  // the options then all on

}  // namespace sim
