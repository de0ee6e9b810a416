// Reading view attributes: the conversion, the two host calls, and hosts
// that break their contract.
#include "tool/view.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "sim/host/desktop.h"
#include "sim/host/host.h"

using namespace orbitrix;

namespace {

int32_t Parse(const std::string& s) { return ParseDecimal(s.data(), s.size()); }

TEST(ParseDecimal, FollowsTheCRuntimeRules) {
  EXPECT_EQ(Parse(" 7"), 7);
  EXPECT_EQ(Parse("-0"), 0);
  EXPECT_EQ(Parse("12ab"), 12);
  EXPECT_EQ(Parse("abc"), 0);
  EXPECT_EQ(Parse(""), 0);
  EXPECT_EQ(Parse("+5"), 5);
  EXPECT_EQ(Parse("-42"), -42);
  EXPECT_EQ(Parse(" \t\n\v\f\r3"), 3);
  EXPECT_EQ(Parse("--1"), 0);
  EXPECT_EQ(Parse("+-1"), 0);
  EXPECT_EQ(Parse("- 1"), 0);
  EXPECT_EQ(Parse("1 2"), 1);
  EXPECT_EQ(Parse(std::string("4\0"
                              "5",
                              3)),
            4);
}

TEST(ParseDecimal, SaturatesBeyondTheInt32Range) {
  EXPECT_EQ(Parse("2147483647"), INT_MAX);
  EXPECT_EQ(Parse("2147483648"), INT_MAX);
  EXPECT_EQ(Parse("-2147483648"), INT_MIN);
  EXPECT_EQ(Parse("-2147483649"), INT_MIN);
  EXPECT_EQ(Parse("000000000000000000001"), 1);
  EXPECT_EQ(Parse("99999999999999999999999999"), INT_MAX);
  EXPECT_EQ(Parse("-99999999999999999999999999"), INT_MIN);
}

TEST(ParseDecimal, NeverReadsPastTheBuffer) {
  // Heap copies of exactly n bytes: ASan reports any read past them.
  for (const std::string& s :
       {std::string("123"), std::string("   "), std::string("-"), std::string("99999999999")}) {
    std::unique_ptr<char[]> exact(new char[s.size()]);
    std::memcpy(exact.get(), s.data(), s.size());
    EXPECT_EQ(ParseDecimal(exact.get(), s.size()), Parse(s)) << s;
  }
  EXPECT_EQ(ParseDecimal("123", 2), 12);
  EXPECT_EQ(ParseDecimal("7", 0), 0);
}

struct ReaderTest : ::testing::Test {
  sim::Host host{sim::LinkedPlugin()};
  sim::View& view = host.view(1);
  void SetUp() override {
    sim::fake::Reset();
    host.Bind();
  }
  sim::Attribute& uv() { return view.attributes["UV"]; }
  // As an event reads it, through the services bound now.
  int32_t Read(const char* key, int32_t fallback) {
    return ReadViewAttributeInt(BoundToolServices(), 1, key, fallback);
  }
};

TEST_F(ReaderTest, AbsentAttributesGiveTheirFallback) {
  EXPECT_EQ(Read("UV", 0), 0);
  EXPECT_EQ(Read("Pers", 1), 1);
  view.attributes["Pers"].sizeAnswer = 0;
  view.attributes["Pers"].value = "0";
  EXPECT_EQ(Read("Pers", 1), 1);
  view.attributes["Pers"].sizeAnswer = -1;  // 0xFFFFFFFF
  EXPECT_EQ(Read("Pers", 1), 1);
  view.attributes["Pers"].sizeAnswer = INT_MIN;
  EXPECT_EQ(Read("Pers", 1), 1);
  EXPECT_EQ(host.calls().size(), 5u) << "no value query after a size of 0 or less";
}

TEST_F(ReaderTest, AsksForTheSizeThenTheValue) {
  uv().value = " 7";
  EXPECT_EQ(Read("UV", 0), 7);
  EXPECT_EQ(host.calls(), (std::vector<std::string>{"GetViewAttribute(1,\"UV\",null,0)",
                                                    "GetViewAttribute(1,\"UV\",buffer,3)"}));
}

TEST_F(ReaderTest, PresentButNotANumberReadsAsZero) {
  view.attributes["Pers"].value = "yes";
  EXPECT_EQ(Read("Pers", 1), 0);
  view.attributes["Pers"].value = "";
  EXPECT_EQ(Read("Pers", 1), 0);
}

TEST_F(ReaderTest, AFailedValueQueryGivesTheFallback) {
  uv().value = "5";
  uv().valueAnswer = 0;
  EXPECT_EQ(Read("UV", -3), -3);
  uv().valueAnswer = -1;
  EXPECT_EQ(Read("UV", -3), -3);
}

TEST_F(ReaderTest, AnUnterminatedValueIsReadFromItsNBytesAlone) {
  uv().value = "12345678";
  uv().terminated = false;
  uv().sizeAnswer = 5;
  EXPECT_EQ(Read("UV", 0), 12345);
  uv().sizeAnswer = 200;
  EXPECT_EQ(Read("UV", 0), INT_MAX);
}

// Up to kLongestValue bytes, its NUL included, a value is read; a longer
// one gives the fallback without its value ever being asked for. Past that
// limit the sizes a heap would refuse too.
TEST_F(ReaderTest, ValuesUpToTheLongestAreReadAndLongerOnesAreNeverAskedFor) {
  uv().value = std::string(1021, ' ') + "42";
  EXPECT_EQ(Read("UV", 6), 42);
  uv().valueAnswer = 0;  // delivered nothing: the fallback, as for a short one
  EXPECT_EQ(Read("UV", 6), 6);
  for (int32_t size : {1025, 1 << 20, INT_MAX}) {
    uv() = sim::Value("1");
    uv().sizeAnswer = size;
    host.ClearLog();
    EXPECT_EQ(Read("UV", 6), 6) << size;
    EXPECT_EQ(host.calls().size(), 1u) << size;
  }
  uv() = sim::Value(std::string(1022, ' ') + "42");
  EXPECT_EQ(Read("UV", 6), 6);
}

// Two bytes and no NUL: both are the value.
TEST_F(ReaderTest, BothBytesOfATwoByteValueCount) {
  uv().terminated = false;
  uv().sizeAnswer = 2;
  for (auto [value, expected] : {std::pair<const char*, int32_t>{"05", 5},
                                 {"42", 42},
                                 {"7x", 7},
                                 {"-3", -3},
                                 {" 9", 9},
                                 {"x1", 0}}) {
    uv().value = value;
    EXPECT_EQ(Read("UV", -1), expected) << value;
  }
}

// A host that says it delivered a value it never wrote (its value is longer
// than the size it answered) gives an empty value: 0, whatever an earlier
// read left in the buffer, for every size up to the longest.
TEST_F(ReaderTest, AValueTheHostSaysItDeliveredButNeverWroteReadsAsEmpty) {
  for (int32_t size : {2, 64, 200, 1024}) {
    uv() = sim::Value(std::string(1023, '9'));
    EXPECT_EQ(Read("UV", -1), INT_MAX) << size;
    uv().value = std::string(static_cast<size_t>(size) + 5, '7');
    uv().sizeAnswer = size;
    uv().valueAnswer = 1;
    EXPECT_EQ(Read("UV", -1), 0) << size;
    EXPECT_EQ(Read("UV", -1), 0) << size << ", again";
  }
}

}  // namespace
