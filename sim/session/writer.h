// Writes what was done to a host as a session script, as far as the
// script's commands reach; the rest the caller writes as comments. The
// attributes each view was given are remembered, since a script's "view"
// command sets a whole view anew.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sim/host/host.h"

namespace sim {

class SessionWriter {
 public:
  // The cursor starts at x, y.
  SessionWriter(int32_t x, int32_t y) : x_(x), y_(y) {}

  // "view N", with the angles where they are not 0: a plain view.
  void View(ViewHandle view, float heading = 0, float pitch = 0);
  // The view's angles set anew, its other camera values 0: a "view" line
  // and then what the view answered before it.
  void Angles(ViewHandle view, float heading, float pitch);
  void Attr(ViewHandle view, const std::string& key, const Attribute& a);
  void Unset(ViewHandle view, const std::string& key);
  void Option(int number, uint32_t value);  // number 1-4
  void Ctrl(bool down);
  // Where the next event happens; a cursor move alone is no command.
  void Cursor(int32_t x, int32_t y) { x_ = x, y_ = y; }
  void Event(const char* event, ViewHandle view, uint32_t buttons);  // press, move, release
  void Switch() { Line("switch"); }
  void Comment(const std::string& text) { Line("# " + text); }

  const std::string& text() const { return text_; }

 private:
  void Line(const std::string& line) { text_.append(line).append("\n"); }

  int32_t x_, y_;
  std::map<ViewHandle, std::map<std::string, Attribute>> views_;
  std::string text_;
};

}  // namespace sim
