// What the tool sees of a host view: named text attributes and an
// eight-value camera, reached through the services of the event at hand.
#pragma once

#include <atomic>
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

// The camera as the host gives it. Only Heading and Pitch are interpreted;
// the other six are opaque and go back bit for bit, so every value is held
// as an integer and the two angles are reinterpreted only when used.
struct CameraValues {
  uint32_t v[8];

  float heading() const { return std::bit_cast<float>(v[4]); }
  float pitch() const { return std::bit_cast<float>(v[5]); }
  void setHeading(float a) { v[4] = std::bit_cast<uint32_t>(a); }
  void setPitch(float a) { v[5] = std::bit_cast<uint32_t>(a); }
  // Both angles' bytes, heading then pitch, as values 5 and 6 hold them.
  void* angles() { return &v[4]; }
};

// The host's answers in the event at hand: the value of an attribute of
// size 2, and the camera. The host calls the plug-in one event at a time,
// each to its end, so one set serves every event; at their fixed addresses
// the buffers the host is handed cost nothing to name. The camera starts at
// zero in every read, so a host that leaves some value unset never makes us
// write back another view's.
struct Answers {
  char value[2];
  CameraValues camera;
};
extern Answers gAnswers;

// ReadViewAttributeInt once the size query has answered n: the fallback
// where n is 0 or less, else the value read into a buffer of n bytes, on the
// stack where it fits and from the heap where not, and converted.
int32_t ReadViewAttributeIntOfSize(GetViewAttributeFn get, ViewHandle view, const char* key,
                                   int32_t n, int32_t fallback);

// The view's attribute key as an integer, or fallback when the view has no
// such attribute, the host does not deliver it, or no buffer can be had.
template <class Host>
inline int32_t ReadViewAttributeInt(const Host& host, ViewHandle view, const char* key,
                                    int32_t fallback) {
  const GetViewAttributeFn get = host.template get<kGetViewAttribute>();
  return ReadViewAttributeIntOfSize(get, view, key, get(view, key, nullptr, 0), fallback);
}

// Whether the view's attribute key reads as anything but 0, its fallback
// included: the question every event asks of "UV" and "Pers". Every real view
// answers the one digit `usual` ('0' to '9') and its NUL, so that answer
// (size 2, then those bytes) is told at once, inline in the event; any other
// answer is read and converted in full.
inline bool AttributeIsSet(GetViewAttributeFn get, ViewHandle view, const char* key,
                           int32_t fallback, char usual) {
  const int32_t n = get(view, key, nullptr, 0);
  if (n != 2) return ReadViewAttributeIntOfSize(get, view, key, n, fallback) != 0;
  char* const value = gAnswers.value;
  if (get(view, key, value, 2) <= 0) return fallback != 0;
  // A value led by a digit from 1 to 9 is not 0 whatever follows it; one
  // led by 0 is 0 when what follows is no digit, such as its NUL. The bytes
  // are read one at a time, as the host wrote them: a load of both at once
  // could not take them from the host's two stores, and would wait.
  if (usual == '0' ? value[0] == '0' && value[1] == '\0' : value[0] == usual) [[likely]]
    return usual != '0';
  return ParseDecimal(value, 2) != 0;
}

// What the tool makes of the two attributes it reads: a UV view is left alone
// entirely, and only a perspective view is turned or snapped.
inline bool IsUvView(GetViewAttributeFn get, ViewHandle view) {
  return AttributeIsSet(get, view, "UV", 0, '0');
}
inline bool IsPerspective(GetViewAttributeFn get, ViewHandle view) {
  return AttributeIsSet(get, view, "Pers", 1, '1');
}

// Sets a view attribute to "0" or "1".
template <class Host>
inline void WriteViewAttribute(const Host& host, ViewHandle view, const char* key, bool on) {
  host.template get<kSetViewAttribute>()(view, key, on ? "1" : "0", 1);
}

template <class Host>
inline CameraValues& ReadCamera(const Host& host, ViewHandle view) {
  CameraValues& c = gAnswers.camera;
  c = {};
  host.template get<kGetViewCamera>()(view, &c.v[0], &c.v[1], &c.v[2], &c.v[3], &c.v[4], &c.v[5],
                                      &c.v[6], &c.v[7]);
  return c;
}

// The values go to the host as they stand in memory: the fence stops the
// compiler from taking angles just stored there apart again in registers on
// their way to the call, which costs more than pushing them from memory.
template <class Host>
inline void WriteCamera(const Host& host, ViewHandle view, const CameraValues& c) {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  host.template get<kSetViewCamera>()(view, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], c.v[6],
                                      c.v[7]);
}

}  // namespace orbitrix
