#include "tool/view.h"

#include <memory>
#include <new>

#include "host/module.h"

namespace orbitrix {

namespace {
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

int32_t ParseDecimal(const char* text, size_t n) {
  size_t i = 0;
  while (i < n && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate the magnitude in 64 bits and stop growing it once it is past
  // what any int32_t can hold; the remaining digits are still consumed.
  const int64_t limit = negative ? -int64_t{INT32_MIN} : int64_t{INT32_MAX};
  int64_t magnitude = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude < limit) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (magnitude > limit) magnitude = limit;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t ReadViewAttributeInt(ViewHandle view, const char* key, int32_t fallback) {
  GetViewAttributeFn get = GetViewAttribute();
  if (!get) return fallback;
  const int32_t n = get(view, key, nullptr, 0);
  if (n <= 0) return fallback;

  // Every real view answers "0" or "1": those fit on the stack, so an
  // ordinary event never touches the heap.
  char local[64];
  std::unique_ptr<char[]> heap;
  char* buffer = local;
  if (static_cast<size_t>(n) > sizeof local) {
    heap.reset(new (std::nothrow) char[static_cast<size_t>(n)]);
    if (!heap) return fallback;
    buffer = heap.get();
  }
  if (get(view, key, buffer, n) <= 0) return fallback;
  return ParseDecimal(buffer, static_cast<size_t>(n));
}

void WriteViewAttribute(ViewHandle view, const char* key, bool on) {
  SetViewAttribute()(view, key, on ? "1" : "0", 1);
}

CameraValues ReadCamera(ViewHandle view) {
  CameraValues c{};
  GetViewCamera()(view, &c.v[0], &c.v[1], &c.v[2], &c.v[3], &c.v[4], &c.v[5], &c.v[6], &c.v[7]);
  return c;
}

void WriteCamera(ViewHandle view, const CameraValues& c) {
  SetViewCamera()(view, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5], c.v[6], c.v[7]);
}

}  // namespace orbitrix
