#include "search/line_matcher.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <variant>

#include "frame/bits.h"
#include "frame/cpu.h"
#include "frame/find_byte.h"
#include "match/scalar_row.h"
#include "mbchar/mbchar.h"
#include "search/line_count.h"

#ifdef KENSAKU_WITH_REGEX
#include <re2/re2.h>
#endif

namespace kensaku {

namespace {

// Whether a selector (EF B8, F3) or, with `marks`, a combining voicing mark (E3 82 99-9A)
// begins at p[i].
inline bool PartingAt(const unsigned char* p, std::size_t i, std::size_t n, bool marks) {
  return p[i] == 0xF3 || (p[i] == 0xEF && i + 1 < n && p[i + 1] == 0xB8) ||
         (marks && p[i] == 0xE3 && i + 2 < n && p[i + 1] == 0x82 && p[i + 2] - 0x99u < 2);
}

// How far past a candidate the parting pass looks at once: lines with candidates may come one
// after another, and the stretch stays in the cache for the finders that read it next.
constexpr std::size_t kPartingAhead = 16 * 1024;

std::size_t FirstPartingTail(const unsigned char* p, std::size_t i, std::size_t n, bool marks) {
  while (i < n && !PartingAt(p, i, n, marks)) ++i;
  return i;
}

// The same, a block of places at a time: each place's byte and those after it compared, where
// `readable` bytes may be read. A voicing mark is told by its last two bytes (82 99-9A, which
// no other common character ends with) and checked whole; its lead byte (E3) begins most of
// Japanese text.
template <bool kMarks>
std::size_t FirstPartingSse2(const unsigned char* p, std::size_t n, std::size_t readable) {
  auto eq = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
  std::size_t i = 0;
  for (; i < n && i + 18 <= readable; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    __m128i any = _mm_or_si128(_mm_and_si128(eq(a, 0xEF), eq(b, 0xB8)), eq(a, 0xF3));
    if (kMarks) {
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 2));
      any = _mm_or_si128(any, _mm_and_si128(eq(b, 0x82), _mm_or_si128(eq(c, 0x99), eq(c, 0x9A))));
    }
    for (auto found = static_cast<unsigned>(_mm_movemask_epi8(any)); found != 0;
         found &= found - 1) {
      const std::size_t k = i + static_cast<std::size_t>(CountrZero(found));
      if (k >= n) return n;
      if (PartingAt(p, k, n, kMarks)) return k;
    }
  }
  return FirstPartingTail(p, std::min(i, n), n, kMarks);
}

__attribute__((target("avx2"))) inline __m256i Eq256(__m256i v, int b) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(b)));
}

// The first place of the 32 from k that begins a sequence, n at or past n, or SIZE_MAX.
template <bool kMarks>
__attribute__((target("avx2"), always_inline)) inline std::size_t PartingIn32(
    const unsigned char* p, std::size_t k, std::size_t n) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 1));
  __m256i any = _mm256_or_si256(_mm256_and_si256(Eq256(a, 0xEF), Eq256(b, 0xB8)), Eq256(a, 0xF3));
  if (kMarks) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 2));
    any = _mm256_or_si256(
        any, _mm256_and_si256(Eq256(b, 0x82), _mm256_or_si256(Eq256(c, 0x99), Eq256(c, 0x9A))));
  }
  for (auto found = static_cast<unsigned>(_mm256_movemask_epi8(any)); found != 0;
       found &= found - 1) {
    const std::size_t at = k + static_cast<std::size_t>(CountrZero(found));
    if (at >= n) return n;
    if (PartingAt(p, at, n, kMarks)) return at;
  }
  return SIZE_MAX;
}

template <bool kMarks>
__attribute__((target("avx2"))) std::size_t FirstPartingAvx2(const unsigned char* p, std::size_t n,
                                                             std::size_t readable) {
  std::size_t i = 0;
  if constexpr (!kMarks) {
    // Without marks the leads are EF and F3, both at or above EF, which few bytes of any text
    // are: the largest of 128 bytes tells, where one compare a lead would take twice the work.
    const __m256i below = _mm256_set1_epi8(static_cast<char>(0xEE));
    for (; i < n && i + 130 <= readable; i += 128) {
      const auto* q = reinterpret_cast<const __m256i*>(p + i);
      const __m256i top =
          _mm256_max_epu8(_mm256_max_epu8(_mm256_loadu_si256(q), _mm256_loadu_si256(q + 1)),
                          _mm256_max_epu8(_mm256_loadu_si256(q + 2), _mm256_loadu_si256(q + 3)));
      const __m256i over = _mm256_subs_epu8(top, below);
      if (_mm256_testz_si256(over, over)) continue;
      for (std::size_t k = i; k < i + 128; k += 32) {
        if (const std::size_t at = PartingIn32<kMarks>(p, k, n); at != SIZE_MAX) return at;
      }
    }
  }
  // Most blocks of text with few kana hold no lead byte of either kind: one compare of each
  // byte tells.
  for (; i < n && i + 66 <= readable; i += 64) {
    const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    __m256i leads = _mm256_or_si256(_mm256_or_si256(Eq256(a0, 0xEF), Eq256(a0, 0xF3)),
                                    _mm256_or_si256(Eq256(a1, 0xEF), Eq256(a1, 0xF3)));
    if (kMarks) leads = _mm256_or_si256(leads, _mm256_or_si256(Eq256(a0, 0xE3), Eq256(a1, 0xE3)));
    if (_mm256_movemask_epi8(leads) == 0) continue;
    for (std::size_t k = i; k < i + 64; k += 32) {
      if (const std::size_t at = PartingIn32<kMarks>(p, k, n); at != SIZE_MAX) return at;
    }
  }
  for (; i < n && i + 34 <= readable; i += 32) {
    if (const std::size_t at = PartingIn32<kMarks>(p, i, n); at != SIZE_MAX) return at;
  }
  return FirstPartingTail(p, std::min(i, n), n, kMarks);
}

}  // namespace

