#include "mbchar/fold.h"

#include <algorithm>
#include <iterator>

#include "mbchar/fold_tables.h"

namespace kensaku {
namespace detail {
int g_fold_flags = 0;
int g_fold_map_key = -1;
Code g_fold_map[0x10000];
// How many characters of the foldable ranges fold to each code of those ranges.
unsigned char g_preimages_single[0x100];
unsigned char g_preimages_wide[0x8397 - 0x8140];

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
  // Every fold of a code of these ranges lands in them again.
  std::fill(std::begin(g_preimages_single), std::end(g_preimages_single), 0);
  std::fill(std::begin(g_preimages_wide), std::end(g_preimages_wide), 0);
  auto count = [](Code f) {
    unsigned char& n = f < kSingleEnd ? g_preimages_single[f] : g_preimages_wide[f - kWideBegin];
    if (n < 255) ++n;
  };
  for (unsigned c = 1; c < kSingleEnd; ++c) count(g_fold_map[c]);
  for (unsigned c = kWideBegin; c < kWideEnd; ++c) {
    if (IsDoubleCode(c)) count(g_fold_map[c]);
  }
  g_fold_map_key = key;
}
}  // namespace detail

bool FoldsFromItselfOnly(Code folded) {
  FoldMap();
  if (folded < detail::kSingleEnd) return detail::g_preimages_single[folded] == 1;
  if (folded >= detail::kWideBegin && folded < detail::kWideEnd) {
    return detail::g_preimages_wide[folded - detail::kWideBegin] == 1;
  }
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
