#include "search/line_count.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <bit>
#include <cstring>

#include "frame/bits.h"
#include "frame/cpu.h"
#include "frame/find_byte.h"
#include "search/streams.h"

namespace kensaku {
namespace {

// Bit k set when text[16 * part + k] is a LF, for 16 bytes.
inline unsigned LfMask16Sse2(const char* text, int part) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
}

// Bit k set when text[k] is a LF, for 64 bytes.
inline std::uint64_t LfMask64Sse2(const char* text) {
  std::uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    mask |= static_cast<std::uint64_t>(LfMask16Sse2(text, k)) << (16 * k);
  }
  return mask;
}

__attribute__((target("avx2"))) inline std::uint64_t LfMask64Avx2(const char* text) {
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + 32));
  const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, lf)));
  const auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, lf)));
  return static_cast<std::uint64_t>(hi) << 32 | lo;
}

// Inlined into each caller, which brings the instructions its masks are made of.
template <std::uint64_t (*Mask)(const char*)>
__attribute__((always_inline)) inline LineCount Count(const char* text, std::size_t n,
                                                      std::size_t cut) {
  LineCount c;
  std::size_t i = 0;
  // The LFs of the block at i.
  auto add = [&c, cut](std::size_t at, std::uint64_t m) {
    if (m == 0) return;
    // Only the line ending at the block's first LF can be long enough to be cut.
    const std::size_t first = at + static_cast<std::size_t>(CountrZero(m));
    const std::size_t gap = first - c.bytes;
    if (cut != 0 && gap >= cut) c.lines += gap / cut;
    c.lines += static_cast<unsigned>(Popcount(m));
    c.bytes = at + 64 - static_cast<std::size_t>(CountlZero(m));
  };
  for (; i + 64 <= n; i += 64) add(i, Mask(text + i));
  if (i == n) return c;
  // The last bytes as one block of a copy padded with zeros, which holds no LF.
  char tail[64] = {};
  std::memcpy(tail, text + i, n - i);
  add(i, Mask(tail));
  return c;
}

__attribute__((target("avx2,popcnt,lzcnt,bmi"))) LineCount CountAvx2(const char* text,
                                                                     std::size_t n,
                                                                     std::size_t cut) {
  return Count<LfMask64Avx2>(text, n, cut);
}

// The bytes before n, 32 at a time from the end; the first few as a block of the readable
// bytes, past n masked off.
template <unsigned (*Mask32)(const char*)>
__attribute__((always_inline)) inline std::size_t StartBefore(const char* text, std::size_t n,
                                                              std::size_t readable) {
  for (; n >= 32; n -= 32) {
    const unsigned m = Mask32(text + n - 32);
    if (m != 0) return n - static_cast<std::size_t>(CountlZero(m));
  }
  if (n > 0 && readable >= 32) {
    const unsigned m = Mask32(text) & ((1u << n) - 1);
    return m != 0 ? 32 - static_cast<std::size_t>(CountlZero(m)) : 0;
  }
  while (n > 0 && text[n - 1] != '\n') --n;
  return n;
}

inline unsigned LfMask32Sse2(const char* text) {
  return static_cast<unsigned>(LfMask16Sse2(text, 0) | LfMask16Sse2(text, 1) << 16);
}

__attribute__((target("avx2"))) inline unsigned LfMask32Avx2(const char* text) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
}

__attribute__((target("avx2,lzcnt"))) std::size_t StartBeforeAvx2(const char* text, std::size_t n,
                                                                  std::size_t readable) {
  return StartBefore<LfMask32Avx2>(text, n, readable);
}

// Bit k set when text[k] is a LF or a NUL, for 32 bytes.
inline unsigned EndMask32Sse2(const char* text) {
  unsigned m = 0;
  for (int part = 0; part < 2; ++part) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
    const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')),
                                      _mm_cmpeq_epi8(v, _mm_setzero_si128()));
    m |= static_cast<unsigned>(_mm_movemask_epi8(ends)) << (16 * part);
  }
  return m;
}

template <unsigned (*Mask32)(const char*)>
__attribute__((always_inline)) inline LineEnd EndOfLine(const char* text, std::size_t n) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const unsigned m = Mask32(text + i);
    if (m != 0) {
      i += static_cast<std::size_t>(CountrZero(m));
      break;
    }
  }
  while (i < n && text[i] != '\n' && text[i] != '\0') ++i;
  if (i == n || text[i] == '\n') return {i, i};
  // A NUL first, which is rare: the LF after it the plain way.
  const char* lf = FindByte(text + i, '\n', n - i);
  return {lf != nullptr ? static_cast<std::size_t>(lf - text) : n, i};
}

__attribute__((target("avx2"))) inline unsigned EndMask32Avx2(const char* text) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i ends = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n')),
                                       _mm256_cmpeq_epi8(v, _mm256_setzero_si256()));
  return static_cast<unsigned>(_mm256_movemask_epi8(ends));
}

__attribute__((target("avx2,bmi"))) LineEnd EndOfLineAvx2(const char* text, std::size_t n) {
  return EndOfLine<EndMask32Avx2>(text, n);
}

}  // namespace

LineEnd FindLineEnd(const char* text, std::size_t n) {
  if (Simd() == SimdLevel::kAvx2) return EndOfLineAvx2(text, n);
  return EndOfLine<EndMask32Sse2>(text, n);
}

std::size_t LineStartBefore(const char* text, std::size_t n, std::size_t readable) {
  if (Simd() == SimdLevel::kAvx2) return StartBeforeAvx2(text, n, readable);
  return StartBefore<LfMask32Sse2>(text, n, readable);
}

LineCount CountLines(const char* text, std::size_t n, std::size_t cut) {
  if (Simd() == SimdLevel::kAvx2) return CountAvx2(text, n, cut);
  return Count<LfMask64Sse2>(text, n, cut);
}

}  // namespace kensaku
