#include "dll_host.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kensaku_test {

HMODULE Dll() {
  static HMODULE module = [] {
    HMODULE m = LoadLibraryA(KENSAKU_DLL_FILE);
    if (m == nullptr) {
      std::fprintf(stderr, "LoadLibraryA(%s) failed: %lu\n", KENSAKU_DLL_FILE, GetLastError());
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

std::set<std::string> ReentrantInterfaceNames() {
  std::ifstream in(KENSAKU_MAP_FILE);
  std::stringstream whole;
  whole << in.rdbuf();
  std::string text = whole.str();
  if (text.empty()) {
    std::fprintf(stderr, "cannot read %s\n", KENSAKU_MAP_FILE);
    std::abort();
  }
  for (std::size_t open; (open = text.find("/*")) != std::string::npos;) {
    text.erase(open, text.find("*/", open) + 2 - open);
  }
  std::set<std::string> names;
  for (std::size_t at = 0; (at = text.find("kensaku_", at)) != std::string::npos;) {
    std::size_t end = at;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '_')) {
      ++end;
    }
    names.insert(text.substr(at, end - at));
    at = end;
  }
  return names;
}

std::vector<std::pair<int, std::string>> ExportedNames() {
  const auto* base = reinterpret_cast<const BYTE*>(Dll());
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  std::vector<std::pair<int, std::string>> v;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    v.emplace_back(static_cast<int>(exports->Base + ordinals[i]),
                   reinterpret_cast<const char*>(base + names[i]));
  }
  return v;
}

#if defined(__x86_64__)
// x64 has one convention: the caller reserves 32 bytes of home space and passes the first four
// arguments in registers, the rest on the stack, and removes them itself. A callee that popped
// anything (ret N) would leave the stack pointer moved after the call.
int StackDeltaOfCall(FARPROC fn, int n) {
  long long delta = 0;
  const long long on_stack = n > 4 ? n - 4 : 0;
  asm volatile(
      "mov %%rsp, %%rsi\n\t"
      "and $-16, %%rsp\n\t"
      "lea 1(%2), %%rcx\n\t"
      "and $-2, %%rcx\n\t"  // an even number of slots keeps the call 16-byte aligned
      "1:\n\t"
      "test %%rcx, %%rcx\n\t"
      "jz 2f\n\t"
      "pushq $0\n\t"
      "dec %%rcx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "sub $32, %%rsp\n\t"
      "mov %%rsp, %%rdi\n\t"
      "xor %%ecx, %%ecx\n\t"
      "xor %%edx, %%edx\n\t"
      "xor %%r8d, %%r8d\n\t"
      "xor %%r9d, %%r9d\n\t"
      "call *%1\n\t"
      "mov %%rsp, %0\n\t"
      "sub %%rdi, %0\n\t"
      "mov %%rsi, %%rsp\n\t"
      : "=&a"(delta)
      : "b"(fn), "r"(on_stack)
      : "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "xmm0", "xmm1", "xmm2", "xmm3",
        "xmm4", "xmm5", "memory", "cc");
  return static_cast<int>(delta);
}
#else
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
#endif

}  // namespace kensaku_test
