#include "frame/find_byte.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <bit>
#include <cstdint>

#include "frame/cpu.h"

namespace kensaku {
namespace {

const char* Bytewise(const char* text, char c, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == c) return text + i;
  }
  return nullptr;
}

// Four blocks of 16 are looked at before any branch: a long run without c costs one test per
// 64 bytes.
const char* Sse2(const char* text, char c, std::size_t n) {
  if (n < 16) return Bytewise(text, c, n);
  const __m128i v = _mm_set1_epi8(c);
  auto mask = [&](std::size_t i) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, v)));
  };
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m128i* p = reinterpret_cast<const __m128i*>(text + i);
    const __m128i any = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p), v), _mm_cmpeq_epi8(_mm_loadu_si128(p + 1), v)),
        _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p + 2), v),
                     _mm_cmpeq_epi8(_mm_loadu_si128(p + 3), v)));
    if (_mm_movemask_epi8(any) != 0) break;
  }
  // The block holding the first c, or the last blocks; the final one overlaps those before it.
  for (;; i += 16) {
    if (i + 16 > n) i = n - 16;
    if (const unsigned m = mask(i)) return text + i + std::countr_zero(m);
    if (i + 16 == n) return nullptr;
  }
}

__attribute__((target("avx2"))) const char* Avx2(const char* text, char c, std::size_t n) {
  if (n < 32) return Sse2(text, c, n);
  const __m256i v = _mm256_set1_epi8(c);
  std::size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    const __m256i* p = reinterpret_cast<const __m256i*>(text + i);
    const __m256i any =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(p), v),
                                        _mm256_cmpeq_epi8(_mm256_loadu_si256(p + 1), v)),
                        _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(p + 2), v),
                                        _mm256_cmpeq_epi8(_mm256_loadu_si256(p + 3), v)));
    if (_mm256_movemask_epi8(any) != 0) break;
  }
  for (;; i += 32) {
    if (i + 32 > n) i = n - 32;
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
    if (const auto m = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, v)))) {
      return text + i + std::countr_zero(m);
    }
    if (i + 32 == n) return nullptr;
  }
}

// Not looked at by the sanitizers: the aligned blocks may begin before the text and end
// past its NUL, within the same page.
__attribute__((no_sanitize("address", "thread"))) const char* EndSse2(const char* text, char c) {
  const __m128i v = _mm_set1_epi8(c);
  const __m128i nul = _mm_setzero_si128();
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const char* block = text - (at & 15);
  unsigned before = static_cast<unsigned>(at & 15);
  for (;; block += 16, before = 0) {
    const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(b, v), _mm_cmpeq_epi8(b, nul));
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(ends)) >> before << before;
    if (m != 0) return block + std::countr_zero(m);
  }
}

__attribute__((target("avx2"), no_sanitize("address", "thread"))) const char* EndAvx2(
    const char* text, char c) {
  const __m256i v = _mm256_set1_epi8(c);
  const __m256i nul = _mm256_setzero_si256();
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const char* block = text - (at & 31);
  unsigned before = static_cast<unsigned>(at & 31);
  for (;; block += 32, before = 0) {
    const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i ends = _mm256_or_si256(_mm256_cmpeq_epi8(b, v), _mm256_cmpeq_epi8(b, nul));
    const unsigned m = static_cast<unsigned>(_mm256_movemask_epi8(ends)) >> before << before;
    if (m != 0) return block + std::countr_zero(m);
  }
}

}  // namespace

const char* FindByteOrEnd(const char* text, char c) {
  if (Simd() == SimdLevel::kAvx2) return EndAvx2(text, c);
  return EndSse2(text, c);
}

const char* FindByte(const char* text, char c, std::size_t n) {
  if (Simd() == SimdLevel::kAvx2) return Avx2(text, c, n);
  return Sse2(text, c, n);
}

}  // namespace kensaku
