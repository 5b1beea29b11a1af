#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform.h"

namespace kensaku::cli {
namespace {

// Standard input copied to a temporary file, which InputFile can open by name.
struct SpooledInput {
  std::string name;
  ~SpooledInput() {
    if (!name.empty()) DeleteFileA(name.c_str());
  }
};

}  // namespace

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

std::string LocaleCharset() {
  UINT page = GetConsoleOutputCP();
  if (page == 0) page = GetACP();  // no console
  if (page == CP_UTF8) return "UTF-8";
  if (page == 20932 || page == 51932) return "EUC-JP";
  return "CP" + std::to_string(page);
}

// The console hands over text in its own code page; the copy keeps the bytes.
std::intptr_t StandardInputHandle() { return -1; }

std::string StandardInputName() {
  static SpooledInput spooled;
  if (!spooled.name.empty()) return spooled.name;
  char dir[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  if (GetTempPathA(sizeof dir, dir) == 0 || GetTempFileNameA(dir, "ksk", 0, name) == 0) return "";
  std::FILE* out = std::fopen(name, "wb");
  if (out == nullptr) return "";
  _setmode(_fileno(stdin), _O_BINARY);
  char buffer[1 << 16];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) std::fwrite(buffer, 1, got, out);
  std::fclose(out);
  spooled.name = name;
  return spooled.name;
}

bool RegularFileId(std::intptr_t handle, FileId& id) {
  const HANDLE h = reinterpret_cast<HANDLE>(handle);
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  id = {info.dwVolumeSerialNumber,
        static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return true;
}

std::intptr_t StandardOutputHandle() {
  return reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
}

void SetBinaryOutput() { _setmode(_fileno(stdout), _O_BINARY); }

int NameCharBytes(unsigned char first) {
  static const bool double_byte = [] {
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2;
  }();
  if (!double_byte) return 0;
  return IsDBCSLeadByte(first) ? 2 : 1;
}

}  // namespace kensaku::cli