std::size_t FirstParting(const char* text, std::size_t n, std::size_t readable, bool marks) {
  // Every window of a UTF-8 search as read is looked at: one pass, a block at a time.
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (Simd() == SimdLevel::kAvx2) {
    return marks ? FirstPartingAvx2<true>(p, n, readable) : FirstPartingAvx2<false>(p, n, readable);
  }
  return marks ? FirstPartingSse2<true>(p, n, readable) : FirstPartingSse2<false>(p, n, readable);
}

bool IsWordChar(Code c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         (c >= 0x824F && c <= 0x8258) || (c >= 0x8260 && c <= 0x8279) ||
         (c >= 0x8281 && c <= 0x829A) || c == 0x8151;
}

namespace {

// Whether what begins at p[i] keeps UTF-8 text from reading as its scalars one by one: a NUL, a
// variation selector (EF B8, F3), a voicing mark (E3 82 99-9A, spacing 9B-9C, EF BE 9E-9F).
inline bool UnplainAt(const unsigned char* p, std::size_t i, std::size_t n, bool spacing) {
  const unsigned b = p[i];
  if (b == 0 || b == 0xF3) return true;
  if (i + 1 >= n || (b != 0xE3 && b != 0xEF)) return false;
  if (b == 0xEF && p[i + 1] == 0xB8) return true;
  if (i + 2 >= n) return false;
  if (b == 0xEF) return p[i + 1] == 0xBE && p[i + 2] - 0x9Eu < 2;
  return p[i + 1] == 0x82 && p[i + 2] - 0x99u < (spacing ? 4u : 2u);
}

__attribute__((target("avx2"))) inline __m256i In256(__m256i v, int lo, int hi) {
  const __m256i clamped = _mm256_min_epu8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(lo))),
                                          _mm256_set1_epi8(static_cast<char>(hi)));
  return _mm256_cmpeq_epi8(clamped, v);
}

// The first such place in text[0, n), or n; sixteen places at a time. The last block overlaps
// the one before (looked at twice, harmlessly): many texts are a line or two long, and a byte
// at a time their tails cost more than the blocks.
std::size_t FirstUnplainSse2(const unsigned char* p, std::size_t n, bool spacing) {
  auto eq = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
  auto in = [](__m128i v, int lo, int hi) {
    const __m128i clamped = _mm_min_epu8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(lo))),
                                         _mm_set1_epi8(static_cast<char>(hi)));
    return _mm_cmpeq_epi8(clamped, v);
  };
  auto block = [&](std::size_t k) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 2));
    const __m128i ef = eq(a, 0xEF);
    const __m128i any = _mm_or_si128(
        _mm_or_si128(eq(a, 0), eq(a, 0xF3)),
        _mm_or_si128(
            _mm_and_si128(_mm_and_si128(eq(a, 0xE3), eq(b, 0x82)), in(c, 0x99, spacing ? 0x9C : 0x9A)),
            _mm_and_si128(ef, _mm_or_si128(eq(b, 0xB8), _mm_and_si128(eq(b, 0xBE), in(c, 0x9E, 0x9F))))));
    return static_cast<unsigned>(_mm_movemask_epi8(any));
  };
  std::size_t k = 0;
  for (; k + 18 <= n; k += 16) {
    if (const unsigned found = block(k); found != 0) return k + CountrZero(found);
  }
  if (n >= 18 && k + 2 < n) {
    if (const unsigned found = block(n - 18); found != 0) return n - 18 + CountrZero(found);
    k = n - 2;
  }
  for (; k < n; ++k) {
    if (UnplainAt(p, k, n, spacing)) return k;
  }
  return n;
}

