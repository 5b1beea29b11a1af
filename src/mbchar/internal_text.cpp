#include "mbchar/internal_text.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "frame/bits.h"
#include "frame/cpu.h"
#include "mbchar/case_fold.h"
#include "mbchar/fold.h"
#include "mbchar/fold_tables.h"
#include "mbchar/variants.h"

namespace kensaku {
namespace {

constexpr unsigned char kExtraLeads[] = {0x85, 0x86, 0xEB, 0xEC};

// The i-th code for a character code page 932 lacks: trail bytes 0x40-0x7E, 0x80-0xFC.
Code ExtraCode(std::size_t i) {
  const unsigned lead = kExtraLeads[i / 188];
  const unsigned cell = static_cast<unsigned>(i % 188);
  return static_cast<Code>(lead << 8 | (cell < 63 ? 0x40 + cell : 0x80 + cell - 63));
}

std::size_t ExtraIndex(Code c) {
  const unsigned lead = c >> 8, trail = c & 0xFF;
  for (std::size_t k = 0; k < sizeof kExtraLeads; ++k) {
    if (kExtraLeads[k] != lead) continue;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) break;
    return k * 188 + (trail < 0x7F ? trail - 0x40 : trail - 0x80 + 63);
  }
  return SIZE_MAX;
}

}  // namespace

Code ExtraChars::Add(char32_t u) {
  if (const Code known = CodeOf(u); known != 0) return known;
  if (chars_.size() == kMax) return 0;
  const Code code = ExtraCode(chars_.size());
  chars_.push_back(u);
  codes_.emplace(u, code);
  return code;
}

char32_t ExtraChars::UnicodeOf(Code c) const {
  const std::size_t i = ExtraIndex(c);
  return i < chars_.size() ? chars_[i] : 0;
}

namespace {

// The kana a voiced (or semi-voiced) sound mark joins with, as Unicode, and what it makes.
char32_t JoinedScalar(char32_t u, bool semi) {
  switch (u) {
    case 0x309D: case 0x30FD: return semi ? 0 : u + 1;  // the iteration marks
    case 0x30EF: case 0x30F0: case 0x30F1: case 0x30F2: return semi ? 0 : u + 8;  // va-vo
    default: break;
  }
  const bool hira = u >= 0x3041 && u <= 0x3096;
  if (!hira && !(u >= 0x30A1 && u <= 0x30F6)) return 0;
  const char32_t h = hira ? u : u - 0x60;  // katakana rows sit 0x60 above the hiragana ones
  if (h >= 0x306F && h <= 0x307B && (h - 0x306F) % 3 == 0) return u + (semi ? 2 : 1);
  if (semi) return 0;
  if (h == 0x3046) return hira ? 0x3094 : 0x30F4;
  const bool ks = h >= 0x304B && h <= 0x3062 && (h - 0x304B) % 2 == 0;
  const bool t = h == 0x3064 || h == 0x3066 || h == 0x3068;
  return ks || t ? u + 1 : 0;
}

struct FixedKanaTable {
  std::vector<FixedKana> chars;
  std::unordered_map<char32_t, Code> by_scalar;
  std::unordered_map<unsigned, Code> by_join;  // base << 1 | semi

  FixedKanaTable() {
    auto add = [&](Code base, bool semi, char32_t unicode) {
      const Code code = static_cast<Code>(0xEF40 + chars.size());
      chars.push_back({code, base, semi, unicode});
      if (unicode != 0) by_scalar.emplace(unicode, code);
      if (base != 0) by_join.emplace(static_cast<unsigned>(base) << 1 | semi, code);
    };
    add(0, false, 0x3099);
    add(0, true, 0x309A);
    add(Cp932OfUnicode(0x3046), false, 0x3094);  // vu
    add(0, false, 0x3095);                       // small ka, ke
    add(0, false, 0x3096);
    for (char32_t u = 0x30EF; u <= 0x30F2; ++u) add(Cp932OfUnicode(u), false, u + 8);  // va-vo
    for (char32_t u = 0x308F; u <= 0x3092; ++u) add(Cp932OfUnicode(u), false, 0);  // hiragana
    for (unsigned b = 0xA6; b <= 0xDD; ++b) {
      const char32_t u = UnicodeOfCp932(FullWidthKanaTable[b - 0xA1]);
      if (JoinedScalar(u, false) != 0) add(static_cast<Code>(b), false, 0);
      if (JoinedScalar(u, true) != 0) add(static_cast<Code>(b), true, 0);
    }
  }
};

const FixedKanaTable& Fixed() {
  static const FixedKanaTable table;
  return table;
}

bool IsHalfWidthKana(Code c) { return c >= 0xA6 && c <= 0xDD; }

}  // namespace

