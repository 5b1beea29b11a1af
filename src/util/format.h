// Formatting integers by the wsprintfA rules, without ever calling the system with a caller's
// format: %d %i %u %x %X %c with the flags '-' and '0', a width, a precision and the 'l' prefix,
// and %%. Each conversion takes the next of the given integers; once they are used up, and for
// every other conversion (%s, %p, %#x, ...), the conversion is copied as it stands. Nothing is
// ever dereferenced. Like wsprintfA, at most size - 1 bytes are written, then a NUL.
#ifndef KENSAKU_SRC_UTIL_FORMAT_H_
#define KENSAKU_SRC_UTIL_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace kensaku {

inline constexpr std::size_t kFormatBufferSize = 1024;  // wsprintfA's limit

// Returns the number of bytes written before the NUL.
std::size_t FormatIntegers(char* out, std::size_t size, const char* format,
                           const std::int32_t* values, std::size_t count);

}  // namespace kensaku

#endif  // KENSAKU_SRC_UTIL_FORMAT_H_
