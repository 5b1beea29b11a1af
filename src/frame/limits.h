// Limits that several layers must agree on.
#ifndef KENSAKU_SRC_FRAME_LIMITS_H_
#define KENSAKU_SRC_FRAME_LIMITS_H_

#include <cstddef>

namespace kensaku {

// The longest line the searches test: the reader cuts a longer one after this many bytes, and
// each piece is a line of its own, decoded from its first byte.
inline constexpr std::size_t kMaxLineBytes = 4095;

// The most entries of a pattern list, and of each group of entries a prefilter sweeps at once.
inline constexpr int kMaxPatterns = 60;

// The most output the in-memory searches keep; ResultBuffer holds it and a terminating NUL.
inline constexpr std::size_t kResultCapacity = 32766;

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_LIMITS_H_
