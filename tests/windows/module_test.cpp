// The module as the Windows loader sees it: its exports, its imports, its
// calling convention and its identity record.
#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include "sim/host/host.h"
#include "sim/host/image.h"
#include "sim/host/stack_probe.h"
#include "tests/windows/loaded.h"

namespace {

TEST(Module, ExportsExactlyTheNineUndecoratedNames) {
  const sim::Image image = sim::ReadImage(LoadedPlugin().module);
  const std::set<std::string> found(image.exportNames.begin(), image.exportNames.end());
  std::set<std::string> expected;
  for (const sim::Export& e : sim::kExports) expected.insert(e.name);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(image.exportedFunctions, std::size(sim::kExports));
}

// Every DLL it needs comes with Windows, and the system seam's three calls
// are its only ones to user32.dll.
TEST(Module, ImportsOnlySystemLibraries) {
  const sim::Image image = sim::ReadImage(LoadedPlugin().module);
  std::set<std::string> user32;
  for (const sim::Import& i : image.imports) {
    EXPECT_TRUE(sim::IsSystemDll(i.dll)) << i.dll;
    if (_stricmp(i.dll.c_str(), "user32.dll") == 0) user32.insert(i.function);
  }
  EXPECT_EQ(user32, (std::set<std::string>{"GetCursorPos", "GetKeyState", "LoadImageA"}));
}

TEST(Module, EveryExportLeavesItsArgumentsToTheCaller) {
  const sim::Plugin& p = LoadedPlugin();
  // With nothing bound and a null context, every export declines, so calling
  // each with zero arguments is safe.
  for (uint32_t slot = 0; slot < orbitrix::kServiceSlots; ++slot) p.InitializePluginProc(slot, 0);
  const uint32_t zeros[16] = {};
  for (const sim::Export& e : sim::kExports) {
    const void* fn =
        reinterpret_cast<const void*>(GetProcAddress(static_cast<HMODULE>(p.module), e.name));
    EXPECT_EQ(sim::ProbeCall(fn, zeros, e.arguments).popped, 0) << e.name;
  }
}

TEST(Module, IdentityRecordArrivesThroughTheRealLoader) {
  sim::Host host(LoadedPlugin());
  host.Bind();
  EXPECT_EQ(host.plugin().PluginEntry(0, host.plugin().module, 0x504FF), 0);
  EXPECT_EQ(host.plugin().PluginEntry(0, host.plugin().module, 0x50500), 1);
  ASSERT_EQ(host.plugin().GetPluginInfo(0x51, 0x52, 0), 1);
  EXPECT_EQ(host.plugin().GetPluginInfo(0x51, 0x52, 1), 0);
  ASSERT_EQ(host.calls(), std::vector<std::string>{"RegisterInfo(0x0,0x0,0x51,0x52,0,record,26)"});
  const std::vector<uint8_t>& b = host.registrations.at(0).bytes;
  ASSERT_EQ(b.size(), 26u);
  const char *name, *description;
  std::memcpy(&name, &b[0], 4);
  std::memcpy(&description, &b[4], 4);
  EXPECT_STREQ(name, "Orbitrix");
  EXPECT_NE(std::strstr(description, "the Orbitrix developers"), nullptr);
  const uint8_t rest[18] = {2, 0, 0xAA, 0xAA, 0, 0, 0, 0, 0, 0, 0x73, 0x63, 0x5B, 0xF4, 7, 8, 0, 0};
  EXPECT_EQ(std::memcmp(&b[8], rest, 18), 0);
}

}  // namespace
