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

// The input's handle is its stream (file_source_win32.cpp).
std::FILE* StreamOf(const FileSource& in) {
  return in.is_open() ? reinterpret_cast<std::FILE*>(in.handle()) : nullptr;
}

}  // namespace

bool SameFile(const FileSource& in, std::FILE* out) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!Identify(StreamOf(in), ia) || !Identify(out, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::uint64_t FileLength(const FileSource& in) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!Identify(StreamOf(in), info)) return UINT64_MAX;
  return static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
}

}  // namespace kensaku
