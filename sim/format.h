// Small text helpers shared by the session parser, the trace and the picture.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace sim {

// printf into a std::string of whatever length it takes.
inline std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(s.data(), s.size() + 1, format, again);
  va_end(again);
  return s;
}

// The parts joined. Messages are built by appending because GCC 12 warns
// wrongly about some literal + std::string concatenations.
inline std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s.append(p);
  return s;
}

// An angle as the host's call log writes it: shortest form that reads back.
inline std::string Number(float v) { return Format("%.9g", static_cast<double>(v)); }

inline std::string Quote(std::string_view s) { return Cat({"\"", s, "\""}); }

}  // namespace sim
