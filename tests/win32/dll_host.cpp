#include "dll_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kensaku_test {

HMODULE Dll() {
  static HMODULE module = [] {
    HMODULE m = LoadLibraryA("kensaku.dll");
    if (m == nullptr) {
      std::fprintf(stderr, "LoadLibraryA(kensaku.dll) failed: %lu\n", GetLastError());
      std::abort();
    }
    return m;
  }();
  return module;
}

FARPROC ProcByName(const char* name) {
  FARPROC p = GetProcAddress(Dll(), name);
  if (p == nullptr) {
    std::fprintf(stderr, "export %s not found\n", name);
    std::abort();
  }
  return p;
}

FARPROC ProcByOrdinal(int ordinal) {
  return GetProcAddress(Dll(), MAKEINTRESOURCEA(ordinal));
}

const std::vector<DefEntry>& DefEntries() {
  static const std::vector<DefEntry> entries = [] {
    std::vector<DefEntry> v;
    FILE* f = std::fopen(KENSAKU_DEF_FILE, "r");
    if (f == nullptr) {
      std::fprintf(stderr, "cannot read %s\n", KENSAKU_DEF_FILE);
      std::abort();
    }
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      char name[128];
      int bytes = 0, ordinal = 0;
      if (std::sscanf(line, " %127[A-Za-z0-9_]@%d @%d", name, &bytes, &ordinal) == 3) {
        v.push_back({name, ordinal, bytes});
      }
    }
    std::fclose(f);
    return v;
  }();
  return entries;
}

int StackDeltaOfCall(FARPROC fn, int n) {
  int delta = 0;
  asm volatile(
      "mov %%esp, %%esi\n\t"
      "mov %2, %%ecx\n\t"
      "1:\n\t"
      "test %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl $0\n\t"
      "dec %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *%1\n\t"
      "mov %%esp, %0\n\t"
      "sub %%esi, %0\n\t"
      "mov %%esi, %%esp\n\t"
      : "=&D"(delta)
      : "b"(fn), "m"(n)
      : "eax", "ecx", "edx", "esi", "memory", "cc");
  return delta;
}

}  // namespace kensaku_test
