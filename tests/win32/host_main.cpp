// The test host's entry: runs the tests, or, started with --touch <file> by OpenShell, creates
// the file and ends.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "ui_host.h"

namespace kensaku_test {
const char* g_self_path = nullptr;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--touch") == 0) {
    FILE* f = std::fopen(argv[2], "wb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr ? 0 : 1;
  }
  static char self[260];
  GetModuleFileNameA(nullptr, self, sizeof self);
  kensaku_test::g_self_path = self;
  ::testing::InitGoogleTest(&argc, argv);
  kensaku_test::InstallWatchdog(60000);
  return RUN_ALL_TESTS();
}
