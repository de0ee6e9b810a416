// What the tool sees of a host view: named text attributes and an
// eight-value camera, reached through the services of the event at hand.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "host/abi.h"
#include "host/module.h"

namespace orbitrix {

// The decimal integer at the start of text, read as the C runtime's atoi does
// (leading white space, one optional sign, digits up to the first other
// character, 0 without digits), but never past n bytes and saturating at the
// int32_t limits instead of overflowing.
int32_t ParseDecimal(const char* text, size_t n);

// The longest value read, its NUL included: far beyond anything a view
// holds.
inline constexpr size_t kLongestValue = 1024;

// The view's attribute key as an integer, or fallback when the view has no
// such attribute, the host does not deliver it, or it is longer than
// kLongestValue.
int32_t ReadViewAttributeInt(const ToolServices& host, ViewHandle view, const char* key,
                             int32_t fallback);

// Sets a view attribute to "0" or "1".
inline void WriteViewAttribute(const ToolServices& host, ViewHandle view, const char* key,
                               bool on) {
  host.setViewAttribute(view, key, on ? "1" : "0", 1);
}

// The camera as the host gives it. Only Heading and Pitch are interpreted;
// the other six are opaque and go back bit for bit, so every value is held
// as an integer and the two angles are reinterpreted only when used.
struct CameraValues {
  uint32_t v[8];

  float heading() const { return std::bit_cast<float>(v[4]); }
  float pitch() const { return std::bit_cast<float>(v[5]); }
  void setHeading(float a) { v[4] = std::bit_cast<uint32_t>(a); }
  void setPitch(float a) { v[5] = std::bit_cast<uint32_t>(a); }
};

// The values start at zero in every read, so a host that leaves some unset
// never makes the tool write back what an earlier event read.
inline CameraValues ReadCamera(const ToolServices& host, ViewHandle view) {
  CameraValues c{};
  host.getViewCamera(view, &c.v[0], &c.v[1], &c.v[2], &c.v[3], &c.v[4], &c.v[5], &c.v[6], &c.v[7]);
  return c;
}

inline void WriteCamera(const ToolServices& host, ViewHandle view, const CameraValues& c) {
  host.setViewCamera(view, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], c.v[6], c.v[7]);
}

}  // namespace orbitrix
