// The test host's view of kensaku.dll: loaded once with LoadLibraryA, functions looked up with
// GetProcAddress by name, typed from the declarations in kensaku.h.
#ifndef KENSAKU_TESTS_WIN32_DLL_HOST_H_
#define KENSAKU_TESTS_WIN32_DLL_HOST_H_

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kensaku.h"

namespace kensaku_test {

HMODULE Dll();
FARPROC ProcByName(const char* name);
FARPROC ProcByOrdinal(int ordinal);

struct DefEntry {
  std::string name;
  int ordinal;
  int argument_bytes;
};
// The entries of kensaku.def, the contract the DLL is built from.
const std::vector<DefEntry>& DefEntries();
// The reentrant interface kensaku.map names (the kensaku_ functions), which kensaku64.dll exports
// by name beside the 43.
std::set<std::string> ReentrantInterfaceNames();
// The named exports of the loaded DLL, read from its image's export directory: ordinal and name.
std::vector<std::pair<int, std::string>> ExportedNames();

// Calls fn with n zero arguments and returns how far the stack pointer moved: 0 when the callee
// removed its arguments (stdcall).
int StackDeltaOfCall(FARPROC fn, int n);

}  // namespace kensaku_test

// A typed pointer to an export, looked up by name.
#define K(name) \
  (reinterpret_cast<decltype(&::name)>(reinterpret_cast<void*>(::kensaku_test::ProcByName(#name))))

#endif  // KENSAKU_TESTS_WIN32_DLL_HOST_H_
