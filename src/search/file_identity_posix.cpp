#include <sys/stat.h>

#include "search/file_identity.h"

namespace kensaku {

bool SameFile(std::FILE* a, std::FILE* b) {
  if (a == nullptr || b == nullptr) return false;
  struct stat sa, sb;
  if (fstat(fileno(a), &sa) != 0 || fstat(fileno(b), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::uint64_t FileLength(std::FILE* f) {
  struct stat st;
  if (f == nullptr || fstat(fileno(f), &st) != 0 || st.st_size < 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace kensaku
