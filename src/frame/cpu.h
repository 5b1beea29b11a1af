// The vector instructions the searches may use on this processor. SSE2 is always there (both
// targets assume it); the wider kinds are chosen at run time, so one build runs everywhere.
#ifndef KENSAKU_SRC_FRAME_CPU_H_
#define KENSAKU_SRC_FRAME_CPU_H_

#include <atomic>

namespace kensaku {

enum class SimdLevel { kSse2 = 0, kSsse3 = 1, kAvx2 = 2 };

namespace detail {
// The widest kind usable here, within the cap: read at every dispatch, so kept inline.
extern std::atomic<int> g_simd;
}  // namespace detail

// The widest kind usable here, within the cap.
inline SimdLevel Simd() {
  return static_cast<SimdLevel>(detail::g_simd.load(std::memory_order_relaxed));
}

// Caps Simd() at `level`, so that each path can be run on a processor that has a wider one.
void CapSimd(SimdLevel level);

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_CPU_H_