// The places among 32 from p[k] where such a sequence begins, as bits; p[k + 33] readable.
__attribute__((target("avx2"))) inline unsigned UnplainBlockAvx2(const unsigned char* p,
                                                                 std::size_t k, bool spacing) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 1));
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 2));
  const __m256i any = _mm256_or_si256(
      _mm256_or_si256(Eq256(a, 0), Eq256(a, 0xF3)),
      _mm256_or_si256(_mm256_and_si256(_mm256_and_si256(Eq256(a, 0xE3), Eq256(b, 0x82)),
                                       In256(c, 0x99, spacing ? 0x9C : 0x9A)),
                      _mm256_and_si256(Eq256(a, 0xEF),
                                       _mm256_or_si256(Eq256(b, 0xB8),
                                                       _mm256_and_si256(Eq256(b, 0xBE),
                                                                        In256(c, 0x9E, 0x9F))))));
  return static_cast<unsigned>(_mm256_movemask_epi8(any));
}

// The same, 32 places at a time.
__attribute__((target("avx2"))) std::size_t FirstUnplainAvx2(const unsigned char* p, std::size_t n,
                                                             bool spacing) {
  if (n < 34) return FirstUnplainSse2(p, n, spacing);
  std::size_t k = 0;
  for (; k + 34 <= n; k += 32) {
    if (const unsigned found = UnplainBlockAvx2(p, k, spacing); found != 0)
      return k + CountrZero(found);
  }
  if (k + 2 < n) {
    if (const unsigned found = UnplainBlockAvx2(p, n - 34, spacing); found != 0)
      return n - 34 + CountrZero(found);
    k = n - 2;
  }
  for (; k < n; ++k) {
    if (UnplainAt(p, k, n, spacing)) return k;
  }
  return n;
}

std::size_t FirstUnplain(const char* text, std::size_t n, bool spacing) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  return Simd() == SimdLevel::kAvx2 ? FirstUnplainAvx2(p, n, spacing)
                                    : FirstUnplainSse2(p, n, spacing);
}

// Whether p[i] begins a character of code page 932 text that begins at p[0] (or at a line):
// the lead bytes just before it pair off.
inline bool StartsCp932Char(const unsigned char* p, std::size_t i) {
  std::size_t leads = 0;
  while (leads < i && IsLeadByte(p[i - leads - 1])) ++leads;
  return leads % 2 == 0;
}

}  // namespace

std::size_t FirstLoneEf(const char* text, std::size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  // The lead bytes before a byte pair off where it begins a character; past this many in a row
  // the answer is yes, which only hands a line to the regex, always right.
  constexpr std::size_t kMostLeads = 64;
  for (std::size_t i = 0; i < n; ++i) {
    const char* ef = FindByte(text + i, '\xEF', n - i);
    if (ef == nullptr) return n;
    i = static_cast<std::size_t>(ef - text);
    std::size_t leads = 0;
    while (leads < i && leads < kMostLeads && IsLeadByte(p[i - leads - 1])) ++leads;
    if (leads == kMostLeads || leads % 2 == 0) return i;
    // A trail byte (具 is 8B EF): on after it.
  }
  return n;
}

namespace {

// Whether byte p[i] of code page 932 text may keep it from reading as its codes one by one
// (Regex::cp932_program), at a quick look: a NUL, byte 0xEF, a half-width voicing mark after a
// half-width kana (after anything under the width fold, with the spacing marks), or a lead
// byte whose next byte is no trail (or is not there). A trail byte may look like any of these.
inline bool MayBeUnplainCp932(const unsigned char* p, std::size_t i, std::size_t n, bool spacing) {
  const unsigned b = p[i];
  if (b == 0 || b == 0xEF) return true;
  if ((b & 0xFE) == 0xDE) return i > 0 && (spacing || p[i - 1] - 0xA6u <= 0xDD - 0xA6);
  if (!IsLeadByte(b)) return false;
  if (i + 1 >= n || !IsTrailByte(p[i + 1])) return true;
  return spacing && b == 0x81 && p[i + 1] - 0x4Au < 2;
}

// Whether it does: such a byte that begins a character (a NUL always ends the text matched).
inline bool UnplainCp932At(const unsigned char* p, std::size_t i, std::size_t n, bool spacing) {
  return MayBeUnplainCp932(p, i, n, spacing) && (p[i] == 0 || StartsCp932Char(p, i));
}

// The places among 16 from p[k] that may be such, as bits; p[k - 1] and p[k + 16] readable.
inline unsigned MayBeUnplainCp932Block(const unsigned char* p, std::size_t k, bool spacing) {
  auto eq = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
  auto in = [](__m128i v, int lo, int hi) {
    const __m128i clamped = _mm_min_epu8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(lo))),
                                         _mm_set1_epi8(static_cast<char>(hi)));
    return _mm_cmpeq_epi8(clamped, v);
  };
  const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k - 1));
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 1));
  const __m128i lead = _mm_or_si128(in(a, 0x81, 0x9F), in(a, 0xE0, 0xFC));
  const __m128i trail =
      _mm_andnot_si128(eq(next, 0x7F), _mm_or_si128(in(next, 0x40, 0x7E), in(next, 0x80, 0xFC)));
  __m128i mark = eq(_mm_and_si128(a, _mm_set1_epi8(static_cast<char>(0xFE))), 0xDE);
  if (!spacing) mark = _mm_and_si128(mark, in(before, 0xA6, 0xDD));
  __m128i any = _mm_or_si128(_mm_or_si128(eq(a, 0), eq(a, 0xEF)),
                             _mm_or_si128(mark, _mm_andnot_si128(trail, lead)));
  if (spacing) any = _mm_or_si128(any, _mm_and_si128(eq(a, 0x81), in(next, 0x4A, 0x4B)));
  return static_cast<unsigned>(_mm_movemask_epi8(any));
}

