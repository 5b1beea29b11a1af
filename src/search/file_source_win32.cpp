#include <windows.h>

#include <cerrno>

#include "search/file_source.h"

namespace kensaku {
namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// errno for the system's last error, as the C runtime would set it, for callers that say why.
void SetErrno() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
  }
}

// The most one call reads or writes, well inside a DWORD.
constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;

}  // namespace

// Names are in the ANSI code page, as the host passes them. Others may read and write the file
// meanwhile, as they could with the C runtime's streams.
bool FileSource::Open(const FileName& file) {
  Close();
  owned_ = file.handle < 0;
  if (!owned_) {
    const HANDLE h = Handle(file.handle);
    handle_ = file.handle;
    short_read_ends_ = GetFileType(h) == FILE_TYPE_DISK;
    LARGE_INTEGER at{};
    start_ = short_read_ends_ && SetFilePointerEx(h, LARGE_INTEGER{}, &at, FILE_CURRENT)
                 ? at.QuadPart
                 : -1;
    return true;
  }
  const HANDLE h = CreateFileA(file.path != nullptr ? file.path : file.name, GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    SetErrno();
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  short_read_ends_ = file.regular || GetFileType(h) == FILE_TYPE_DISK;
  return true;
}

void FileSource::Close() {
  if (handle_ != kNoHandle && owned_) CloseHandle(Handle(handle_));
  handle_ = kNoHandle;
  short_read_ends_ = false;
}

bool FileSource::LeaveAt(std::uint64_t offset) const {
  LARGE_INTEGER to;
  to.QuadPart = start_ + static_cast<LONGLONG>(offset);
  return start_ >= 0 && SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

std::ptrdiff_t FileSource::Read(char* buffer, std::size_t n) {
  DWORD got = 0;
  if (ReadFile(Handle(handle_), buffer, static_cast<DWORD>(n < kMostAtOnce ? n : kMostAtOnce),
               &got, nullptr)) {
    return static_cast<std::ptrdiff_t>(got);
  }
  if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // a pipe's writer has gone: its end
  SetErrno();
  return -1;
}

// A handle that lets nobody else write the file while it is open is written at the end found
// once: nobody else can move that end, so this is appending, with one system call per write.
// When someone already holds the file open for writing, a handle with append access only makes
// the system put every write at the end as it is then.
bool FileSink::Open(const char* name) {
  Close();
  if (name == nullptr) return false;
  HANDLE h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    // A pipe or a device has no end to go to.
    if (GetFileType(h) == FILE_TYPE_DISK &&
        !SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_END)) {
      CloseHandle(h);
      return false;
    }
  } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
    h = CreateFileA(name, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
  } else {
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return true;
}

bool FileSink::Close() {
  if (handle_ == kNoHandle) return true;
  const bool ok = CloseHandle(Handle(handle_)) != 0;
  handle_ = kNoHandle;
  return ok;
}

bool FileSink::Write(const char* bytes, std::size_t n) {
  while (n > 0) {
    DWORD put = 0;
    const DWORD part = static_cast<DWORD>(n < kMostAtOnce ? n : kMostAtOnce);
    if (!WriteFile(Handle(handle_), bytes, part, &put, nullptr) || put == 0) return false;
    bytes += put;
    n -= put;
  }
  return true;
}

// Windows reads every file, as it always has.
void SetFileMapping(FileMapping) {}
FileMapping GetFileMapping() { return FileMapping::kNever; }
bool MappingPays(const FileSource&) { return false; }
bool MappedBytes::Map(const FileSource&, std::uint64_t) { return false; }
void MappedBytes::Unmap() {}
bool MappedBytes::cut() const { return false; }

}  // namespace kensaku
