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
#include "tests/heap.h"

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
  uv().sizeAnswer = 200;  // beyond the stack buffer: the heap copy is exactly n bytes
  EXPECT_EQ(Read("UV", 0), INT_MAX);
}

TEST_F(ReaderTest, LongValuesAreReadToo) {
  uv().value = std::string(150, ' ') + "-42";
  EXPECT_EQ(Read("UV", 0), -42);
  // Too long for the stack, and then not delivered: the fallback, as for a
  // short one.
  for (int32_t answer : {0, -1}) {
    uv().valueAnswer = answer;
    EXPECT_EQ(Read("UV", 6), 6) << answer;
  }
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
// read left in the buffer, on the stack and from the heap.
TEST_F(ReaderTest, AValueTheHostSaysItDeliveredButNeverWroteReadsAsEmpty) {
  for (int32_t size : {2, 64, 200}) {
    uv() = sim::Value(std::string(size > 64 ? 199 : 63, '9'));
    EXPECT_EQ(Read("UV", -1), INT_MAX) << size;
    uv().value = std::string(static_cast<size_t>(size) + 5, '7');
    uv().sizeAnswer = size;
    uv().valueAnswer = 1;
    EXPECT_EQ(Read("UV", -1), 0) << size;
    EXPECT_EQ(Read("UV", -1), 0) << size << ", again";
  }
}

// Past its 64-byte stack buffer the reader takes a block from the heap, and
// gives it back on every path: the value delivered, terminated or not; the
// value query failing; the heap refusing the size. Counted around each read,
// so that this holds where LeakSanitizer cannot run (under qemu-user).
TEST_F(ReaderTest, EveryReadPastTheStackBufferGivesItsHeapBlockBack) {
  host.log.reserve(4);
  const std::string longValue = std::string(100, '0') + "42";
  const auto counted = [&](const std::string& what, int32_t expected) {
    const size_t heap = HeapBytes();
    EXPECT_EQ(Read("UV", -6), expected) << what;
    host.ClearLog();
    EXPECT_EQ(HeapBytes(), heap) << "a heap block outlived the read of " << what;
  };
  uv() = sim::Value(longValue);
  counted("a value of 103 bytes", 42);
  for (int32_t size : {64, 65, 200}) {
    uv() = sim::Value("123");
    uv().terminated = false;
    uv().sizeAnswer = size;
    counted(std::to_string(size) + " bytes without a NUL", INT_MAX);
  }
  for (int32_t answer : {0, -1}) {
    uv() = sim::Value(longValue);
    uv().valueAnswer = answer;
    counted("a value of 103 bytes whose query answers " + std::to_string(answer), -6);
  }
  uv() = sim::Value(longValue);
  uv().sizeAnswer = INT_MAX;  // more than the tests' heap gives
  counted("a size the heap refuses", -6);
}

TEST_F(ReaderTest, ASizeTheHeapCannotSupplyGivesTheFallbackWithoutTheValueQuery) {
  uv().value = "1";
  uv().sizeAnswer = INT_MAX;
  EXPECT_EQ(Read("UV", 9), 9);
  EXPECT_EQ(host.calls().size(), 1u);
}

}  // namespace