// The same, 32 places at a time; p[k - 1] and p[k + 32] readable.
__attribute__((target("avx2"))) inline unsigned MayBeUnplainCp932BlockAvx2(const unsigned char* p,
                                                                           std::size_t k,
                                                                           bool spacing) {
  const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k - 1));
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
  const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 1));
  const __m256i lead = _mm256_or_si256(In256(a, 0x81, 0x9F), In256(a, 0xE0, 0xFC));
  const __m256i trail = _mm256_andnot_si256(
      Eq256(next, 0x7F), _mm256_or_si256(In256(next, 0x40, 0x7E), In256(next, 0x80, 0xFC)));
  __m256i mark = Eq256(_mm256_and_si256(a, _mm256_set1_epi8(static_cast<char>(0xFE))), 0xDE);
  if (!spacing) mark = _mm256_and_si256(mark, In256(before, 0xA6, 0xDD));
  __m256i any = _mm256_or_si256(_mm256_or_si256(Eq256(a, 0), Eq256(a, 0xEF)),
                                _mm256_or_si256(mark, _mm256_andnot_si256(trail, lead)));
  if (spacing)
    any = _mm256_or_si256(any, _mm256_and_si256(Eq256(a, 0x81), In256(next, 0x4A, 0x4B)));
  return static_cast<unsigned>(_mm256_movemask_epi8(any));
}

// The first such place in text[0, n), or n. The last block overlaps the one before (its
// places looked at twice, harmlessly): lines are short, and their tails would cost more.
template <std::size_t kWidth, unsigned (*kBlock)(const unsigned char*, std::size_t, bool)>
std::size_t FirstUnplainCp932With(const unsigned char* p, std::size_t n, bool spacing) {
  auto first_of = [&](std::size_t k, unsigned found) {
    for (; found != 0; found &= found - 1) {
      const std::size_t i = k + CountrZero(found);
      if (p[i] == 0 || StartsCp932Char(p, i)) return i;
    }
    return n;
  };
  std::size_t k = 0;
  if (n >= kWidth + 2) {
    if (UnplainCp932At(p, 0, n, spacing)) return 0;
    for (k = 1; k + kWidth + 1 <= n; k += kWidth) {
      if (const std::size_t i = first_of(k, kBlock(p, k, spacing)); i < n) return i;
    }
    if (k + 1 < n) {
      const std::size_t last = n - kWidth - 1;
      if (const std::size_t i = first_of(last, kBlock(p, last, spacing)); i < n) return i;
    }
    k = n - 1;
  }
  for (; k < n; ++k) {
    if (UnplainCp932At(p, k, n, spacing)) return k;
  }
  return n;
}

__attribute__((target("avx2"))) std::size_t FirstUnplainCp932Avx2(const unsigned char* p,
                                                                  std::size_t n, bool spacing) {
  if (n < 34) return FirstUnplainCp932With<16, MayBeUnplainCp932Block>(p, n, spacing);
  return FirstUnplainCp932With<32, MayBeUnplainCp932BlockAvx2>(p, n, spacing);
}

std::size_t FirstUnplainCp932(const unsigned char* p, std::size_t n, bool spacing) {
  return Simd() == SimdLevel::kAvx2
             ? FirstUnplainCp932Avx2(p, n, spacing)
             : FirstUnplainCp932With<16, MayBeUnplainCp932Block>(p, n, spacing);
}

}  // namespace

bool PlainUtf8(const char* line, std::size_t length, bool spacing) {
  return FirstUnplain(line, length, spacing) == length;
}

bool PlainCp932(const char* line, std::size_t length, bool spacing) {
  return FirstUnplainCp932(reinterpret_cast<const unsigned char*>(line), length, spacing) == length;
}

std::size_t LineCursors::FirstUnplainIn(const char* text, std::size_t n, bool spacing) const {
  return encoding_ == Encoding::kUtf8
             ? FirstUnplain(text, n, spacing)
             : FirstUnplainCp932(reinterpret_cast<const unsigned char*>(text), n, spacing);
}

void LineCursors::Reset(Encoding e) {
  if (e != encoding_) {
    Make(e);
  } else {
    for (auto& cursor : cursors_) {
      if (cursor != nullptr) cursor->Reset();
    }
  }
  retry_at_ = 0;
  selector_clear_to_ = 0;
  hit_ = false;
  searched_from_ = searched_to_ = 0;
  after_hit_ = 0;
  dense_ = false;
}

