#include "tool/view.h"

#include <memory>
#include <new>

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

int32_t ReadLongViewAttributeInt(GetViewAttributeFn get, ViewHandle view, const char* key,
                                 int32_t n, int32_t fallback) {
  std::unique_ptr<char[]> heap(new (std::nothrow) char[static_cast<size_t>(n)]);
  if (!heap) return fallback;
  if (get(view, key, heap.get(), n) <= 0) return fallback;
  return ParseDecimal(heap.get(), static_cast<size_t>(n));
}

}  // namespace orbitrix