const FixedKana* FixedKanaOf(Code c) {
  if (c < 0xEF40) return nullptr;
  const auto& chars = Fixed().chars;
  const unsigned i = c - 0xEF40u;
  return i < chars.size() ? &chars[i] : nullptr;
}

Code FixedCodeOf(char32_t u) {
  if (u < 0x3094 || u > 0x30FA) return 0;
  const auto& by = Fixed().by_scalar;
  const auto it = by.find(u);
  return it != by.end() ? it->second : 0;
}

Code JoinedKana(Code base, bool semi) {
  // Marks join half-width kana and double-byte kana only: ASCII builds no tables.
  if (base < 0xA6 || (base > 0xDD && base < 0x8140)) return 0;
  const auto& by = Fixed().by_join;
  if (const auto it = by.find(static_cast<unsigned>(base) << 1 | semi); it != by.end()) {
    return it->second;
  }
  if (IsHalfWidthKana(base) || base < 0x8140) return 0;
  const char32_t joined = JoinedScalar(UnicodeOfCp932(base), semi);
  if (joined == 0) return 0;
  const Code code = Cp932OfUnicode(joined);
  return code != 0 ? code : FixedCodeOf(joined);
}

Code BaseOfJoined(Code c, bool* semi) {
  // Every joined kana is a double-byte code from row 1 on: ASCII patterns build no tables.
  if (c < 0x8140) return 0;
  if (const FixedKana* f = FixedKanaOf(c)) {
    if (semi != nullptr) *semi = f->semi;
    return f->base;
  }
  // Code page 932's joined kana, by the kana they are made of (base << 1 | semi).
  static const std::unordered_map<Code, unsigned> bases = [] {
    std::unordered_map<Code, unsigned> found;
    for (unsigned b = 0x8140; b <= 0x8396; ++b) {
      for (const bool s : {false, true}) {
        const Code joined = FixedKanaOf(static_cast<Code>(b)) == nullptr
                                ? JoinedKana(static_cast<Code>(b), s)
                                : 0;
        if (joined != 0 && FixedKanaOf(joined) == nullptr) found.emplace(joined, b << 1 | s);
      }
    }
    return found;
  }();
  const auto it = bases.find(c);
  if (it == bases.end()) return 0;
  if (semi != nullptr) *semi = (it->second & 1) != 0;
  return static_cast<Code>(it->second >> 1);
}

char32_t ScalarAsRead(char32_t u, Reading reading) {
  if (u < 0x80 || !(reading.variants || reading.case_fold)) return u;
  if (reading.variants) u = CommonKanjiOf(u);
  if (reading.case_fold && Cp932OfUnicode(u) == 0) u = CaseFoldOf(u);
  return u;
}

bool AppendInternalUtf8(Code c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return true;
  }
  if (const FixedKana* f = FixedKanaOf(c)) {
    if (f->unicode != 0) {
      AppendUtf8Of(f->unicode, out);
      return true;
    }
    AppendUtf8Of(UnicodeOfCp932(f->base), out);
    const bool half = IsHalfWidthKana(f->base);
    AppendUtf8Of(half ? (f->semi ? 0xFF9F : 0xFF9E) : (f->semi ? 0x309A : 0x3099), out);
    return true;
  }
  const char32_t u = UnicodeOfCp932(c);
  if (u == 0) return false;
  AppendUtf8Of(u, out);
  return true;
}