void LineCursors::Make(Encoding e) {
  encoding_ = e;
  direct_ = e == Encoding::kUtf8 || (e == Encoding::kCp932 && query_.direct_finds_cp932())
                ? query_.direct()
                : nullptr;
  row_ = direct_ != nullptr ? query_.direct_row() : nullptr;
  exact_ = e == Encoding::kUtf8;
  if (e == Encoding::kCp932 && direct_ == nullptr) {
    direct_ = query_.direct_cp932();
    exact_ = direct_ != nullptr;
  }
  cursors_.clear();
  active_ = !query_.groups().empty();
  for (const auto& group : query_.groups()) {
    const Prefilter* prefilter = group->prefilter(e);
    cursors_.push_back(prefilter != nullptr ? prefilter->NewCursor() : nullptr);
    active_ = active_ && prefilter != nullptr;
  }
}

#ifndef KENSAKU_WITH_REGEX
// No query has a direct program in a build without RE2.
std::size_t LineCursors::FindDirect(InputFile&) { return 0; }
#else
bool LineCursors::DirectMatch(const char* text, std::size_t n, std::size_t from, std::size_t to,
                              std::size_t* found_start, std::size_t* found_end) const {
  if (row_ != nullptr) return row_->Find(text, from, to, found_start, found_end);
  re2::StringPiece found;
  const bool wanted = found_start != nullptr;
  if (!direct_->Match(re2::StringPiece(text, n), from, to, RE2::UNANCHORED,
                      wanted ? &found : nullptr, wanted ? 1 : 0)) {
    return false;
  }
  if (wanted) {
    *found_start = static_cast<std::size_t>(found.data() - text);
    *found_end = *found_start + found.size();
  }
  return true;
}

std::size_t LineCursors::FindDirect(InputFile& in) {
  if (in.position() < retry_at_) return 0;
  const std::uint64_t at = in.position();
  const auto [text, n] = in.Window();
  const bool spacing = ReadingOf(query_.fold_flags()).spacing;
  // In code page 932 text an ASCII program's matches are candidates only, tried by the matcher;
  // selectors and combining marks are no characters there.
  const bool utf8 = encoding_ == Encoding::kUtf8;
  auto plain = [&](const char* line, std::size_t length) {
    return !exact_ || FirstUnplainIn(line, length, spacing) == length;
  };
  if (active_ && query_.direct_after_literals()) {
    // The byte finders find the lines that may match; the program reads each whole one found,
    // and passes over those it does not match.
    hit_ = false;
    std::size_t from = 0;
    for (;;) {
      std::size_t first = n - from;
      for (auto& cursor : cursors_) {
        first = std::min(first, cursor->FirstCandidate(text + from, n - from, at + from));
      }
      // A selector, or a combining mark, may part a literal's bytes: its line is read as read
      // (the finders know the other marks' forms, as for literal searches). Looked for a
      // stretch ahead at once, and known clear up to there.
      first = utf8 ? PartedBefore(text, n, at, from, from + first) : from + first;
      const std::size_t start = LineStartBefore(text, first, n);
      if (first >= n) {
        if (start == 0 || first < n) retry_at_ = at + n;
        return start;
      }
      const char* lf = static_cast<const char*>(std::memchr(text + first, '\n', n - first));
      if (lf == nullptr) {
        retry_at_ = at + first + 1;
        return start;  // the line goes on past the window: read it whole
      }
      const auto end = static_cast<std::size_t>(lf - text);
      const bool as_read = plain(text + start, end - start);
      // Whether it matches is all a line needs: its place is the line.
      const bool match = as_read && DirectMatch(text, n, start, end);
      if (!as_read || match) {
        if (match) {
          hit_ = true;
          hit_plain_ = true;
          hit_start_ = at + start;
          hit_end_ = at + end;
        }
        retry_at_ = at + first + 1;
        return start;
      }
      from = end + 1;
    }
  }
  // The line after a match is tried alone: where matches are dense, asking whether one line
  // matches costs less than finding where the next match is (a second, backward pass).
  if (hit_ && dense_ && at == after_hit_) {
    if (const void* lf = std::memchr(text, '\n', n)) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(lf) - text);
      if (plain(text, end)) {
        if (!DirectMatch(text, n, 0, end)) {
          dense_ = false;
          return end + 1;
        }
        hit_plain_ = true;
        hit_start_ = hit_end_ = at;
        after_hit_ = at + end + 1;
        return 0;
      }
    }
  }
  // The last search's answer holds while its match, or the end of what it saw, is ahead.
  const bool known = at >= searched_from_ && (hit_ ? at <= hit_start_ : at + n <= searched_to_);
  std::size_t match = n;
  std::size_t hit_line_end = 0;  // of a match found now
  if (known) {
    if (hit_) match = static_cast<std::size_t>(hit_start_ - at);
  } else {
    hit_ = false;
    searched_from_ = at;
    searched_to_ = at + n;
    std::size_t end = 0;
    if (DirectMatch(text, n, 0, n, &match, &end)) {
      // A match tells only in a line that ends in the window: it may go on past it.
      if (const void* lf = std::memchr(text + end, '\n', n - end)) {
        hit_line_end = static_cast<std::size_t>(static_cast<const char*>(lf) - text);
        // Two matches in lines one after the other: matches are dense here.
        dense_ = at + LineStartBefore(text, match, n) == after_hit_;
        after_hit_ = at + hit_line_end + 1;
        hit_ = true;
        hit_plain_ = false;
        hit_start_ = at + match;
        hit_end_ = at + end;
      } else {
        searched_to_ = at + match;
      }
    }
  }
  // A line with a selector, a voicing mark or a NUL is read as read, whatever the program says.
  // (A mark or selector cut off at the window's end is in a line that goes on past it.)
  // Looked for through the match's line too: a plain one is selected without another look.
  std::size_t first = match;
  if (exact_) {
    first = FirstUnplainIn(text, hit_line_end > match ? hit_line_end : match, spacing);
    hit_plain_ = hit_plain_ || (hit_line_end > match && first >= hit_line_end);
    first = std::min(first, match);
  }
  const std::size_t whole = LineStartBefore(text, first, n);
  if (whole == 0 || first < n) retry_at_ = at + (first < n ? first + 1 : n);
  return whole;
}

