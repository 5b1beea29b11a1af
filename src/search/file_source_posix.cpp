#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "search/file_source.h"

namespace kensaku {

bool FileSource::Open(const FileName& file) {
  Close();
  owned_ = file.handle < 0;
  const int fd = !owned_ ? static_cast<int>(file.handle)
                 : file.directory >= 0
                     ? ::openat(static_cast<int>(file.directory), file.name, O_RDONLY | O_CLOEXEC)
                     : ::open(file.path != nullptr ? file.path : file.name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  handle_ = fd;
  start_ = owned_ ? -1 : ::lseek(fd, 0, SEEK_CUR);
  struct stat st;
  short_read_ends_ = file.regular || (fstat(fd, &st) == 0 && S_ISREG(st.st_mode));
  return true;
}

void FileSource::Close() {
  if (handle_ != kNoHandle && owned_) ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
  short_read_ends_ = false;
}

bool FileSource::LeaveAt(std::uint64_t offset) const {
  return start_ >= 0 &&
         ::lseek(static_cast<int>(handle_),
                 static_cast<off_t>(start_ + static_cast<std::int64_t>(offset)), SEEK_SET) >= 0;
}

std::ptrdiff_t FileSource::Read(char* buffer, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// O_APPEND: every write lands at the end, whoever else appends meanwhile.
bool FileSink::Open(const char* name) {
  Close();
  if (name == nullptr) return false;
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool FileSink::Close() {
  if (handle_ == kNoHandle) return true;
  const bool ok = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kNoHandle;
  return ok;
}

bool FileSink::Write(const char* bytes, std::size_t n) {
  while (n > 0) {
    const ssize_t put = ::write(static_cast<int>(handle_), bytes, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace kensaku