std::string InternalAsUtf8(std::string_view internal, const ExtraChars& extras, std::size_t at,
                           std::size_t* utf8_at) {
  std::string shown;
  *utf8_at = 0;
  std::size_t i = 0;
  for (; i < internal.size();) {
    if (i <= at) *utf8_at = shown.size();
    const MbChar c = DecodeText(internal.data() + i);
    if (const char32_t u = extras.UnicodeOf(c.code)) {
      shown += FormsOfUnicode(Encoding::kUtf8, u).front();
    } else if (!AppendInternalUtf8(c.code, shown)) {
      shown.push_back('?');
    }
    i += static_cast<std::size_t>(c.ByteCount());
  }
  if (at >= internal.size()) *utf8_at = shown.size();
  return shown;
}

int MarkOf(Code c, Code before, bool spacing) {
  switch (c) {
    case kCombiningVoiced: return 0;
    case kCombiningSemiVoiced: return 1;
    case 0xDE: case 0xDF: return IsHalfWidthKana(before) || spacing ? c - 0xDE : -1;
    case 0x814A: case 0x814B: return spacing ? c - 0x814A : -1;
    default: return -1;
  }
}

namespace {

// MayJoin, made for each reading: candidate lines are many, and most are short.
template <bool kSpacing, bool kDecoded>
bool MayJoinWith(const unsigned char* p, std::size_t n) {
  // A half-width mark joins a half-width kana before it, or any kana under the width fold (a
  // trail byte may look like either, which JoinMarks then tells); a combining mark (internal
  // 0xEF40-41) or a spacing one (0x814A-4B, under the width fold) joins as a pair of bytes.
  auto mark_after = [&](std::size_t i) {
    const unsigned before = p[i - 1], mark = p[i];
    return ((mark & 0xFE) == 0xDE && (kSpacing || before - 0xA6u <= 0xDD - 0xA6)) ||
           (kDecoded && before == 0xEF && mark - 0x40u < 2) ||
           (kSpacing && before == 0x81 && mark - 0x4Au < 2);
  };
  if (n == 0) return false;
  if (kSpacing && (p[0] & 0xFE) == 0xDE) return true;
  if (n < 17) {
    for (std::size_t i = 1; i < n; ++i) {
      if (mark_after(i)) return true;
    }
    return false;
  }
  auto eq = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
  // Unsigned lo <= v <= hi, by a signed compare after moving the range to start at -128.
  auto in = [](__m128i v, int lo, int hi) {
    const __m128i moved = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(lo + 128)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(hi - lo - 127)));
  };
  // Every pair of places, sixteen at a time.
  auto block = [&](std::size_t i) {
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
    const __m128i mark = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hit = eq(_mm_and_si128(mark, _mm_set1_epi8(static_cast<char>(0xFE))), 0xDE);
    if (!kSpacing) hit = _mm_and_si128(hit, in(before, 0xA6, 0xDD));
    if (kDecoded) hit = _mm_or_si128(hit, _mm_and_si128(eq(before, 0xEF), in(mark, 0x40, 0x41)));
    if (kSpacing) hit = _mm_or_si128(hit, _mm_and_si128(eq(before, 0x81), in(mark, 0x4A, 0x4B)));
    return _mm_movemask_epi8(hit) != 0;
  };
  std::size_t i = 1;
  for (; i + 16 <= n; i += 16) {
    if (block(i)) return true;
  }
  // The last block overlaps the one before: a second look is harmless.
  return i < n && block(n - 16);
}

}  // namespace

bool MayJoin(const char* text, std::size_t n, bool spacing, bool decoded) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (spacing) return decoded ? MayJoinWith<true, true>(p, n) : MayJoinWith<true, false>(p, n);
  return decoded ? MayJoinWith<false, true>(p, n) : MayJoinWith<false, false>(p, n);
}

namespace {

__attribute__((target("avx2"))) inline __m256i EqAvx2(__m256i v, int b) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(b)));
}