#endif

std::size_t LineCursors::PartedBefore(const char* text, std::size_t n, std::uint64_t at,
                                      std::size_t from, std::size_t first) {
  const std::size_t clear = std::max(
      from, selector_clear_to_ > at ? static_cast<std::size_t>(selector_clear_to_ - at) : 0);
  if (clear >= first) return first;
  // Looked for a stretch ahead at once: candidates may come every line.
  const std::size_t limit = std::min(n, std::max(first, clear + kPartingAhead));
  const std::size_t found =
      clear + FirstParting(text + clear, limit - clear, n - clear, query_.joins());
  // A sequence at the end of what was looked at may be cut off from the rest.
  selector_clear_to_ = at + (found < limit ? found : (limit > 3 ? limit - 3 : 0));
  return std::min(first, found);
}

std::size_t LineCursors::Look(InputFile& in) {
  if (direct_ != nullptr) return FindDirect(in);
  const std::uint64_t at = in.position();
  const auto [text, n] = in.Window();
  std::size_t first = n;
  for (auto& cursor : cursors_) first = std::min(first, cursor->FirstCandidate(text, n, at));
  // A variation selector inside a match, or a kana written with a combining mark, parts the
  // bytes the prefilters look for: such lines are read in full.
  if (selectors_ && encoding_ == Encoding::kUtf8 && first > 0) {
    first = PartedBefore(text, n, at, 0, first);
  }
  // A line with byte 0xEF is the regex's to read (Query::from_regex), whatever the prefilters
  // of its pattern-language form take that byte and the next for.
  if (query_.from_regex() && encoding_ == Encoding::kCp932 && first > 0) {
    first = FirstLoneEf(text, first);
  }
  const std::size_t whole = LineStartBefore(text, first, n);
  // The line that holds the place found is read next: look again after the place, not at every
  // piece of a long line.
  if (whole == 0 || first < n) retry_at_ = at + (first < n ? first + 1 : n);
  return whole;
}

// The entries of one kind, tried on a line in the order most likely to decide it soon.
class LineMatcher::Engine {
 public:
  virtual ~Engine() = default;
  // A code page 932 line, or a decoded one without the stream's places (cursors null).
  virtual bool Hits(const char* text, std::size_t n, const MatchLine& line,
                    const LineCursors* cursors, MatchSpan& span) const = 0;
  // A line in the internal form, the prefilter's places being those of its own bytes.
  virtual bool HitsDecoded(const char* text, std::size_t n, const MatchLine& line,
                           const LineCursors* cursors, MatchSpan& span) const = 0;
};

template <typename Entry>
class LineMatcher::EngineOf final : public Engine {
 public:
  explicit EngineOf(const Query& query) {
    for (const auto& group : query.groups()) {
      groups_.push_back(&std::get<std::vector<Entry>>(group->entries()));
    }
  }

