// What the tool sees of a host view: named text attributes and an
// eight-value camera.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "host/abi.h"

namespace orbitrix {

// The decimal integer at the start of text, read as the C runtime's atoi does
// (leading white space, one optional sign, digits up to the first other
// character, 0 without digits), but never past n bytes and saturating at the
// int32_t limits instead of overflowing.
int32_t ParseDecimal(const char* text, size_t n);

// The view's attribute key as an integer, or fallback when the view has no
// such attribute, the host does not deliver it, or no buffer can be had.
// Calls nothing when GetViewAttribute is unbound.
int32_t ReadViewAttributeInt(ViewHandle view, const char* key, int32_t fallback);

// What the tool makes of the two attributes it reads: a UV view is left alone
// entirely, and only a perspective view is turned or snapped.
inline bool IsUvView(ViewHandle view) { return ReadViewAttributeInt(view, "UV", 0) != 0; }
inline bool IsPerspective(ViewHandle view) { return ReadViewAttributeInt(view, "Pers", 1) != 0; }

// Sets a view attribute to "0" or "1".
void WriteViewAttribute(ViewHandle view, const char* key, bool on);

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

// Values start at zero, so a host that leaves some unset never makes us
// write back uninitialised memory.
CameraValues ReadCamera(ViewHandle view);
void WriteCamera(ViewHandle view, const CameraValues& camera);

}  // namespace orbitrix
