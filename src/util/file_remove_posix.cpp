#include <sys/stat.h>
#include <unistd.h>

#include "util/file_output.h"

namespace kensaku {

int RemoveFile(const char* name) {
  if (name == nullptr) return 0;
  struct stat st;
  if (lstat(name, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return unlink(name) == 0 ? 0 : -1;
}

}  // namespace kensaku