  bool Hits(const char* text, std::size_t n, const MatchLine& line, const LineCursors* cursors,
            MatchSpan& span) const override {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      const std::vector<Entry>& entries = *groups_[g];
      const Prefilter::Cursor* cursor = CursorOf(cursors, g, line);
      if (cursor == nullptr) {
        for (const Entry& entry : entries) {
          if (Hit(entry, text, n, EntryHint{}, span)) return true;
        }
        continue;
      }
      // The entries the prefilter found first in the line most often decide it.
      const FirstPlace at = cursor->AtFirst(line.at, line.length);
      for (std::uint64_t first = at.entries; first != 0; first &= first - 1) {
        if (Hit(entries[static_cast<std::size_t>(CountrZero(first))], text, n, at.hint, span)) {
          return true;
        }
      }
      // An entry without its bytes in the line hits nothing there.
      const LineBytes bytes = cursor->InLine(line.line, line.length, line.at);
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((at.entries >> i & 1) != 0) continue;
        const EntryHint hint = bytes.Of(i);
        if (hint.presence == Presence::kAbsent) continue;
        if (Hit(entries[i], text, n, hint, span)) return true;
      }
    }
    return false;
  }

  // The prefilter's places are not the entries' places here: they still tell which entries to
  // try first, and which cannot hit.
  bool HitsDecoded(const char* text, std::size_t n, const MatchLine& line,
                   const LineCursors* cursors, MatchSpan& span) const override {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      const std::vector<Entry>& entries = *groups_[g];
      const Prefilter::Cursor* cursor = CursorOf(cursors, g, line);
      std::uint64_t first = 0;
      LineBytes bytes;
      if (cursor != nullptr) {
        first = cursor->AtFirst(line.at, line.length).entries;
        for (std::uint64_t e = first; e != 0; e &= e - 1) {
          if (Hit(entries[static_cast<std::size_t>(CountrZero(e))], text, n, EntryHint{}, span)) {
            return true;
          }
        }
        bytes = cursor->InLine(line.line, line.length, line.at);
      }
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((first >> i & 1) != 0 || bytes.Of(i).presence == Presence::kAbsent) continue;
        if (Hit(entries[i], text, n, EntryHint{}, span)) return true;
      }
    }
    return false;
  }

 private:
  static const Prefilter::Cursor* CursorOf(const LineCursors* cursors, std::size_t group,
                                           const MatchLine& line) {
    return cursors != nullptr && line.at != MatchLine::kAlone ? cursors->cursor(group) : nullptr;
  }

  static bool Hit(const Entry& entry, const char* text, std::size_t n, EntryHint hint,
                  MatchSpan& span) {
    bool hit = false;
    entry.Test(
        text, n, true, span, [&](const MatchSpan&) { hit = true; }, hint);
    return hit;
  }

  std::vector<const std::vector<Entry>*> groups_;
};

LineMatcher::LineMatcher(const Query& sjis, const Query& decoded, Bound bound)
    : sjis_(sjis),
      decoded_query_(decoded),
      bound_(bound),
      reading_(ReadingOf(decoded.fold_flags())),
      query_(&sjis) {
  Start(Encoding::kCp932);
}

LineMatcher::~LineMatcher() = default;

void LineMatcher::Start(Encoding e) {
  const Query* query = e == Encoding::kCp932 ? &sjis_ : &decoded_query_;
  if (engine_ == nullptr || query != query_) {
    query_ = query;
    switch (query->kind()) {
      case SearchKind::kMatchs:
        engine_ = std::make_unique<EngineOf<LineConjunctive>>(*query);
        break;
      case SearchKind::kInc:
        engine_ = std::make_unique<EngineOf<LineInclusion>>(*query);
        break;
      case SearchKind::kMatch:
        engine_ = std::make_unique<EngineOf<LinePattern>>(*query);
        break;
      case SearchKind::kRegex:
        engine_ = std::make_unique<EngineOf<LineRegex>>(*query);
        break;
    }
    cursors_ = std::make_unique<LineCursors>(*query);
    regex_engine_.reset();
    if (query->from_regex() && &decoded_query_ != query &&
        decoded_query_.kind() == SearchKind::kRegex) {
      regex_engine_ = std::make_unique<EngineOf<LineRegex>>(decoded_query_);
    }
  }
  encoding_ = e;
  empty_may_hit_ = bound_ != Bound::kNone && (query_->empty_entry() || query_->start_entry());
  cursors_->Reset(e);
  told_.clear();
  tells_ = false;
  if (e != Encoding::kCp932) {
    for (const auto& group : query_->groups()) {
      told_.push_back(
          {group->CertainWhereFound(e), group->TellableWhereFound(e), &group->LiteralFormsIn(e)});
      tells_ = tells_ || (told_.back().certain | told_.back().tellable) != 0;
    }
  }
  last_ = MatchLine{};
  decoded_ = parts_found_ = joins_ = ef_line_ = false;
}

