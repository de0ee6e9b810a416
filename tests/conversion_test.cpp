// The attribute reader's conversion held against the C library's own strtol
// on whole families of input: every string of up to five characters over
// twenty classes of character, digit runs around both int32_t limits, values
// as long as the reader takes, and values without a NUL, of which
// the reader may read only the n bytes the host gave.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/module.h"
#include "tool/view.h"

using namespace orbitrix;

namespace {

// What atoi makes of the bytes up to the first NUL, by the C library: its
// white space, one sign, the digits, saturated at the int32_t limits
// (strtol saturates at those of long, which may be wider).
int32_t Expected(const std::string& bytes) {
  const std::string text(bytes.c_str());
  const long v = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

// A host whose one attribute is the gSize bytes at gBytes: a value and its
// NUL, or a value without one.
const char* gBytes;
int32_t gSize;
int32_t MCP_HOSTAPI Attribute(ViewHandle, const char*, char* buffer, int32_t size) {
  if (buffer) std::memcpy(buffer, gBytes, static_cast<size_t>(std::min(size, gSize)));
  return gSize;
}

const std::string kNines = std::string(kLongestValue - 1, '9') + '\0';

struct Conversion : ::testing::Test {
  void* saved = gHostServices.slot[kGetViewAttribute];
  void SetUp() override {
    MCP_InitializePluginProc(kGetViewAttribute, reinterpret_cast<void*>(&Attribute));
  }
  void TearDown() override { MCP_InitializePluginProc(kGetViewAttribute, saved); }

  std::vector<std::unique_ptr<char[]>> exact{kLongestValue + 1};  // a heap block of exactly n bytes, by n

  // One value checked both ways the module converts it, terminated and not:
  // ParseDecimal on a heap block of exactly n bytes (the sanitizer stops a
  // read past it), and the reader through the host. Without its NUL a value
  // ends at its last byte, so both read the same. Answers whether all agreed.
  bool Agrees(const std::string& value) {
    const int32_t expected = Expected(value);
    const auto n = static_cast<int32_t>(value.size());
    const std::string terminated = value + '\0';
    return Parsed(terminated, expected) && Parsed(value, expected) &&
           Read(terminated, n + 1, expected) && (n == 0 || Read(terminated, n, expected));
  }

  bool Parsed(const std::string& bytes, int32_t expected) {
    std::unique_ptr<char[]>& block = exact.at(bytes.size());
    if (!block) block.reset(new char[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    const int32_t got = ParseDecimal(block.get(), bytes.size());
    EXPECT_EQ(got, expected) << "ParseDecimal of " << Shown(bytes);
    return got == expected;
  }

  // The reader in a frame of its own, asked first of a run of nines longer
  // than the value: that leaves digits in its stack buffer past n, where a
  // reader that goes past n would find them.
  static __attribute__((noinline)) int32_t Ask(const std::string& bytes, int32_t size) {
    const size_t nines = std::min(static_cast<size_t>(size) + 16, kNines.size());
    gBytes = kNines.data() + kNines.size() - nines;
    gSize = static_cast<int32_t>(nines);
    ReadViewAttributeInt(BoundToolServices(), 1, "UV", -77);
    gBytes = bytes.data();
    gSize = size;
    return ReadViewAttributeInt(BoundToolServices(), 1, "UV", -77);
  }

  // The first size bytes of value are the attribute.
  bool Read(const std::string& value, int32_t size, int32_t expected) {
    const int32_t got = Ask(value, size);
    EXPECT_EQ(got, expected) << Shown(value) << " with size " << size;
    return got == expected;
  }

  static std::string Shown(const std::string& bytes) {
    std::string s = "\"";
    for (unsigned char c : bytes) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += c >= 0x21 && c < 0x7F && c != '"' ? std::string(1, static_cast<char>(c)) : hex;
    }
    return s + "\"";
  }
};

// atoi's white space and its neighbours (backspace and shift out, which are
// not), both signs, digits and the characters on either side of them, a
// letter, bytes with the high bit set (0xA0 is a blank in some code pages,
// not in the C locale), and NUL.
constexpr char kClasses[] = {' ', '\t', '\n', '\v', '\f', '\r', '\b',   '\x0E', '+',    '-',
                             '0', '7',  '9',  '/',  ':',  'a',  '\x80', '\xA0', '\xFF', '\0'};
constexpr int kLongest = 5;

TEST_F(Conversion, EveryShortStringOverTwentyClassesAgreesWithTheCLibrary) {
  constexpr size_t kinds = sizeof kClasses;
  size_t strings = 0, wrong = 0;
  std::string s;
  for (int length = 0; length <= kLongest; ++length) {
    std::vector<size_t> digits(static_cast<size_t>(length), 0);
    for (;;) {
      s.assign(static_cast<size_t>(length), ' ');
      for (int i = 0; i < length; ++i) s[static_cast<size_t>(i)] = kClasses[digits[i]];
      ++strings;
      if (!Agrees(s) && ++wrong == 10) FAIL() << "ten strings disagree; stopping";
      int i = length - 1;
      while (i >= 0 && ++digits[static_cast<size_t>(i)] == kinds)
        digits[static_cast<size_t>(i--)] = 0;
      if (i < 0) break;
    }
  }
  EXPECT_EQ(strings, 3368421u);  // 20^0 + 20^1 + ... + 20^5
  std::printf("conversion: %zu strings of up to %d characters over %zu classes, %zu differ\n",
              strings, kLongest, kinds, wrong);
}

TEST_F(Conversion, DigitRunsAroundBothLimitsAgreeWithTheCLibrary) {
  std::vector<std::string> runs;
  for (long long edge : {0LL + INT32_MAX, 0LL + INT32_MIN}) {
    for (long long v = edge - 300; v <= edge + 300; ++v) {
      const std::string digits = std::to_string(v < 0 ? -v : v);
      const std::string sign = v < 0 ? "-" : "";
      runs.push_back(sign + digits);
      runs.push_back((v < 0 ? "-" : "+") + std::string(12, '0') + digits);
      runs.push_back(" \t" + sign + digits + "x");
    }
  }
  std::string nines, tens = "1";
  for (int k = 1; k <= 40; ++k) {
    nines += '9';
    tens += '0';
    for (const std::string& d : {nines, tens}) {
      runs.push_back(d);
      runs.push_back("-" + d);
    }
  }
  size_t wrong = 0;
  for (const std::string& r : runs) wrong += !Agrees(r);
  EXPECT_EQ(wrong, 0u) << "of " << runs.size();
}

// Up to the longest value the reader takes, its NUL included.
TEST_F(Conversion, ValuesAsLongAsTheReaderTakesAgreeWithTheCLibrary) {
  size_t wrong = 0, values = 0;
  for (size_t pad = kLongestValue - 22; pad <= kLongestValue - 12; ++pad) {
    for (const char* tail : {"2147483647", "2147483648", "-2147483649", "+42", "x1", ""}) {
      for (char blank : {' ', '0', '\n'}) {
        ++values;
        wrong += !Agrees(std::string(pad, blank) + tail);
      }
    }
  }
  EXPECT_EQ(wrong, 0u) << "of " << values;
}

}  // namespace
