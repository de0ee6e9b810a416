// The tool's mouse events and its tool switch as the rules give them,
// written from what the tool must do and not from its code: given what an
// event finds, what it must answer and change. The stress test holds the
// module to these, event by event.
#pragma once

#include <cstdint>
#include <optional>

namespace sim {

// Where the last press took hold: the cursor and the camera's angles.
struct Anchor {
  int32_t x = 0, y = 0;
  float heading = 0, pitch = 0;
};

// What an event finds. Every service the event calls is bound.
struct Scene {
  bool ours = true;     // its tool id words are 0xAAAA and 0
  bool context = true;  // it carries the host's tool context
  int32_t uv = 0;       // "UV" as the attribute reader gives it, fallback 0
  int32_t pers = 1;     // "Pers" likewise, fallback 1
  int32_t dragState = 0;
  bool cursorKnown = true;  // the system can tell where the cursor is
  int32_t x = 0, y = 0;     // and it is there
  bool ctrl = false;
  uint8_t options[4] = {1, 1, 1, 1};  // the value bytes, in the order of registration
  float heading = 0, pitch = 0;       // the camera's angles
  Anchor anchor;
};

// What it must do: its answer, the drag state and the anchor after it, the
// angles it writes to the camera (the other six values go back as read),
// what it writes to "TempOrtho", and how many redraws it asks for.
struct Effect {
  int32_t answer = 0;
  int32_t dragState = 0;
  Anchor anchor;
  bool cameraWritten = false;
  float heading = 0, pitch = 0;
  std::optional<bool> tempOrtho;
  int refreshes = 0;
};

Effect PressRule(const Scene& s, uint32_t buttons);
Effect MoveRule(const Scene& s, uint32_t buttons);
Effect ReleaseRule(const Scene& s);
Effect SwitchRule(const Scene& s);  // answers 1 in every case

}  // namespace sim
