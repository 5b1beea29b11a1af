// Folding: the canonical form of a character under the process-wide FoldFlags, which select the
// differences that comparisons ignore (kana, case, width, numeric symbols). Two characters match
// when their folded codes are equal, so matchers fold both sides through the same map.
//
// With FoldToHalfWidth, hiragana "ga" (0x82 0xAA), katakana "ka" (0x83 0x4A) and the half-width
// byte 0xB6 all fold to 0xB6: voiced and unvoiced forms compare equal.
#ifndef KENSAKU_SRC_MBCHAR_FOLD_H_
#define KENSAKU_SRC_MBCHAR_FOLD_H_

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "mbchar/mbchar.h"

namespace kensaku {

inline constexpr int FoldKanaToHiragana = 0x01;
inline constexpr int FoldKanaToKatakana = 0x02;  // wins over FoldKanaToHiragana
inline constexpr int FoldToUpper = 0x04;         // wins over FoldToLower
inline constexpr int FoldToLower = 0x08;
inline constexpr int FoldToFullWidth = 0x10;  // also switches the case step off
inline constexpr int FoldToHalfWidth = 0x20;  // wins over FoldToFullWidth
inline constexpr int FoldNumeric = 0x40;
inline constexpr int kFoldBits = 0x7F;  // other bits are kept but change nothing

// FoldFlags and its setters; each returns FoldFlags afterwards.
int GetFoldFlags();
int SetFoldFlags(int flags);    // FoldFlags := flags
int OrFoldFlags(int flags);     // FoldFlags |= flags
int ResetFoldFlags(int flags);  // FoldFlags &= ~flags, unless flags is 0
void ClearFoldFlags();

// Fold of one code under the given flags, computed step by step.
Code FoldCode(Code code, int flags);

namespace detail {
extern int g_fold_flags;
extern int g_fold_map_key;
extern Code g_fold_map[0x10000];
void RebuildFoldMap(int key);
}  // namespace detail

// The fold of every code under the current FoldFlags: FoldMap()[c] is Fold(MbChar(c)).code. Valid
// until FoldFlags next changes; hot loops fetch it once per call.
inline const Code* FoldMap() {
  const int key = detail::g_fold_flags & kFoldBits;
  if (key != detail::g_fold_map_key) detail::RebuildFoldMap(key);
  return detail::g_fold_map;
}

inline MbChar Fold(MbChar c) { return MbChar(FoldMap()[c.code]); }

inline bool IsNullChar(MbChar c) { return c.code == kNullCode; }

// Every character a text can hold (a byte 0x01-0xFF or a double-byte code) whose fold under the
// current FoldFlags is the given folded code, in ascending order.
std::vector<Code> FoldPreimages(Code folded);

// Calls visit for every such character whose fold lies in [lo, hi].
void ForEachPreimageIn(Code lo, Code hi, const std::function<void(Code)>& visit);

// True when the folded code is the fold of no character but itself, so that a text matching it
// must hold exactly its bytes.
bool FoldsFromItselfOnly(Code folded);

// The characters written folded, up to the first none: nothing for null, one byte for a
// non-double code, else two. Read back, a lone lead byte merges with what was written after it,
// which is how pattern lists, inclusion and character arrays all see a folded text.
inline Code CodeOf(Code c) { return c; }
inline Code CodeOf(MbChar c) { return c.code; }
template <typename It>
std::string FoldedBytes(It first, It last) {
  const Code* fold = FoldMap();
  std::string bytes;
  for (; first != last && CodeOf(*first) != kNoneCode; ++first) {
    const Code f = fold[CodeOf(*first)];
    if (f == kNullCode) continue;
    if (IsDoubleCode(f)) bytes.push_back(static_cast<char>(f >> 8));
    bytes.push_back(static_cast<char>(f & 0xFF));
  }
  return bytes;
}

bool InSetFolded(MbChar ch, const char* set);
bool SeekCharFolded(MbChar ch, const char** cursor);

// Writes the folded character: nothing for null, one byte for a non-double code, else two.
std::ostream& WriteChar(std::ostream& out, MbChar c);
inline std::ostream& operator<<(std::ostream& out, MbChar c) { return WriteChar(out, c); }

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_FOLD_H_
