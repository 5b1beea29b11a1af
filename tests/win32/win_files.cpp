#include "win_files.h"

#include <cstdio>

namespace kensaku_test {

WinTempDir::WinTempDir() {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static int serial = 0;
  for (;;) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%skensaku-%lu-%d", base, GetCurrentProcessId(), ++serial);
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

WinTempDir::~WinTempDir() {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryA((path_ + "\\" + name).c_str());
      } else {
        DeleteFileA((path_ + "\\" + name).c_str());
      }
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(path_.c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kensaku_test
