// Limits that several layers must agree on.
#ifndef KENSAKU_SRC_FRAME_LIMITS_H_
#define KENSAKU_SRC_FRAME_LIMITS_H_

#include <cstddef>

namespace kensaku {

// The longest line the searches test: the reader cuts a longer one after this many bytes, and
// each piece is a line of its own, decoded from its first byte.
inline constexpr std::size_t kMaxLineBytes = 4095;

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_LIMITS_H_
