// The C++ allocation functions replaced for a whole process, so that a test can make the n-th
// allocation from some point on fail (std::bad_alloc, or null for the nothrow forms) and count
// the blocks still live. Built as a shared library: linked into a test program before the
// library, or preloaded into an interpreter (LD_PRELOAD), it stands in for libstdc++'s.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> countdown{0};   // allocations until the failing one; 0: none fails
std::atomic<bool> always{false};  // every allocation after it fails too
std::atomic<bool> failing{false};
std::atomic<long> failed{0};
std::atomic<long> live{0};

void* Allocate(std::size_t n) {
  if (failing.load(std::memory_order_relaxed) ||
      (countdown.load(std::memory_order_relaxed) > 0 && --countdown == 0)) {
    failing = always.load();
    ++failed;
    return nullptr;
  }
  void* p = std::malloc(n != 0 ? n : 1);
  if (p != nullptr) ++live;
  return p;
}

void Free(void* p) {
  if (p == nullptr) return;
  --live;
  std::free(p);
}

}  // namespace

extern "C" {

// The n-th allocation from now fails (n <= 0: none does), and with `from_then_on` every one after
// it. Also resets the count of failed allocations.
__attribute__((visibility("default"))) void kensaku_test_fail_allocation(long n, int from_then_on) {
  failing = false;
  failed = 0;
  always = from_then_on != 0;
  countdown = n > 0 ? n : 0;
}

// How many allocations failed since the last kensaku_test_fail_allocation.
__attribute__((visibility("default"))) long kensaku_test_failed_allocations(void) {
  return failed.load();
}

// Blocks allocated and not yet freed.
__attribute__((visibility("default"))) long kensaku_test_live_allocations(void) {
  return live.load();
}

}  // extern "C"

void* operator new(std::size_t n) {
  void* p = Allocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
