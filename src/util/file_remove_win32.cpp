#include <windows.h>

#include "util/file_output.h"

namespace kensaku {

int RemoveFile(const char* name) {
  if (name == nullptr) return 0;
  return DeleteFileA(name) ? 0 : -1;
}

}  // namespace kensaku
