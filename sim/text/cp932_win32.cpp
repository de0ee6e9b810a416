#include <windows.h>

#include "sim/text/cp932.h"

namespace sim {

std::string Utf8FromCp932(const char* text) {
  const int wide = MultiByteToWideChar(932, 0, text, -1, nullptr, 0);
  if (wide <= 0) return text;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(932, 0, text, -1, w.data(), wide);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string u(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, u.data(), bytes, nullptr, nullptr);
  u.resize(static_cast<size_t>(bytes) - 1);
  return u;
}

}  // namespace sim
