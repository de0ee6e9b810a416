// The module as the Windows loader sees it: its exports, its imports, its
// calling convention and its identity record.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "sim/host/host.h"
#include "sim/validate/stack_probe.h"
#include "tests/windows/loaded.h"

namespace {

const BYTE* Image() { return static_cast<const BYTE*>(LoadedPlugin().module); }

const IMAGE_DATA_DIRECTORY& Directory(int entry) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(Image() + dos->e_lfanew);
  return nt->OptionalHeader.DataDirectory[entry];
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(Module, ExportsExactlyTheNineUndecoratedNames) {
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      Image() + Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(Image() + exports->AddressOfNames);
  std::set<std::string> found;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    found.insert(reinterpret_cast<const char*>(Image() + names[i]));
  std::set<std::string> expected;
  for (const sim::Export& e : sim::kExports) expected.insert(e.name);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(exports->NumberOfFunctions, std::size(sim::kExports));
}

TEST(Module, ImportsOnlySystemLibraries) {
  const std::set<std::string> system = {"kernel32.dll", "user32.dll", "msvcrt.dll", "ucrtbase.dll",
                                        "gdi32.dll"};
  const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
      Image() + Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
  int count = 0;
  for (; d->Name; ++d, ++count) {
    const std::string name = Lower(reinterpret_cast<const char*>(Image() + d->Name));
    EXPECT_TRUE(system.count(name) || name.rfind("api-ms-win-crt-", 0) == 0) << name;
  }
  EXPECT_GT(count, 0);
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
