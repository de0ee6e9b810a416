#include "tool/view.h"

#include <cstring>

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

int32_t ReadViewAttributeInt(const ToolServices& host, ViewHandle view, const char* key,
                             int32_t fallback) {
  const int32_t n = host.getViewAttribute(view, key, nullptr, 0);
  if (n <= 0) return fallback;
  // The buffer is the event's stack, never the heap: a host call that ends
  // abnormally (an exception its host catches above the module) leaves
  // nothing of it behind. A value longer than it, a thousand characters
  // where a view holds a digit, reads as the fallback without being asked.
  char buffer[kLongestValue];
  if (static_cast<uint32_t>(n) > sizeof buffer) return fallback;
  // It starts empty: a host that says it delivered a value it never wrote
  // gives an empty one, read as 0, not what an earlier event left there.
  // The first bytes, which hold every real view's value, are cleared inline:
  // a call of memset for them costs an eighth of a move (bench/run.sh).
  std::memset(buffer, 0, 8);
  if (n > 8) std::memset(buffer + 8, 0, static_cast<size_t>(n) - 8);
  if (host.getViewAttribute(view, key, buffer, n) <= 0) return fallback;
  // The answer of every real view, a digit and its NUL, told at once: it is
  // what ParseDecimal would make of it, for a third of a move's
  // instructions (bench/run.sh).
  if (n == 2 && buffer[0] >= '0' && buffer[0] <= '9' && buffer[1] == '\0') return buffer[0] - '0';
  return ParseDecimal(buffer, static_cast<size_t>(n));
}

}  // namespace orbitrix
