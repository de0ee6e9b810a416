// Session scripts: a few lines of text that set up views and options, play
// mouse and keyboard events at the plug-in through a simulated host, and
// check where the camera ended up. Parsing is separate from playing, so a bad
// script is refused before the plug-in sees a single event. Beside it in
// this folder: the writer that turns steps back into a script (writer.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/host/host.h"

namespace sim {

// One script line. Which fields count depends on the kind.
struct Command {
  enum Kind { kView, kAttr, kUnset, kOption, kCtrl, kPress, kMove, kRelease, kSwitch, kExpect };
  Kind kind;
  int line;
  std::string text;  // the line as written, comment and outer blanks removed
  ViewHandle view = 0;

  bool ortho = false, uv = false;  // view
  std::string key;                 // attr, unset
  Attribute attribute;             // attr
  int option = 0;                  // option: 0-3
  uint8_t value = 0;               // option
  bool down = false;               // ctrl
  int32_t x = 0, y = 0;            // press, move, release
  uint32_t buttons = 1;            // press, move, release

  // view: the starting angles (0 when absent); expect: what must hold.
  std::optional<float> heading, pitch;
  bool checkTempOrtho = false;
  std::optional<std::string> tempOrtho;  // expect: none means the view must have none
  std::optional<int32_t> result, state;
};

struct Session {
  std::string name;  // the file name, for messages
  std::vector<Command> commands;
};

// Parses a whole script. On the first bad line returns false with
// "NAME:LINE: what was expected" in *error.
bool ParseSession(const std::string& text, const std::string& name, Session* session,
                  std::string* error);

// The first cursor position outside a width x height screen, as a message
// like ParseSession's; "" when all fit. A real system clamps the cursor to
// the screen, so such a script would not mean what it says.
std::string CheckScreen(const Session& session, int32_t width, int32_t height);

// What one event did, or how one expectation fared.
struct Step {
  int line;
  std::string event;  // press, move, release, switch or expect
  ViewHandle view = 0;
  int32_t x = 0, y = 0;
  uint32_t buttons = 0;
  bool ctrl = false;
  int32_t result = 0, state = 0;
  float headingBefore = 0, pitchBefore = 0, heading = 0, pitch = 0;
  std::optional<std::string> tempOrtho;  // the view's "TempOrtho" after the event
  std::vector<std::string> calls;        // host services the event called
  std::string text;                      // expect: the line as written
  std::string failure;                   // expect: "" when it held
};

// Sends the tool event that step names (press, move, release or switch, to
// step.view with step.buttons) through the host with the given context record,
// and fills in what it did. The cursor and Ctrl are wherever the system has
// them: step's x, y and ctrl only say where.
void Send(Host& host, Step& step, unsigned char* context, uint32_t refreshTarget = 0x7E);

// Plays the session on a started host, handing each step to sink as it
// happens. Answers the number of expectations that failed.
int PlaySession(const Session& session, Host& host, const std::function<void(const Step&)>& sink);

}  // namespace sim
