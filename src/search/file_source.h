// Files as the system hands them out: an input opened for reading, read in blocks, with whether
// a short read ends it; and an output appended to, each write handed to the system at once.
// Only the platform files (file_source_posix.cpp, file_source_win32.cpp) know how; neither goes
// through the C runtime's streams, whose buffers and seeks cost a search that flushes each hit.
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
  // A handle already open (standard input), read from where it stands and left open: the name
  // may not open the same file, or any (a socket, a descriptor its reader could not open).
  std::intptr_t handle = -1;
};

class FileSource {
 public:
  FileSource() = default;
  ~FileSource() { Close(); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // False when the file cannot be opened for reading; errno tells why.
  bool Open(const FileName& file);
  void Close();
  bool is_open() const { return handle_ != kNoHandle; }
  // Opened by name here, rather than a handle lent by the caller.
  bool opened_here() const { return is_open() && owned_; }

  // Reads up to n bytes: how many, 0 at the end of the file, or -1 on an error.
  std::ptrdiff_t Read(char* buffer, std::size_t n);

  // True for a regular file: a read that returns fewer bytes than asked for has met its end, and
  // no further read is needed to see it.
  bool short_read_ends() const { return short_read_ends_; }

  // The system's handle of the open file (a descriptor, or a stream), for its identity.
  std::intptr_t handle() const { return handle_; }

  // Puts a handle that was open before (FileName::handle) `offset` bytes after where reading
  // began, so that whoever reads it next goes on from there; false when it cannot seek.
  bool LeaveAt(std::uint64_t offset) const;

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
  bool short_read_ends_ = false;
  bool owned_ = false;
  std::int64_t start_ = -1;  // a handle open before: where reading began, -1 when not seekable
};

// When regular files are mapped into memory rather than copied by reads: never; when large and
// this machine maps pages faster than it copies them (the default: on some virtual machines a
// page fault costs several times a copy); when large; or whenever there is more than the first
// read took (for tests, which then meet mapped input in files of any size).
enum class FileMapping { kNever, kMeasured, kLarge, kAlways };
void SetFileMapping(FileMapping mapping);
FileMapping GetFileMapping();
// Whether mapping the first 256 KiB of the file and loading its pages takes less time than
// reading them by read calls: measured once in the process, on the first file asked about.
bool MappingPays(const FileSource& file);

// The bytes of an open regular file, mapped read-only. A file cut short while it is mapped does
// not bring the process down: the pages past its new end read as zeros from then on, and cut()
// turns true, so that a reader can fail rather than hand out what it read there.
class MappedBytes {
 public:
  MappedBytes() = default;
  ~MappedBytes() { Unmap(); }
  MappedBytes(const MappedBytes&) = delete;
  MappedBytes& operator=(const MappedBytes&) = delete;

  // Maps the first `size` bytes of the file, followed by zero bytes up to a page or more; false
  // when it cannot be (the file is read instead).
  bool Map(const FileSource& file, std::uint64_t size);
  void Unmap();
  const char* data() const { return base_; }
  std::size_t size() const { return size_; }
  bool cut() const;

 private:
  char* base_ = nullptr;
  std::size_t size_ = 0, reserved_ = 0;
  int slot_ = -1;
};

class FileSink {
 public:
  FileSink() = default;
  ~FileSink() { Close(); }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Opens a file to append to, created if missing and never truncated; false when it cannot be.
  bool Open(const char* name);
  // False when the file is closed now, or a close failed.
  bool Close();
  bool is_open() const { return handle_ != kNoHandle; }

  // Writes all n bytes at the end of the file; false when any of them could not be written.
  bool Write(const char* bytes, std::size_t n);

  // The system's handle of the open file (a descriptor, or a HANDLE), for its identity.
  std::intptr_t handle() const { return handle_; }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_FILE_SOURCE_H_