__attribute__((target("avx2"))) inline __m256i InAvx2(__m256i v, int lo, int hi) {
  const __m256i clamped =
      _mm256_min_epu8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(lo))),
                      _mm256_set1_epi8(static_cast<char>(hi)));
  return _mm256_cmpeq_epi8(clamped, v);
}

// Whether a voicing mark begins at one of the 32 places from k. A mark in UTF-8 ends in 82 99-9C
// or BE 9E-9F, which few characters end with: those two bytes are compared, and the lead
// checked where they are found.
__attribute__((target("avx2"))) inline bool MarkIn32(const unsigned char* p, std::size_t k,
                                                     bool spacing) {
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 1));
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 2));
  const __m256i mark =
      _mm256_or_si256(_mm256_and_si256(EqAvx2(b, 0x82), InAvx2(c, 0x99, spacing ? 0x9C : 0x9A)),
                      _mm256_and_si256(EqAvx2(b, 0xBE), InAvx2(c, 0x9E, 0x9F)));
  for (auto found = static_cast<unsigned>(_mm256_movemask_epi8(mark)); found != 0;
       found &= found - 1) {
    const std::size_t i = k + static_cast<std::size_t>(CountrZero(found));
    if (p[i] == (p[i + 1] == 0x82 ? 0xE3 : 0xEF)) return true;
  }
  return false;
}

// Each candidate line of a UTF-8 search as read is looked at; n is at least 34, and the last
// block overlaps the one before.
__attribute__((target("avx2"))) bool MayJoinUtf8Avx2(const unsigned char* p, std::size_t n,
                                                     bool spacing) {
  std::size_t k = 0;
  for (; k + 34 <= n; k += 32) {
    if (MarkIn32(p, k, spacing)) return true;
  }
  return k + 2 < n && MarkIn32(p, n - 34, spacing);
}

}  // namespace

bool MayJoinEncoded(Encoding e, const char* text, std::size_t n, bool spacing) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (e != Encoding::kEucJp && n >= 34 && Simd() == SimdLevel::kAvx2) {
    return MayJoinUtf8Avx2(p, n, spacing);
  }
  if (e == Encoding::kEucJp) {
    for (std::size_t i = 1; i < n; ++i) {
      if (p[i] - 0xDEu < 2 && p[i - 1] == 0x8E) return true;
      if (spacing && p[i] - 0xABu < 2 && p[i - 1] == 0xA1) return true;
    }
    return false;
  }
  // U+3099-309C (E3 82 99-9C) and U+FF9E-FF9F (EF BE 9E-9F), sixteen places at a time: each
  // candidate line of a UTF-8 search as read is looked at.
  auto eq = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
  auto in = [](__m128i v, int lo, int hi) {
    const __m128i clamped = _mm_min_epu8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(lo))),
                                         _mm_set1_epi8(static_cast<char>(hi)));
    return _mm_cmpeq_epi8(clamped, v);
  };
  std::size_t k = 0;
  for (; k + 18 <= n; k += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 2));
    const __m128i mark = _mm_or_si128(
        _mm_and_si128(_mm_and_si128(eq(a, 0xE3), eq(b, 0x82)), in(c, 0x99, spacing ? 0x9C : 0x9A)),
        _mm_and_si128(_mm_and_si128(eq(a, 0xEF), eq(b, 0xBE)), in(c, 0x9E, 0x9F)));
    if (_mm_movemask_epi8(mark) != 0) return true;
  }
  for (std::size_t i = k + 2; i < n; ++i) {
    if (p[i] - 0x99u > 6) continue;
    if (p[i - 2] == 0xE3 && p[i - 1] == 0x82 && p[i] <= (spacing ? 0x9C : 0x9A)) return true;
    if (p[i - 2] == 0xEF && p[i - 1] == 0xBE && p[i] >= 0x9E) return true;
  }
  return false;
}

