#include <windows.h>

#include "search/file_identity.h"

namespace kensaku {
namespace {

bool Identify(bool open, std::intptr_t handle, BY_HANDLE_FILE_INFORMATION& info) {
  return open && GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &info) != 0;
}

}  // namespace

bool SameFile(const FileSource& in, const FileSink& out) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!Identify(in.is_open(), in.handle(), ia) || !Identify(out.is_open(), out.handle(), ib)) {
    return false;
  }
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::uint64_t FileLength(const FileSource& in) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!Identify(in.is_open(), in.handle(), info)) return UINT64_MAX;
  return static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
}

}  // namespace kensaku
