// The text helpers every part of the simulated host shares: the call log,
// the session parser, the trace, the picture and the validator's reports.
// They stand on nothing of the simulated host's own, so that every room can
// use them.
#pragma once

#include <bit>
#include <cstdarg>
#include <cstdint>
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

inline std::string Hex(uint32_t v) { return Format("0x%X", v); }

// A 32-bit value as all its bits, e.g. 0x7FC00000.
inline std::string Bits(uint32_t v) { return Format("0x%08X", v); }

// An angle with its bits, e.g. 90 (0x42B40000), for reports where two NaNs
// or two zeros must be told apart.
inline std::string Angle(float a) {
  return Cat({Number(a), " (", Bits(std::bit_cast<uint32_t>(a)), ")"});
}

// Line ends turned into blanks.
inline std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

}  // namespace sim
