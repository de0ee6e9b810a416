// The button bitmap as Windows loads it from the module's resources.
#include <windows.h>

#include <cstring>

#include "sim/host/host.h"
#include "tests/windows/loaded.h"

namespace {

HBITMAP RegisteredBitmap(sim::Host& host) {
  for (const sim::Registration& r : host.registrations) {
    if (r.kind != orbitrix::kToolInfo) continue;
    HBITMAP bitmap;
    std::memcpy(&bitmap, &r.bytes[8], sizeof bitmap);
    return bitmap;
  }
  ADD_FAILURE() << "no tool record";
  return nullptr;
}

TEST(Button, ResourceIsAJapaneseBitmapNamedIdbBitmap1) {
  HMODULE module = static_cast<HMODULE>(LoadedPlugin().module);
  EXPECT_NE(FindResourceExA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, "IDB_BITMAP1",
                            MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)),
            nullptr);
  EXPECT_EQ(FindResourceExA(module, MAKEINTRESOURCEA(2), "IDB_BITMAP1",
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
            nullptr)
      << "only the Japanese one";
}

TEST(Button, ToolRecordCarriesA22By26EightBitDibSection) {
  sim::Host host(LoadedPlugin());
  ASSERT_TRUE(host.Start());
  HBITMAP bitmap = RegisteredBitmap(host);
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib))
      << "a DIB section answers with the whole DIBSECTION";
  EXPECT_EQ(dib.dsBm.bmWidth, 22);
  EXPECT_EQ(dib.dsBm.bmHeight, 26);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 8);
  EXPECT_NE(dib.dsBm.bmBits, nullptr);
  DeleteObject(bitmap);  // the host owns it
}

TEST(Button, ANullModuleHandleGivesANullBitmapAndStillRegisters) {
  sim::Host host(LoadedPlugin());
  host.Bind();
  host.plugin().PluginEntry(0, nullptr, 0x50500);
  ASSERT_EQ(host.plugin().GetToolInfo(0, 0, 0xAAAA, 0), 1);
  EXPECT_EQ(RegisteredBitmap(host), nullptr);
}

}  // namespace
