// The bytes of an input file as the system hands them out: opened for reading, read in blocks,
// with whether a short read ends it. Only the platform files
// (file_source_posix.cpp, file_source_win32.cpp) know how.
#ifndef KENSAKU_SRC_SEARCH_FILE_SOURCE_H_
#define KENSAKU_SRC_SEARCH_FILE_SOURCE_H_

#include <cstddef>
#include <cstdint>

namespace kensaku {

// A file to open: its name, and what the caller already knows of it.
struct FileName {
  const char* name = nullptr;
  // An open directory (its system handle, a descriptor on POSIX) that the name is relative to,
  // which spares the system the walk down the whole path; -1 for none. Windows opens the name.
  std::intptr_t directory = -1;
  const char* path = nullptr;  // the whole name, used where no directory is open
  // Known to be a regular file (from the directory that lists it): the system is not asked.
  bool regular = false;
};

class FileSource {
 public:
  FileSource() = default;
  ~FileSource() { Close(); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // False when the file cannot be opened for reading (on POSIX, errno tells why).
  bool Open(const FileName& file);
  void Close();
  bool is_open() const { return handle_ != kNoHandle; }

  // Reads up to n bytes: how many, 0 at the end of the file, or -1 on an error.
  std::ptrdiff_t Read(char* buffer, std::size_t n);

  // True for a regular file: a read that returns fewer bytes than asked for has met its end, and
  // no further read is needed to see it.
  bool short_read_ends() const { return short_read_ends_; }

  // The system's handle of the open file (a descriptor, or a stream), for its identity.
  std::intptr_t handle() const { return handle_; }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
  bool short_read_ends_ = false;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_FILE_SOURCE_H_
