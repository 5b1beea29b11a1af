// The file searches of the C interface on arbitrary file contents and list texts, into the
// result buffer and into a file: nothing may crash, overrun or loop; the result text ends within
// the result buffer; the counts are never negative, and the output that is the input itself is
// never read back. The files are this process's own, in memory.
// Input: settings (fold flags; bit 7 whole lines), list, NUL, file contents.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "kensaku.h"

namespace {

constexpr std::size_t kResultCapacity = 32766;

// A file in memory, named by its descriptor.
class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(memfd_create(name, 0)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  const char* path() const { return path_.c_str(); }
  void Set(const std::string& bytes) {
    if (ftruncate(fd_, 0) != 0 || pwrite(fd_, bytes.data(), bytes.size(), 0) !=
                                      static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
  }
  off_t size() const { return lseek(fd_, 0, SEEK_END); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input("kensaku-fuzz-input"), output("kensaku-fuzz-output");
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  xSet(kensaku_fuzz::FoldFlagsOf(in.settings));
  OutputMode(in.settings & 0x80 ? 1 : 0);
  LineMode(in.settings & 0x01);
  const char* list = in.texts[0].c_str();
  const std::string& contents = in.texts[1];
  input.Set(contents);

  for (const char* r : {xMatchsMult(input.path(), list), xIncMult(input.path(), list)}) {
    if (r != nullptr && std::strlen(r) > kResultCapacity) std::abort();
  }
  for (auto search : {FileLinexMatchMult, FileLinexMatchsMult, FileLinexIncMult}) {
    output.Set("");
    if (search(input.path(), output.path(), list) < 0) std::abort();
  }
  // The input as its own output grows by what one search writes, once.
  input.Set(contents);
  if (FileLinexIncMult(input.path(), input.path(), list) < 0) std::abort();
  if (input.size() > static_cast<off_t>(2 * contents.size() + 7 * (contents.size() + 1))) {
    std::abort();
  }
  xSet(0);
  return 0;
}
