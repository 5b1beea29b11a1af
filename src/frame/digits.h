// Digits of an unsigned number, the one number writer of the library: line numbers, the
// formatter's conversions and the message-box captions all come through it.
#ifndef KENSAKU_SRC_FRAME_DIGITS_H_
#define KENSAKU_SRC_FRAME_DIGITS_H_

#include <cstddef>
#include <cstdint>

namespace kensaku {

inline constexpr std::size_t kMaxDigits = 20;  // of a 64-bit value in base 10

// Writes the digits of value in base 10 or 16 (lower or upper case), most significant first, with
// no terminator; returns how many were written (at most kMaxDigits).
inline std::size_t WriteDigits(char* out, std::uint64_t value, unsigned base, bool upper = false) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[kMaxDigits];
  std::size_t n = 0;
  do {
    reversed[n++] = digits[value % base];
    value /= base;
  } while (value != 0);
  for (std::size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_DIGITS_H_