bool JoinMarks(const char* text, std::size_t n, bool spacing, std::string& out,
               std::vector<std::uint32_t>& from) {
  // The quick look sends many lines here that join nothing (a trail byte looks like a mark):
  // the first join is found before anything is written.
  {
    Code before = 0;
    std::size_t i = 0;
    while (i < n) {
      const MbChar c = DecodeText(text + i);
      const int mark = before != 0 ? MarkOf(c.code, before, spacing) : -1;
      if (mark >= 0 && JoinedKana(before, mark == 1) != 0) break;
      before = c.code;
      i += static_cast<std::size_t>(c.ByteCount());
    }
    if (i >= n) return false;
  }
  bool joined = false;
  out.clear();
  from.clear();
  Code before = 0;  // the last character written, while a mark may still join it
  std::size_t before_at = 0;
  for (std::size_t i = 0; i < n;) {
    const MbChar c = DecodeText(text + i);
    const std::size_t length = static_cast<std::size_t>(c.ByteCount());
    const int mark = before != 0 ? MarkOf(c.code, before, spacing) : -1;
    const Code joined_code = mark >= 0 ? JoinedKana(before, mark == 1) : 0;
    if (joined_code != 0) {
      const std::uint32_t at = from[before_at];
      out.resize(before_at);
      from.resize(before_at);
      if (IsDoubleCode(joined_code)) out.push_back(static_cast<char>(joined_code >> 8));
      out.push_back(static_cast<char>(joined_code & 0xFF));
      from.resize(out.size(), at);
      before = 0;
      joined = true;
    } else {
      before_at = out.size();
      out.append(text + i, length);
      from.resize(out.size(), static_cast<std::uint32_t>(i));
      before = c.code;
    }
    i += length;
  }
  from.push_back(static_cast<std::uint32_t>(n));
  return joined;
}

namespace {

inline void PutCode(Code code, char*& out) {
  if (code > 0xFF) *out++ = static_cast<char>(code >> 8);
  *out++ = static_cast<char>(code & 0xFF);
}

// One character of the line at p (n > 0 bytes) written in the internal form at out; returns the
// bytes it took. The slow, general way.
std::size_t PutChar(Encoding e, const char* p, std::size_t n, const ExtraChars* extras,
                    char*& out, Reading reading = {}) {
  TextChar c = ReadTextChar(e, p, n);
  if (reading.as_read && !c.broken) {
    if (IsVariationSelector(c.unicode)) return c.length;
    c.unicode = ScalarAsRead(c.unicode, reading);
  }
  PutCode(InternalCode(c, extras), out);
  return c.length;
}

// Copies the ASCII bytes that begin [p, end) to out, eight at a time while it can.
inline void CopyAscii(const unsigned char*& p, const unsigned char* end, char*& out) {
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & 0x8080808080808080u) != 0) break;
    std::memcpy(out, p, 8);
    p += 8;
    out += 8;
  }
  while (p < end && *p < 0x80) *out++ = static_cast<char>(*p++);
}

// The internal code of each EUC-JP two-byte sequence, by (first - 0xA1) * 94 + second - 0xA1;
// 0 where it is no character.
const Code* EucJpCodes() {
  static const std::vector<Code> codes = [] {
    std::vector<Code> t(94 * 94, 0);
    for (int i = 0; i < 94 * 94; ++i) {
      const char s[2] = {static_cast<char>(0xA1 + i / 94), static_cast<char>(0xA1 + i % 94)};
      const TextChar c = ReadTextChar(Encoding::kEucJp, s, 2);
      if (!c.broken) t[i] = Cp932OfUnicode(c.unicode);
    }
    return t;
  }();
  return codes.data();
}

// Both decoders tell `note` what each step wrote: note(from, out before, out after, ascii), the
// bytes written coming from the character at `from` (from the bytes at from on, one for one,
// when ascii).
template <typename Note>
void DecodeUtf8(const unsigned char* p, const unsigned char* end, const ExtraChars* extras,
                char*& out, Reading reading, Note note) {
  const Code* bmp = Cp932OfBmp();
  while (p < end) {
    const unsigned char* const from = p;
    char* const was = out;
    const unsigned b = p[0];
    if (b < 0x80) {
      CopyAscii(p, end, out);
      note(from, was, out, true);
      continue;
    }
    // Three-byte characters that can be neither overlong nor surrogates (kana and kanji).
    if (b - 0xE1 <= 0xEF - 0xE1 && b != 0xED && end - p >= 3) {
      const unsigned c1 = p[1] ^ 0x80u, c2 = p[2] ^ 0x80u;
      if ((c1 | c2) < 0x40) {
        const Code code = bmp[(b & 0x0F) << 12 | c1 << 6 | c2];
        if (code != 0) {
          PutCode(code, out);
          note(from, was, out, false);
          p += 3;
          continue;
        }
      }
    }
    p += PutChar(Encoding::kUtf8, reinterpret_cast<const char*>(p),
                 static_cast<std::size_t>(end - p), extras, out, reading);
    note(from, was, out, false);
  }
}

