// std::countr_zero, std::countl_zero and std::popcount, but inline for 64-bit words in a 32-bit
// build too, where the standard ones call the compiler's runtime (__ctzdi2 and the like) for
// every mask a search loop walks: there each is made of two 32-bit ones.
#ifndef KENSAKU_SRC_FRAME_BITS_H_
#define KENSAKU_SRC_FRAME_BITS_H_

#include <bit>
#include <cstdint>

namespace kensaku {

template <typename T>
inline int CountrZero(T x) {
  if constexpr (sizeof(T) == 8 && sizeof(void*) == 4) {
    const auto lo = static_cast<std::uint32_t>(x);
    return lo != 0 ? std::countr_zero(lo) : 32 + std::countr_zero(static_cast<std::uint32_t>(x >> 32));
  } else {
    return std::countr_zero(x);
  }
}

template <typename T>
inline int CountlZero(T x) {
  if constexpr (sizeof(T) == 8 && sizeof(void*) == 4) {
    const auto hi = static_cast<std::uint32_t>(x >> 32);
    return hi != 0 ? std::countl_zero(hi) : 32 + std::countl_zero(static_cast<std::uint32_t>(x));
  } else {
    return std::countl_zero(x);
  }
}

template <typename T>
inline int Popcount(T x) {
  if constexpr (sizeof(T) == 8 && sizeof(void*) == 4) {
    return std::popcount(static_cast<std::uint32_t>(x)) +
           std::popcount(static_cast<std::uint32_t>(x >> 32));
  } else {
    return std::popcount(x);
  }
}

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_BITS_H_
