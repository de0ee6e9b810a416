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

// ReadViewAttributeInt for a value of n bytes that is too long for its stack
// buffer: read into the heap instead.
int32_t ReadLongViewAttributeInt(GetViewAttributeFn get, ViewHandle view, const char* key,
                                 int32_t n, int32_t fallback);

// Every event reads attributes and the camera, and with a quick host a level
// of call around each service is a good part of what the event itself costs:
// so these are inline, and the events' code calls the host directly. Each
// takes the event's Services, and compiles only where they include the slot
// it calls.

// The view's attribute key as an integer, or fallback when the view has no
// such attribute, the host does not deliver it, or no buffer can be had.
template <class Host>
inline int32_t ReadViewAttributeInt(const Host& host, ViewHandle view, const char* key,
                                    int32_t fallback) {
  const GetViewAttributeFn get = host.template get<kGetViewAttribute>();
  const int32_t n = get(view, key, nullptr, 0);
  if (n <= 0) return fallback;

  // Every real view answers "0" or "1": those fit on the stack, so an
  // ordinary event never touches the heap.
  char local[64];
  if (static_cast<size_t>(n) > sizeof local) {
    return ReadLongViewAttributeInt(get, view, key, n, fallback);
  }
  if (get(view, key, local, n) <= 0) return fallback;
  // That answer, one digit and its NUL, is what ParseDecimal would read too,
  // by a much longer way.
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (n == 2 && digit(local[0]) && !digit(local[1])) return local[0] - '0';
  return ParseDecimal(local, static_cast<size_t>(n));
}

// What the tool makes of the two attributes it reads: a UV view is left alone
// entirely, and only a perspective view is turned or snapped.
template <class Host>
inline bool IsUvView(const Host& host, ViewHandle view) {
  return ReadViewAttributeInt(host, view, "UV", 0) != 0;
}
template <class Host>
inline bool IsPerspective(const Host& host, ViewHandle view) {
  return ReadViewAttributeInt(host, view, "Pers", 1) != 0;
}

// Sets a view attribute to "0" or "1".
template <class Host>
inline void WriteViewAttribute(const Host& host, ViewHandle view, const char* key, bool on) {
  host.template get<kSetViewAttribute>()(view, key, on ? "1" : "0", 1);
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

// Values start at zero, so a host that leaves some unset never makes us
// write back uninitialised memory.
template <class Host>
inline CameraValues ReadCamera(const Host& host, ViewHandle view) {
  CameraValues c{};
  host.template get<kGetViewCamera>()(view, &c.v[0], &c.v[1], &c.v[2], &c.v[3], &c.v[4], &c.v[5],
                                      &c.v[6], &c.v[7]);
  return c;
}

template <class Host>
inline void WriteCamera(const Host& host, ViewHandle view, const CameraValues& c) {
  host.template get<kSetViewCamera>()(view, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], c.v[6],
                                      c.v[7]);
}

}  // namespace orbitrix