template <typename Note>
void DecodeEucJp(const unsigned char* p, const unsigned char* end, const ExtraChars* extras,
                 char*& out, Reading reading, Note note) {
  const Code* codes = EucJpCodes();
  while (p < end) {
    const unsigned char* const from = p;
    char* const was = out;
    const unsigned b = p[0];
    if (b < 0x80) {
      CopyAscii(p, end, out);
      note(from, was, out, true);
      continue;
    }
    if (end - p >= 2) {
      const unsigned c1 = p[1] - 0xA1u;
      if (b - 0xA1 < 94 && c1 < 94) {
        const Code code = codes[(b - 0xA1) * 94 + c1];
        if (code != 0) {
          PutCode(code, out);
          note(from, was, out, false);
          p += 2;
          continue;
        }
      } else if (b == 0x8E && c1 <= 0xDF - 0xA1) {
        *out++ = static_cast<char>(p[1]);  // half-width kana: code page 932's own byte
        note(from, was, out, false);
        p += 2;
        continue;
      }
    }
    p += PutChar(Encoding::kEucJp, reinterpret_cast<const char*>(p),
                 static_cast<std::size_t>(end - p), extras, out, reading);
    note(from, was, out, false);
  }
}

// Decodes UTF-8 or EUC-JP text, telling `note` as the decoders do.
template <typename Note>
void DecodeWith(Encoding e, const unsigned char* p, const unsigned char* end,
                const ExtraChars* extras, char*& out, Reading reading, Note note) {
  if (e == Encoding::kEucJp) {
    DecodeEucJp(p, end, extras, out, reading, note);
  } else {
    DecodeUtf8(p, end, extras, out, reading, note);
  }
}

}  // namespace

void InternalLine::Decode(Encoding e, const char* line, std::size_t n, const ExtraChars* extras,
                          Reading reading) {
  encoding_ = e;
  line_ = line;
  length_ = n;
  extras_ = extras;
  reading_ = reading;
  at_.clear();
  joined_ = false;
  if (text_.size() < n + 1) text_.resize(n + 1);
  char* const start = text_.data();
  char* out = start;
  const auto* p = reinterpret_cast<const unsigned char*>(line);
  if (e == Encoding::kCp932) {
    std::memcpy(out, line, n);
    // Lead byte 0xEF is unassigned in code page 932, and as read it is the lead of the fixed
    // codes: in text it stands for nothing, as where the line is decoded.
    if (reading.as_read && std::memchr(line, 0xEF, n) != nullptr) {
      for (std::size_t i = 0; i < n;) {
        if (p[i] == 0xEF) {
          out[i++] = static_cast<char>(kBrokenChar);
        } else {
          i += i + 1 < n && IsLeadByte(p[i]) && IsTrailByte(p[i + 1]) ? 2 : 1;
        }
      }
    }
    out += n;
  } else {
    DecodeWith(e, p, p + n, extras, out, reading, [](const auto*, char*, char*, bool) {});
  }
  *out = '\0';
  size_ = static_cast<std::size_t>(out - start);
  if (reading.as_read && MayJoin(start, size_, reading.spacing, e != Encoding::kCp932)) {
    joined_ = JoinMarks(start, size_, reading.spacing, joined_text_, joined_from_);
  }
}

