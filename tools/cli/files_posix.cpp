#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "files.h"

namespace kensaku::cli {
namespace {

// Descriptors kept open for the entries of directories at once, well within the usual limit of
// 1,024 a process; a directory beyond them has its entries opened by their whole names.
constexpr int kMaxOpenDirectories = 256;
std::atomic<int> open_directories{0};

}  // namespace

bool ReadDirectory(const std::string& path, const std::string& name, std::intptr_t parent,
                   bool follow, std::vector<DirectoryEntry>& entries, std::intptr_t& handle,
                   std::string& error) {
  handle = -1;
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  const int fd = parent >= 0 && !name.empty()
                     ? ::openat(static_cast<int>(parent), name.c_str(), flags)
                     : ::open(path.c_str(), flags);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // The listing takes a descriptor of its own; this one is kept for the entries.
  const int listed = dup(fd);
  DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
  if (dir == nullptr) {
    error = std::strerror(errno);
    if (listed >= 0) ::close(listed);
    ::close(fd);
    return false;
  }
  errno = 0;
  while (const dirent* d = readdir(dir)) {
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    unsigned char type = d->d_type;
    struct stat st;
    if (type == DT_UNKNOWN) {
      // Some file systems leave the type to be asked for. An entry that cannot be asked about
      // (no search permission on the directory) is an error of its own, not passed over.
      if (fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        entries.push_back({d->d_name, Target::Kind::kNote, std::strerror(errno)});
        errno = 0;
        continue;
      }
      type = S_ISLNK(st.st_mode)   ? DT_LNK
             : S_ISDIR(st.st_mode) ? DT_DIR
             : S_ISREG(st.st_mode) ? DT_REG
                                   : DT_UNKNOWN;
    }
    if (type == DT_LNK) {
      if (!follow) {
        entries.push_back({d->d_name, Target::Kind::kFile, "", true, Skip::kLink});
        continue;
      }
      if (fstatat(fd, d->d_name, &st, 0) != 0) {
        entries.push_back({d->d_name, Target::Kind::kNote, std::strerror(errno)});
        errno = 0;
        continue;
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    // Devices, pipes and sockets met in a tree are passed over, as grep does.
    if (type == DT_DIR) {
      entries.push_back({d->d_name, Target::Kind::kDirectory, ""});
    } else if (type == DT_REG) {
      entries.push_back({d->d_name, Target::Kind::kFile, ""});
    } else {
      entries.push_back({d->d_name, Target::Kind::kFile, "", true, Skip::kNotRegular});
    }
    errno = 0;
  }
  const int read_error = errno;
  closedir(dir);
  if (read_error != 0) {
    ::close(fd);
    entries.clear();
    error = std::strerror(read_error);
    return false;
  }
  if (open_directories.fetch_add(1) < kMaxOpenDirectories) {
    handle = fd;
  } else {
    open_directories.fetch_sub(1);
    ::close(fd);
  }
  return true;
}

void CloseDirectory(std::intptr_t handle) {
  if (handle < 0) return;
  ::close(static_cast<int>(handle));
  open_directories.fetch_sub(1);
}

}  // namespace kensaku::cli
