// The tool button and the four options.
#include "host/options.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "host/module.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"

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
  sim::fake::bitmap = nullptr;
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

TEST_F(OptionsTest, RegistrationSwitchesEveryOptionBackOn) {
  MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
  host.SetOption(kLimitPitch, 0);
  host.SetOption(kSnapToRightAngles, 0);
  EXPECT_FALSE(LimitPitch());
  MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
  EXPECT_EQ(gOptions[kLimitPitch].value, 1);
  EXPECT_TRUE(LimitPitch());
  EXPECT_TRUE(SnapToRightAngles());
}

TEST_F(OptionsTest, ValueTwoCountsAsOnOnlyForTheFirstOption) {
  MCP_GetGUIInfo(0, 0, 0xAAAA, 0);
  for (int i = 0; i < kOptionCount; ++i) host.SetOption(i, 2);
  EXPECT_TRUE(SnapToRightAngles());
  EXPECT_FALSE(SnapOnlyWithCtrl());
  EXPECT_FALSE(LimitPitch());
  EXPECT_FALSE(TemporaryParallel());
  for (int i = 0; i < kOptionCount; ++i) host.SetOption(i, 0);
  EXPECT_FALSE(SnapToRightAngles());
}

TEST_F(OptionsTest, OtherToolIdsAreNotOurs) {
  for (auto [w0, w1] : {std::pair<uint32_t, uint32_t>{0xAAAB, 0},
                        {0xAAAA, 1},
                        {0xAAA9, 0},
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
