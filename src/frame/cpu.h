// The vector instructions the searches may use on this processor. SSE2 is always there (both
// targets assume it); the wider kinds are chosen at run time, so one build runs everywhere.
#ifndef KENSAKU_SRC_FRAME_CPU_H_
#define KENSAKU_SRC_FRAME_CPU_H_

namespace kensaku {

enum class SimdLevel { kSse2 = 0, kSsse3 = 1, kAvx2 = 2 };

// The widest kind usable here, within the cap.
SimdLevel Simd();

// Caps Simd() at `level`, so that each path can be run on a processor that has a wider one.
void CapSimd(SimdLevel level);

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_CPU_H_