bool LineMatcher::Hits(const MatchLine& line) {
  last_ = line;
  decoded_ = parts_found_ = false;
  MatchSpan span;
  if (encoding_ == Encoding::kCp932) {
    ef_line_ =
        regex_engine_ != nullptr && FirstLoneEf(line.line, line.text_length) < line.text_length;
    if (ef_line_) {
      DecodeLast();
      return regex_engine_->HitsDecoded(internal_.text(), internal_.size(), line, nullptr, span);
    }
    // The direct program leaves the prefilters' cursors where they were: no hint of them.
    LineCursors* cursors = cursors_->direct() ? nullptr : cursors_.get();
    if (cursors_->direct_exact() && line.at != MatchLine::kAlone && DirectHit(line)) return true;
    joins_ = Joins(line);
    if (!joins_) return engine_->Hits(line.line, line.text_length, line, cursors, span);
    DecodeLast();
    return engine_->HitsDecoded(internal_.text(), internal_.size(), line, cursors, span);
  }
  // Where the direct program matched a line that reads as its scalars, the line is selected.
  if (cursors_->direct() && line.at != MatchLine::kAlone) {
    if (DirectHit(line)) {
      return true;
    }
    DecodeLast();
    return engine_->HitsDecoded(internal_.text(), internal_.size(), line, nullptr, span);
  }
  // An entry that is its bytes needs no decoding where they are found, unless a mark after
  // them joins their last kana.
  if (tells_ && line.at != MatchLine::kAlone &&
      !(reading_.as_read && query_->marks_touch() &&
        MayJoinEncoded(encoding_, line.line, line.text_length, reading_.spacing))) {
    for (std::size_t g = 0; g < told_.size(); ++g) {
      const Told& group = told_[g];
      const Prefilter::Cursor* cursor = cursors_->cursor(g);
      if ((group.certain | group.tellable) == 0 || cursor == nullptr) continue;
      // Bytes past a NUL are no part of the line matched.
      const FirstPlace at = cursor->AtFirst(line.at, line.length);
      if (at.hint.place >= line.text_length) continue;
      if ((at.entries & group.certain) != 0) return true;
      for (std::uint64_t e = at.entries & group.tellable; e != 0; e &= e - 1) {
        if (LiteralFormsAt((*group.forms)[static_cast<std::size_t>(CountrZero(e))],
                           line.line + at.hint.place, line.text_length - at.hint.place)) {
          return true;
        }
      }
    }
  }
  DecodeLast();
  // The prefilters' bytes may be parted by a selector the entries pass over, or by a mark.
  // Only lines read through the cursors use them; those the window pass found clear need no look.
  const bool parted =
      reading_.as_read && encoding_ == Encoding::kUtf8 && line.at != MatchLine::kAlone &&
      !cursors_->ClearBefore(line.at + line.text_length) &&
      FirstParting(line.line, line.text_length, line.text_length, query_->joins()) <
          line.text_length;
  return engine_->HitsDecoded(internal_.text(), internal_.size(), line,
                              parted ? nullptr : cursors_.get(), span);
}

void LineMatcher::DecodeLast() {
  internal_.Decode(encoding_, last_.line, last_.text_length, query_->extras(), reading_);
  decoded_ = true;
}

const std::vector<LineSpan>& LineMatcher::PartsOfLast() {
  if (parts_found_) return parts_;
  const bool internal = encoding_ != Encoding::kCp932 || joins_ || ef_line_;
  if (internal && !decoded_) DecodeLast();
  FindParts(last_, internal ? &internal_ : nullptr, parts_, ef_line_);
  parts_found_ = true;
  return parts_;
}

const std::vector<LineSpan>& LineMatcher::Parts(const MatchLine& line) {
  const bool by_regex = regex_engine_ != nullptr && encoding_ == Encoding::kCp932 &&
                        FirstLoneEf(line.line, line.text_length) < line.text_length;
  const bool internal = encoding_ != Encoding::kCp932 || by_regex || Joins(line);
  if (internal) other_.Decode(encoding_, line.line, line.text_length, query_->extras(), reading_);
  FindParts(line, internal ? &other_ : nullptr, other_parts_, by_regex);
  return other_parts_;
}

// The parts of the text the entries read (the line, or its internal form), in the line's own
// bytes. A line in the internal form ends at its text's end (a NUL ends the text decoded).
void LineMatcher::FindParts(const MatchLine& line, const InternalLine* internal,
                            std::vector<LineSpan>& parts, bool by_regex) const {
  const char* text = internal == nullptr ? line.line : internal->text();
  const std::size_t n = internal == nullptr ? line.length : internal->size();
  (by_regex ? decoded_query_ : *query_).MatchedParts(text, n, parts);
  if (bound_ != Bound::kNone) {
    const std::size_t end = TextLength(text, n);
    std::erase_if(parts, [&](const LineSpan& p) { return !Bounded(text, end, p); });
  }
  if (internal != nullptr) {
    for (LineSpan& part : parts) {
      part = {internal->SourceOffset(part.start), internal->SourceOffset(part.end)};
    }
  }
}

// Whether an empty match in the last line (anywhere, or only at its start) is bounded: the empty
// line under kLine, a place between two characters that are no word characters (or a line end)
// under kWord.
bool LineMatcher::EmptyMatchBounded() {
  const char* text = last_.line;
  std::size_t end = last_.text_length;
  if (encoding_ != Encoding::kCp932 || Joins(last_)) {
    if (!decoded_) DecodeLast();
    text = internal_.text();
    end = internal_.size();
  }
  if (bound_ == Bound::kLine) return end == 0;
  for (std::size_t at = 0;;) {
    if (Bounded(text, end, LineSpan{at, at})) return true;
    if (at == end || !query_->empty_entry()) return false;
    at = std::min(end, at + static_cast<std::size_t>(CharLength(text + at)));
  }
}

bool LineMatcher::Bounded(const char* text, std::size_t end, const LineSpan& p) const {
  if (bound_ == Bound::kLine) return p.start == 0 && p.end == end;
  const bool before =
      p.start > 0 && IsWordChar(DecodeText(CharStartOf(text, text + p.start - 1)).code);
  const bool after = p.end < end && IsWordChar(DecodeText(text + p.end).code);
  return !before && !after;
}

}  // namespace kensaku
