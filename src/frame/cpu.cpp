#include "frame/cpu.h"

#include <atomic>

namespace kensaku {
namespace {

SimdLevel Detected() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
#if defined(__x86_64__)
  // 256-bit registers only on 64-bit builds: the 32-bit DLL keeps to 128 bits.
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
#endif
  if (__builtin_cpu_supports("ssse3")) return SimdLevel::kSsse3;
#endif
  return SimdLevel::kSse2;
}

std::atomic<int> g_cap{static_cast<int>(SimdLevel::kAvx2)};

// Read once at load time, so that asking costs a load and no guard.
const SimdLevel g_detected = Detected();

}  // namespace

SimdLevel Simd() {
  const int cap = g_cap.load(std::memory_order_relaxed);
  return static_cast<int>(g_detected) < cap ? g_detected : static_cast<SimdLevel>(cap);
}

void CapSimd(SimdLevel level) { g_cap.store(static_cast<int>(level), std::memory_order_relaxed); }

}  // namespace kensaku
