#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>

#include "search/file_source.h"

namespace kensaku {
namespace {

std::atomic<FileMapping> g_mapping{FileMapping::kMeasured};

// The files mapped now, for the bus error handler: a fault inside one of them is a file cut short
// under its mapping. A fixed table, since the handler can neither lock nor allocate; when every
// slot is taken, a file is read instead.
struct MappedSlot {
  std::atomic<bool> used{false};
  std::atomic<std::uintptr_t> begin{0}, end{0};
  std::atomic<bool> cut{false};
};
constexpr int kSlots = 64;
MappedSlot g_slots[kSlots];
std::size_t g_page = 4096;
struct sigaction g_previous;

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (MappedSlot& slot : g_slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at >= end) continue;
    // Zero pages in place of what the file no longer holds; the faulting read then goes on.
    const std::uintptr_t page = at & ~(g_page - 1);
    if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      slot.cut.store(true, std::memory_order_release);
      return;
    }
    break;
  }
  // Not a mapped file of ours: as it would have gone without this handler.
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(signal, info, context);
  } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signal);
  } else {
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);  // delivered, by default, once this handler returns
  }
}

bool HandleBusErrors() {
  static bool installed = [] {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) g_page = static_cast<std::size_t>(page);
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &g_previous) == 0;
  }();
  return installed;
}

}  // namespace

void SetFileMapping(FileMapping mapping) { g_mapping.store(mapping, std::memory_order_relaxed); }

bool MappingPays(const FileSource& file) {
  static const bool pays = [&file] {
    constexpr std::size_t kProbe = std::size_t{256} << 10, kPiece = std::size_t{32} << 10;
    // Read in pieces into one small buffer: the pages of a large new one would each cost a
    // fault, the very cost being weighed.
    std::unique_ptr<char[]> piece(new (std::nothrow) char[kPiece]);
    if (piece == nullptr) return true;
    const int fd = static_cast<int>(file.handle());
    using Clock = std::chrono::steady_clock;
    auto best_of = [](auto once) {
      Clock::duration best = Clock::duration::max();
      for (int round = 0; round < 2; ++round) {
        const Clock::time_point start = Clock::now();
        if (!once()) return Clock::duration::max();
        best = std::min(best, Clock::now() - start);
      }
      return best;
    };
    // The same bytes each way, in the page cache after the first read; the best of two tries.
    const Clock::duration read = best_of([&] {
      for (std::size_t at = 0; at < kProbe; at += kPiece) {
        if (::pread(fd, piece.get(), kPiece, static_cast<off_t>(at)) <= 0) return false;
      }
      return true;
    });
    // Mapping is given up as soon as it takes longer than reading did: where it loses, it
    // would lose by far, and finishing it would cost the run its margin.
    for (int round = 0; round < 2; ++round) {
      const Clock::time_point start = Clock::now();
      MappedBytes bytes;
      if (!bytes.Map(file, kProbe)) return false;
      unsigned sum = 0;
      bool slower = false;
      for (std::size_t at = 0, page = 0; at < bytes.size() && !slower; at += g_page, ++page) {
        sum += static_cast<unsigned char>(bytes.data()[at]);
        slower = page % 8 == 7 && Clock::now() - start >= read;
      }
      asm volatile("" : : "r"(sum));  // keeps the loads
      if (!slower && Clock::now() - start < read) return true;
    }
    return false;
  }();
  return pays;
}
FileMapping GetFileMapping() { return g_mapping.load(std::memory_order_relaxed); }

bool MappedBytes::Map(const FileSource& file, std::uint64_t size) {
  Unmap();
  if (!file.is_open() || size == 0 || size > SIZE_MAX / 2 || !HandleBusErrors()) return false;
  int slot = 0;
  while (slot < kSlots && g_slots[slot].used.exchange(true, std::memory_order_acquire)) ++slot;
  if (slot == kSlots) return false;
  const std::size_t mapped = (static_cast<std::size_t>(size) + g_page - 1) & ~(g_page - 1);
  // A page of zeros after the bytes: lines may be looked at a little past the end. The bytes
  // start on a 2 MiB boundary, as the system places a file mapped on its own: a fault then maps
  // many pages at once.
  const std::size_t reserved = mapped + g_page;
  constexpr std::size_t kAlign = std::size_t{2} << 20;
  char* area = static_cast<char*>(
      ::mmap(nullptr, reserved + kAlign, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  if (area == MAP_FAILED) {
    g_slots[slot].used.store(false, std::memory_order_release);
    return false;
  }
  char* const aligned = reinterpret_cast<char*>(
      (reinterpret_cast<std::uintptr_t>(area) + kAlign - 1) & ~std::uintptr_t{kAlign - 1});
  if (aligned != area) ::munmap(area, static_cast<std::size_t>(aligned - area));
  ::munmap(aligned + reserved, static_cast<std::size_t>(area + kAlign - aligned));
  if (::mmap(aligned, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE | MAP_FIXED,
             static_cast<int>(file.handle()), 0) == MAP_FAILED) {
    ::munmap(aligned, reserved);
    g_slots[slot].used.store(false, std::memory_order_release);
    return false;
  }
  base_ = aligned;
  size_ = static_cast<std::size_t>(size);
  reserved_ = reserved;
  slot_ = slot;
  g_slots[slot].cut.store(false, std::memory_order_relaxed);
  g_slots[slot].end.store(reinterpret_cast<std::uintptr_t>(base_) + mapped,
                          std::memory_order_release);
  g_slots[slot].begin.store(reinterpret_cast<std::uintptr_t>(base_), std::memory_order_release);
  return true;
}

void MappedBytes::Unmap() {
  if (base_ == nullptr) return;
  g_slots[slot_].begin.store(0, std::memory_order_release);
  ::munmap(base_, reserved_);
  g_slots[slot_].used.store(false, std::memory_order_release);
  base_ = nullptr;
  size_ = reserved_ = 0;
  slot_ = -1;
}

bool MappedBytes::cut() const {
  return slot_ >= 0 && g_slots[slot_].cut.load(std::memory_order_acquire);
}

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