std::size_t InternalLine::SourceOffset(std::size_t i) const {
  if (joined_) i = joined_from_[i];
  if (encoding_ == Encoding::kCp932) return i;
  if (at_.empty()) {
    // Decoded once more, the way Decode did, noting where each byte came from.
    const auto* p = reinterpret_cast<const unsigned char*>(line_);
    if (scratch_.size() < length_ + 1) scratch_.resize(length_ + 1);
    char* out = scratch_.data();
    at_.reserve(size_ + 1);
    DecodeWith(encoding_, p, p + length_, extras_, out, reading_,
               [&](const unsigned char* from, char* was, char* now, bool ascii) {
                 const auto k = static_cast<std::uint32_t>(from - p);
                 for (std::uint32_t j = 0; j < static_cast<std::uint32_t>(now - was); ++j) {
                   at_.push_back(ascii ? k + j : k);
                 }
               });
    at_.push_back(static_cast<std::uint32_t>(length_));
  }
  return at_[i];
}

bool InternalFromUtf8(std::string_view utf8, ExtraChars& extras, std::string& out,
                      std::string& problem, Reading reading) {
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, utf8.data() + i, utf8.size() - i);
    if (c.broken) {
      problem = "is not UTF-8 text";
      return false;
    }
    if (reading.as_read && IsVariationSelector(c.unicode)) {
      i += c.length;
      continue;
    }
    const char32_t u = ScalarAsRead(c.unicode, reading);
    Code code = u < 0x80 ? static_cast<Code>(u) : Cp932OfUnicode(u);
    if (code == 0) code = FixedCodeOf(u);
    if (code == 0 && u != 0) code = extras.Add(u);
    if (code == 0 && u != 0) {
      char message[96];
      std::snprintf(message, sizeof message,
                    "'%.*s' (U+%04X): too many characters that Shift_JIS lacks",
                    static_cast<int>(c.length), utf8.data() + i, static_cast<unsigned>(c.unicode));
      problem = message;
      return false;
    }
    if (IsDoubleCode(code)) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
    i += c.length;
  }
  return true;
}

std::vector<char32_t> ExtraCharsIn(const std::string& pattern, const ExtraChars& extras) {
  std::vector<char32_t> found;
  if (extras.empty()) return found;
  for (const char* p = pattern.c_str(); *p != '\0'; p += CharLength(p)) {
    const char32_t u = extras.UnicodeOf(DecodeText(p).code);
    if (u != 0) found.push_back(u);
  }
  return found;
}

std::string FoldUtf8(std::string_view text, int fold_flags) {
  const FoldTable& table = FoldTable::For(fold_flags);
  const Reading reading = ReadingOf(fold_flags);
  // Each character's code (0 for one the internal form has no code for), and its bytes.
  struct Char {
    Code code;
    std::size_t at, length;
  };
  std::vector<Char> chars;
  for (std::size_t at = 0; at < text.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, text.data() + at, text.size() - at);
    Code code = 0;
    if (!c.broken) {
      const char32_t u = ScalarAsRead(c.unicode, reading);
      code = u < 0x80 ? static_cast<Code>(u) : Cp932OfUnicode(u);
      if (code == 0) code = FixedCodeOf(u);
    }
    const bool dropped = reading.as_read && !c.broken && IsVariationSelector(c.unicode);
    if (!dropped) chars.push_back({code, at, c.length});
    at += c.length;
  }
  if (reading.as_read) {
    std::size_t kept = 0;
    Code before = 0;
    for (const Char& c : chars) {
      const int mark = before != 0 && c.code != 0 ? MarkOf(c.code, before, reading.spacing) : -1;
      const Code joined = mark >= 0 ? JoinedKana(before, mark == 1) : 0;
      if (joined != 0) {
        chars[kept - 1].code = joined;
        before = 0;
        continue;
      }
      chars[kept++] = c;
      before = c.code;
    }
    chars.resize(kept);
  }
  std::string folded;
  for (const Char& c : chars) {
    if (c.code == 0 || !AppendInternalUtf8(table[c.code], folded)) {
      folded.append(text.data() + c.at, c.length);
    }
  }
  return folded;
}

}  // namespace kensaku
