#include "mbchar/fold.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "mbchar/fold_tables.h"

namespace kensaku {
namespace detail {
int g_fold_flags = 0;
int g_fold_map_key = -1;
Code g_fold_map[0x10000];
// (fold, character) for every character of the foldable ranges, sorted: who folds to what.
std::vector<std::pair<Code, Code>> g_preimages;

// Codes outside these two ranges are left alone by every step of Fold.
constexpr unsigned kSingleEnd = 0x100;
constexpr unsigned kWideBegin = 0x8140;
constexpr unsigned kWideEnd = 0x8397;

void RebuildFoldMap(int key) {
  if (g_fold_map_key < 0) {
    for (unsigned c = 0; c < 0x10000; ++c) g_fold_map[c] = static_cast<Code>(c);
  }
  for (unsigned c = 0; c < kSingleEnd; ++c) g_fold_map[c] = FoldCode(static_cast<Code>(c), key);
  for (unsigned c = kWideBegin; c < kWideEnd; ++c) {
    g_fold_map[c] = FoldCode(static_cast<Code>(c), key);
  }
  // Every fold of a code of these ranges lands in them again; every other code is its own fold.
  g_preimages.clear();
  for (unsigned c = 1; c < kWideEnd; c = c + 1 == kSingleEnd ? kWideBegin : c + 1) {
    if (c < kSingleEnd || IsDoubleCode(c)) g_preimages.emplace_back(g_fold_map[c], c);
  }
  std::sort(g_preimages.begin(), g_preimages.end());
  g_fold_map_key = key;
}
}  // namespace detail

std::vector<Code> FoldPreimages(Code folded) {
  FoldMap();
  std::vector<Code> codes;
  const bool in_ranges = folded < detail::kSingleEnd ||
                         (folded >= detail::kWideBegin && folded < detail::kWideEnd);
  if (!in_ranges) {
    if (IsDoubleCode(folded)) codes.push_back(folded);
    return codes;
  }
  const auto range = std::equal_range(detail::g_preimages.begin(), detail::g_preimages.end(),
                                      std::pair<Code, Code>(folded, 0),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto it = range.first; it != range.second; ++it) codes.push_back(it->second);
  return codes;
}

bool FoldsFromItselfOnly(Code folded) {
  const std::vector<Code> codes = FoldPreimages(folded);
  return codes.size() == 1 && codes[0] == folded;
}

double detail::Selectivity(const ByteSets& sets) {
  double score = 0;
  for (const ByteSet& set : sets) {
    int n = 0;
    for (bool b : set) n += b;
    score += 1.0 / n;
  }
  return score;
}

void AddFirstBytesFoldingInto(Code lo, Code hi, FirstBytes& firsts) {
  FoldMap();
  auto add = [&firsts](Code c) {
    const unsigned b = c > 0xFF ? c >> 8 : c;
    if (!firsts.bytes[b]) {
      firsts.bytes[b] = true;
      ++firsts.count;
      firsts.only = static_cast<int>(b);
    }
  };
  // Characters of the foldable ranges, by their folds...
  const auto& pairs = detail::g_preimages;
  for (auto it = std::lower_bound(pairs.begin(), pairs.end(), std::pair<Code, Code>(lo, 0));
       it != pairs.end() && it->first <= hi; ++it) {
    add(it->second);
  }
  // ...and every other character, which is its own fold.
  for (unsigned c = lo; c <= hi; ++c) {
    const bool in_ranges = c < detail::kSingleEnd || (c >= detail::kWideBegin && c < detail::kWideEnd);
    if (!in_ranges && IsDoubleCode(c)) add(static_cast<Code>(c));
  }
  if (firsts.count != 1) firsts.only = -1;
}

FirstBytes FirstBytesFoldingTo(Code folded) {
  FirstBytes firsts;
  AddFirstBytesFoldingInto(folded, folded, firsts);
  return firsts;
}

const char* NextCharStartIn(const char* from, const FirstBytes& firsts) {
  const auto* p = reinterpret_cast<const unsigned char*>(from);
  for (;;) {
    const unsigned char* k;
    if (firsts.only > 0) {
      k = reinterpret_cast<const unsigned char*>(
          std::strchr(reinterpret_cast<const char*>(p), firsts.only));
      if (k == nullptr) {
        k = p + std::strlen(reinterpret_cast<const char*>(p));
      }
    } else {
      k = p;
      while (*k != 0 && !firsts.bytes[*k]) ++k;
    }
    if (*k == 0) return reinterpret_cast<const char*>(k);
    const unsigned char* q = k;
    while (q > p && IsLeadByte(q[-1])) --q;
    while (q < k) q += CharLength(reinterpret_cast<const char*>(q));
    if (q == k) return reinterpret_cast<const char*>(k);
    p = q;  // the byte found was the trail byte of the character before it
  }
}

bool AppendPreimageBytes(Code folded, ByteSets& bytes) {
  const std::vector<Code> codes = FoldPreimages(folded);
  if (codes.empty()) return false;
  const bool wide = codes[0] > 0xFF;
  for (Code c : codes) {
    if ((c > 0xFF) != wide) return false;
  }
  ByteSet first{}, second{};
  for (Code c : codes) {
    if (wide) {
      first[c >> 8] = true;
      second[c & 0xFF] = true;
    } else {
      first[c] = true;
    }
  }
  bytes.push_back(first);
  if (wide) bytes.push_back(second);
  return true;
}

int GetFoldFlags() { return detail::g_fold_flags; }
int SetFoldFlags(int flags) { return detail::g_fold_flags = flags; }
int OrFoldFlags(int flags) { return detail::g_fold_flags |= flags; }
int ResetFoldFlags(int flags) {
  if (flags != 0) detail::g_fold_flags &= ~flags;
  return detail::g_fold_flags;
}
void ClearFoldFlags() { detail::g_fold_flags = 0; }

unsigned KatakanaToHiragana(unsigned c) {
  if (c < 0x8340 || c > 0x8393 || c == 0x837F) return c;
  return c < 0x837F ? c - 0xA1 : c - 0xA2;
}

unsigned HiraganaToKatakana(unsigned c) {
  if (c < 0x829F || c > 0x82F1) return c;
  return c <= 0x82DD ? c + 0xA1 : c + 0xA2;  // the katakana block skips 0x837F
}

unsigned ToLowerAscii(unsigned c) { return c >= 0x41 && c <= 0x5A ? c + 0x20 : c; }
unsigned ToUpperAscii(unsigned c) { return c >= 0x61 && c <= 0x7A ? c - 0x20 : c; }

unsigned ToFullWidth(unsigned c) {
  if (c >= 0x20 && c <= 0x7E) return FullWidthAsciiTable[c - 0x20];
  if (c >= 0xA1 && c <= 0xDF) return FullWidthKanaTable[c - 0xA1];
  return c;
}

unsigned ToHalfWidth(unsigned c) {
  if (c >= 0x8340 && c <= 0x8396) return c == 0x837F ? c : HalfWidthKanaTable[c - 0x8340];
  if (c >= 0x829F && c <= 0x82F1) return HalfWidthKanaTable[HiraganaToKatakana(c) - 0x8340];
  if (c <= 0x8396) {
    for (unsigned i = 0; i < 95; ++i) {
      if (FullWidthAsciiTable[i] == c) return 0x20 + i;
    }
    for (const HalfWidthPunctPair& pair : HalfWidthPunctTable) {
      if (pair.full == c) return pair.half;
    }
  }
  return c;
}

void NumericToHalf(MbChar& c) {
  if ((c.code >= 0x824F && c.code <= 0x8258) || InSet(c, NumericSymbolSet)) {
    c.code = static_cast<Code>(ToHalfWidth(c.code));
  }
}

Code FoldCode(Code code, int flags) {
  if (code == kNoneCode || flags == 0) return code;
  unsigned c = code;
  if ((flags & FoldToFullWidth) && !(flags & FoldToHalfWidth)) c = ToFullWidth(c);
  if (flags & FoldToHalfWidth) c = ToHalfWidth(c);
  if (!(flags & FoldToFullWidth)) {
    if ((flags & FoldToLower) && !(flags & FoldToUpper)) c = ToLowerAscii(c);
    if (flags & FoldToUpper) c = ToUpperAscii(c);
  }
  if ((flags & FoldKanaToHiragana) && !(flags & FoldKanaToKatakana)) c = KatakanaToHiragana(c);
  if (flags & FoldKanaToKatakana) c = HiraganaToKatakana(c);
  MbChar result(static_cast<Code>(c));
  if (flags & FoldNumeric) NumericToHalf(result);
  return result.code;
}

bool InSetFolded(MbChar ch, const char* set) {
  if (ch.code == kNullCode || set == nullptr || *set == '\0') return false;
  const Code* fold = FoldMap();
  const Code target = fold[ch.code];
  for (const char* p = set; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (fold[c.code] == target) return true;
    p += c.ByteCount();
  }
  return false;
}

bool SeekCharFolded(MbChar ch, const char** cursor) {
  const Code* fold = FoldMap();
  const Code target = fold[ch.code];
  if (target == kNullCode || cursor == nullptr || *cursor == nullptr || **cursor == '\0') {
    return false;
  }
  for (const char* p = *cursor; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (fold[c.code] == target) {
      *cursor = p;
      return true;
    }
    p += c.ByteCount();
  }
  return false;
}

std::ostream& WriteChar(std::ostream& out, MbChar c) {
  const Code f = Fold(c).code;
  if (f == kNullCode) return out;
  if (!IsDoubleCode(f)) return out.put(static_cast<char>(f & 0xFF));
  const char bytes[2] = {static_cast<char>(f >> 8), static_cast<char>(f & 0xFF)};
  return out.write(bytes, 2);
}

int CharClass(MbChar c) {
  if (InSet(c, BlankSet) || (c.code >= 0x20 && c.code <= 0x7F)) return kClassBlankOrAscii;
  if (c.code >= 0xA0 && c.code <= 0xDF) return kClassHalfWidthKana;
  if (c.IsDouble()) return kClassDouble;
  return 0;
}

}  // namespace kensaku
