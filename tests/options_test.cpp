// The tool button and the four options.
#include "host/options.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "host/module.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"
#include "tests/tool_fixture.h"

using namespace orbitrix;

namespace {

struct OptionsTest : ::testing::Test {
  sim::Host host{sim::LinkedPlugin()};
  void SetUp() override {
    sim::fake::Reset();
    host.Bind();
  }
};

std::string FromCp932(const char* text) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  char out[256] = {};
  char* in = const_cast<char*>(text);
  size_t inLeft = std::strlen(text), outLeft = sizeof out - 1;
  char* o = out;
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  return out;
}

TEST_F(OptionsTest, ToolRecordBytes) {
  int module;
  MCP_PluginEntry(0, &module, 0x50500);
  ASSERT_EQ(MCP_GetToolInfo(7, 8, 0xAAAA, 0), 1);
  ASSERT_EQ(host.calls(), std::vector<std::string>{"RegisterInfo(0xAAAA,0x0,0x7,0x8,1,record,54)"});
  EXPECT_EQ(sim::fake::lastBitmapModule, &module);

  const std::vector<uint8_t>& b = host.registrations.at(0).bytes;
  ASSERT_EQ(b.size(), 54u);
  void* bitmap;
  const char* text;
  std::memcpy(&bitmap, &b[8], 4);
  std::memcpy(&text, &b[12], 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap), sim::fake::kBitmapHandle);
  EXPECT_STREQ(text, "");
  uint8_t expected[54] = {22, 0, 0, 0, 26, 0, 0, 0};
  expected[16] = 1;  // 16-bit 1
  expected[22] = 1;  // 32-bit 1
  expected[38] = 0x07;
  expected[40] = 0x01;                  // 0x10007
  std::memcpy(&expected[8], &b[8], 8);  // the two pointers, checked above
  EXPECT_EQ(std::memcmp(b.data(), expected, 54), 0);
}

TEST_F(OptionsTest, FailedBitmapLeavesANullHandleAndStillRegisters) {
  sim::fake::imageFails = true;
  ASSERT_EQ(MCP_GetToolInfo(0, 0, 0xAAAA, 0), 1);
  void* bitmap;
  std::memcpy(&bitmap, &host.registrations.at(0).bytes[8], 4);
  EXPECT_EQ(bitmap, nullptr);
}

TEST_F(OptionsTest, FourOptionsRegisterInOrderWithTheirLabels) {
  ASSERT_EQ(MCP_GetGUIInfo(3, 4, 0xAAAA, 0), 1);
  ASSERT_EQ(host.registrations.size(), 4u);
  const char* const labels[4] = {
      "特定角度にくっつく",
      "（↑がオンの時）Ctrlを押した時のみ作動",
      "上下回転に制限をかける",
      "一時平行投影する",
  };
  for (int i = 0; i < 4; ++i) {
    const sim::Registration& r = host.registrations[static_cast<size_t>(i)];
    EXPECT_EQ(host.log[static_cast<size_t>(i)].text,
              "RegisterInfo(0xAAAA,0x0,0x3,0x4,2,record,25)");
    EXPECT_EQ(r.record, &gOptions[i]) << "the host keeps this address";
    ASSERT_EQ(r.bytes.size(), 25u);
    uint32_t size;
    const char* label;
    std::memcpy(&size, &r.bytes[0], 4);
    std::memcpy(&label, &r.bytes[8], 4);
    EXPECT_EQ(size, 25u);
    EXPECT_EQ(FromCp932(label), labels[i]) << "option " << i + 1;
    const uint8_t zeros[12] = {};
    EXPECT_EQ(std::memcmp(&r.bytes[4], zeros, 4), 0);
    EXPECT_EQ(std::memcmp(&r.bytes[12], zeros, 12), 0);
    EXPECT_EQ(r.bytes[24], 1);
  }
}

// The records stay where the host found them at the first registration, and
// each later one switches all four back on there.
TEST_F(OptionsTest, RegistrationSwitchesEveryOptionBackOnInTheRecordsTheHostKept) {
  MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
  GuiOptionRecord* kept[kOptionCount];
  for (int i = 0; i < kOptionCount; ++i) {
    kept[i] = host.option(i);
    kept[i]->value = 0;
  }
  MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
  for (int i = 0; i < kOptionCount; ++i) {
    EXPECT_EQ(host.registrations[static_cast<size_t>(kOptionCount + i)].record, kept[i]);
    EXPECT_EQ(kept[i]->value, 1) << "option " << i + 1;
  }
}

// Every value the host may write into each option's byte, as the events see
// it: the first option is on for any value but 0, the other three for 1
// alone.
using OptionValues = ToolTest;

TEST_F(OptionValues, EveryValueOfEachOptionsByte) {
  const auto releaseAtFive = [this] {
    view.setAngles(5, 5);
    host.setDragState(0);
    host.Release(1);
    return view.heading() == 0.0f;
  };
  for (int v = 0; v < 256; ++v) {
    const auto value = static_cast<uint8_t>(v);
    MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
    host.SetOption(kSnapOnlyWithCtrl, 0);
    host.SetOption(kSnapToRightAngles, value);
    EXPECT_EQ(releaseAtFive(), v != 0) << "SnapToRightAngles " << v;

    MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
    host.SetOption(kSnapOnlyWithCtrl, value);
    EXPECT_EQ(releaseAtFive(), v != 1) << "SnapOnlyWithCtrl " << v << ", Ctrl up";

    MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
    host.SetOption(kSnapOnlyWithCtrl, 0);
    host.SetOption(kTemporaryParallel, value);
    releaseAtFive();
    EXPECT_EQ(view.text("TempOrtho"), v == 1 ? "1" : "0") << "TemporaryParallel " << v;

    MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
    host.SetOption(kLimitPitch, value);
    host.setDragState(0);
    PressAt(0, 0, 0, 80);
    MoveTo(0, 25);
    EXPECT_EQ(view.pitch(), v == 1 ? 90.0f : 105.0f) << "LimitPitch " << v;
  }
}

TEST_F(OptionsTest, OtherToolIdsAreNotOurs) {
  for (auto [w0, w1] : {std::pair<uint32_t, uint32_t>{0xAAAB, 0},
                        {0xAAAA, 1},
                        {0xAAA9, 0},
                        {0x1AAAA, 0},
                        {0, 0},
                        {0xFFFFFFFF, 0xFFFFFFFF}}) {
    EXPECT_EQ(MCP_GetToolInfo(0, 0, w0, w1), 0);
    EXPECT_EQ(MCP_GetGUIInfo(0, 0, w0, w1), 1);
  }
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(sim::fake::bitmapLoads, 0);
}

TEST_F(OptionsTest, QueriesDeclineWithoutRegisterInfo) {
  MCP_InitializePluginProc(kRegisterInfo, nullptr);
  EXPECT_EQ(MCP_GetToolInfo(0, 0, 0xAAAA, 0), 0);
  EXPECT_EQ(MCP_GetGUIInfo(0, 0, 0xAAAA, 0), 1);
  EXPECT_TRUE(host.log.empty());
}

}  // namespace
