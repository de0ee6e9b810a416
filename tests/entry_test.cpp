// Binding, the version gate and the identity, against the simulated host.
#include <gtest/gtest.h>

#include <cstring>

#include "host/module.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"

using namespace orbitrix;

namespace {

struct EntryTest : ::testing::Test {
  sim::Host host{sim::LinkedPlugin()};
  void SetUp() override { sim::fake::Reset(); }
};

TEST_F(EntryTest, VersionGateIsUnsignedAndStartsAt0x50500) {
  EXPECT_EQ(MCP_PluginEntry(0, nullptr, 0x504FF), 0);
  EXPECT_EQ(MCP_PluginEntry(0, nullptr, 0x50500), 1);
  EXPECT_EQ(MCP_PluginEntry(0, nullptr, 0xFFFFFFFF), 1);
  EXPECT_EQ(MCP_PluginEntry(0, nullptr, 0), 0);
}

TEST_F(EntryTest, EntryKeepsTheModuleHandleEvenWhenRefusing) {
  int a, b;
  MCP_PluginEntry(0, &a, 0x50500);
  EXPECT_EQ(gModuleHandle, &a);
  MCP_PluginEntry(0, &b, 0x10000);
  EXPECT_EQ(gModuleHandle, &b);
}

TEST_F(EntryTest, BindingFillsSlotsUpToTheLastAndIgnoresTheRest) {
  HostServiceTable before = gHostServices;
  int marker;
  MCP_InitializePluginProc(131, &marker);
  MCP_InitializePluginProc(0xFFFFFFFF, &marker);
  EXPECT_EQ(std::memcmp(&before, &gHostServices, sizeof before), 0);

  MCP_InitializePluginProc(130, &marker);
  EXPECT_EQ(gHostServices.slot[130], &marker);
  MCP_InitializePluginProc(130, nullptr);  // a later binding replaces the earlier one
  EXPECT_EQ(gHostServices.slot[130], nullptr);
}

TEST_F(EntryTest, IdentityRecordArrivesByteForByte) {
  host.Bind();
  ASSERT_EQ(MCP_GetPluginInfo(0x1234, 0xCAFEF00D, 0), 1);
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].text, "RegisterInfo(0x0,0x0,0x1234,0xCAFEF00D,0,record,26)");

  const sim::Registration& r = host.registrations.at(0);
  ASSERT_EQ(r.bytes.size(), 26u);
  const char* name;
  const char* description;
  std::memcpy(&name, &r.bytes[0], 4);
  std::memcpy(&description, &r.bytes[4], 4);
  EXPECT_STREQ(name, "Orbitrix");
  EXPECT_NE(std::strstr(description, "the Orbitrix developers"), nullptr);
  const uint8_t fields[18] = {0x02, 0x00,               // 2
                              0xAA, 0xAA, 0x00, 0x00,   // tool id, first word
                              0x00, 0x00, 0x00, 0x00,   // tool id, second word
                              0x73, 0x63, 0x5B, 0xF4,   // 0xF45B6373
                              0x07, 0x08, 0x00, 0x00};  // 0x807
  EXPECT_EQ(std::memcmp(&r.bytes[8], fields, 18), 0);
}

TEST_F(EntryTest, OnlyIndexZeroHasAnIdentity) {
  host.Bind();
  EXPECT_EQ(MCP_GetPluginInfo(0, 0, 1), 0);
  EXPECT_EQ(MCP_GetPluginInfo(0, 0, -1), 0);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(EntryTest, IdentityQueryDeclinesWithoutRegisterInfo) {
  host.Bind();
  MCP_InitializePluginProc(kRegisterInfo, nullptr);
  EXPECT_EQ(MCP_GetPluginInfo(0, 0, 0), 0);
  EXPECT_TRUE(host.log.empty());
}

}  // namespace
