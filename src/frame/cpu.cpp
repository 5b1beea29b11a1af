#include "frame/cpu.h"

namespace kensaku {
namespace {

SimdLevel Detected() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("ssse3")) return SimdLevel::kSsse3;
#endif
  return SimdLevel::kSse2;
}

// Found once at load time. Until then (another file's static initializers) SSE2 is used, which
// every processor here has.
const SimdLevel g_detected = Detected();

}  // namespace

namespace detail {
std::atomic<int> g_simd{static_cast<int>(g_detected)};
}  // namespace detail

void CapSimd(SimdLevel level) {
  const SimdLevel usable =
      static_cast<int>(g_detected) < static_cast<int>(level) ? g_detected : level;
  detail::g_simd.store(static_cast<int>(usable), std::memory_order_relaxed);
}

}  // namespace kensaku
