// The module as a whole: its version resource, taken from the project version.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dll_host.h"

namespace kensaku_test {
namespace {

TEST(Module, VersionResourceIsTheProjectVersion) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(Dll(), path, sizeof path), 0u);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string version = KENSAKU_PROJECT_VERSION;
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%lu.%lu.%lu",
                static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)));
  EXPECT_EQ(numbers, version);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\041103A4\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::string(text), version);
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\041103A4\\OriginalFilename",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_STREQ(text, KENSAKU_DLL_FILE);
}

}  // namespace
}  // namespace kensaku_test
