#include <cstdio>

#include "search/file_source.h"

namespace kensaku {
namespace {

std::FILE* Stream(std::intptr_t handle) { return reinterpret_cast<std::FILE*>(handle); }

}  // namespace

// The C runtime's streams take the ANSI code page's names as the host passes them; unbuffered,
// they read straight into the caller's blocks. Files are read until a read returns nothing.
bool FileSource::Open(const FileName& file) {
  Close();
  std::FILE* f = std::fopen(file.path != nullptr ? file.path : file.name, "rb");
  if (f == nullptr) return false;
  std::setvbuf(f, nullptr, _IONBF, 0);
  handle_ = reinterpret_cast<std::intptr_t>(f);
  return true;
}

void FileSource::Close() {
  if (handle_ != kNoHandle) std::fclose(Stream(handle_));
  handle_ = kNoHandle;
}

std::ptrdiff_t FileSource::Read(char* buffer, std::size_t n) {
  std::FILE* f = Stream(handle_);
  const std::size_t got = std::fread(buffer, 1, n, f);
  if (got == 0 && std::ferror(f)) return -1;
  return static_cast<std::ptrdiff_t>(got);
}

}  // namespace kensaku
