#include <sys/stat.h>

#include "search/file_identity.h"

namespace kensaku {

bool SameFile(const FileSource& in, const FileSink& out) {
  if (!in.is_open() || !out.is_open()) return false;
  struct stat sa, sb;
  if (fstat(static_cast<int>(in.handle()), &sa) != 0 ||
      fstat(static_cast<int>(out.handle()), &sb) != 0) {
    return false;
  }
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::uint64_t FileLength(const FileSource& in) {
  struct stat st;
  if (!in.is_open() || fstat(static_cast<int>(in.handle()), &st) != 0 || st.st_size < 0) {
    return UINT64_MAX;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace kensaku
