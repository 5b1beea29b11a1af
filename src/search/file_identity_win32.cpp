#include <windows.h>
#include <io.h>

#include "search/file_identity.h"

namespace kensaku {
namespace {

bool Identify(std::FILE* f, BY_HANDLE_FILE_INFORMATION& info) {
  if (f == nullptr) return false;
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  return h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info) != 0;
}

}  // namespace

bool SameFile(std::FILE* a, std::FILE* b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!Identify(a, ia) || !Identify(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::uint64_t FileLength(std::FILE* f) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!Identify(f, info)) return UINT64_MAX;
  return static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
}

}  // namespace kensaku
