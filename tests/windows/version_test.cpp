// The module's version resource as Windows reads it (GetFileVersionInfo, what
// Explorer shows in the file's properties), against the one version: CMake's
// project(VERSION), which the build passes in as ORBITRIX_VERSION.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/windows/loaded.h"

#ifndef ORBITRIX_VERSION
#error "the build passes CMake's project version in as ORBITRIX_VERSION"
#endif

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct Version {
  unsigned major = 0, minor = 0, patch = 0;
};

Version ProjectVersion() {
  Version v;
  char rest = 0;
  EXPECT_EQ(std::sscanf(ORBITRIX_VERSION, "%u.%u.%u%c", &v.major, &v.minor, &v.patch, &rest), 3)
      << ORBITRIX_VERSION;
  return v;
}

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = Wide(PluginPath());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << PluginPath() << ": no version resource, error " << GetLastError();
    info_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info_.data()));
  }

  // A value of the version resource, or null.
  const void* Query(const std::wstring& key, UINT* length = nullptr) {
    void* value = nullptr;
    UINT n = 0;
    if (!VerQueryValueW(info_.data(), key.c_str(), &value, &n)) return nullptr;
    if (length) *length = n;
    return value;
  }

  // A text of the US English, UTF-16 string table; "(none)" when missing.
  std::wstring Text(const wchar_t* name) {
    const void* value = Query(std::wstring(L"\\StringFileInfo\\040904B0\\") + name);
    return value ? static_cast<const wchar_t*>(value) : L"(none)";
  }

  std::vector<BYTE> info_;
};

TEST_F(VersionResource, FixedPartCarriesTheProjectVersion) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_GE(length, sizeof *fixed);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const Version v = ProjectVersion();
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(v.minor, v.major)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, v.patch)));
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(v.minor, v.major)));
  EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(0, v.patch)));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u)
      << "no debug, pre-release or patched flag";
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, TextsNameTheProductAndTheVersion) {
  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", &length));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u) << "one language";
  EXPECT_EQ(translation[0], 0x409) << "US English";
  EXPECT_EQ(translation[1], 1200) << "UTF-16";

  EXPECT_EQ(Text(L"FileVersion"), Wide(ORBITRIX_VERSION));
  EXPECT_EQ(Text(L"ProductVersion"), Wide(ORBITRIX_VERSION));
  EXPECT_EQ(Text(L"FileDescription"), L"Orbitrix view rotation tool");
  EXPECT_EQ(Text(L"ProductName"), L"Orbitrix");
  EXPECT_EQ(Text(L"OriginalFilename"), L"orbitrix.mcp");
  EXPECT_EQ(Text(L"LegalCopyright"), L"Copyright (c) 2026 the Orbitrix developers");
}

TEST_F(VersionResource, IsEnglishBesideTheJapaneseBitmap) {
  HMODULE module = static_cast<HMODULE>(LoadedPlugin().module);
  EXPECT_NE(FindResourceExW(module, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
            nullptr);
  EXPECT_NE(FindResourceExA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, "IDB_BITMAP1",
                            MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)),
            nullptr)
      << "the version resource's LANGUAGE must not move the bitmap's";
}

}  // namespace
