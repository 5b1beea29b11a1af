// Folding: the canonical form of a character under a FoldFlags value, which selects the
// differences that comparisons ignore (kana, case, width, numeric symbols). Two characters match
// when their folded codes are equal, so matchers fold both sides through the same table.
//
// With FoldToHalfWidth, hiragana "ga" (0x82 0xAA), katakana "ka" (0x83 0x4A) and the half-width
// byte 0xB6 all fold to 0xB6: voiced and unvoiced forms compare equal.
//
// A compiled pattern keeps the table of the flags it was compiled under; nothing here reads a
// process-wide setting, so searches with different folding can run at once.
#ifndef KENSAKU_SRC_MBCHAR_FOLD_H_
#define KENSAKU_SRC_MBCHAR_FOLD_H_

#include <bitset>
#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
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
// Beyond the exports' word: text as its readers see it. The width fold keeps voicing (half-width
// forms read as full width), the case fold takes every letter with a case, the kana fold every
// kana with a partner, and kana joined with a voicing mark read as one character
// (internal_text.h). The tool, the C interface and Python compare this way.
inline constexpr int FoldVariants = 0x80;  // as read: old and variant kanji as the common form
inline constexpr int FoldAsRead = 0x100;
// Reading only, as read: letters code page 932 lacks are read case-folded (as the case flags
// read them) while nothing compares folded; a regex's (?i) parts compare them so.
inline constexpr int FoldReadCase = 0x200;
inline constexpr int kAllFoldBits = kFoldBits | FoldAsRead | FoldVariants;

// Fold of one code under the given flags, computed step by step.
Code FoldCode(Code code, int flags);

// The fold of every code under one flags value, and who folds to what. Each of the 128 tables is
// made on first use and never changes after, so any thread may read it.
class FoldTable {
 public:
  // The table of the flags' fold bits (kAllFoldBits).
  static const FoldTable& For(int flags);

  FoldTable(const FoldTable&) = delete;
  FoldTable& operator=(const FoldTable&) = delete;

  int flags() const { return flags_; }
  // map()[c] is the fold of code c: hot loops take the array once.
  const Code* map() const { return map_; }
  Code operator[](Code c) const { return map_[c]; }
  MbChar Fold(MbChar c) const { return MbChar(map_[c.code]); }

  // Every character a text can hold (a byte 0x01-0xFF or a double-byte code) that folds to the
  // given folded code, in ascending order.
  std::vector<Code> Preimages(Code folded) const;
  // Calls visit for every such character whose fold lies in [lo, hi].
  void ForEachPreimageIn(Code lo, Code hi, const std::function<void(Code)>& visit) const;
  // True when the folded code is the fold of no character but itself, so that a text matching it
  // must hold exactly its bytes.
  bool FromItselfOnly(Code folded) const;

 private:
  explicit FoldTable(int flags);

  int flags_;
  bool every_code_;  // as read, a fold may take any code anywhere
  std::bitset<0x10000> targets_;  // as read: the codes some other code folds to
  std::unique_ptr<Code[]> own_;   // the map, unless it is one made by the compiler
  const Code* map_ = nullptr;
  std::vector<std::pair<Code, Code>> preimages_;  // (fold, character) of the foldable ranges
};

inline bool IsNullChar(MbChar c) { return c.code == kNullCode; }

// The characters written folded, up to the first none: nothing for null, one byte for a
// non-double code, else two. Read back, a lone lead byte merges with what was written after it,
// which is how pattern lists, inclusion and character arrays all see a folded text.
inline Code CodeOf(Code c) { return c; }
inline Code CodeOf(MbChar c) { return c.code; }
template <typename It>
std::string FoldedBytes(It first, It last, const FoldTable& fold) {
  std::string bytes;
  for (; first != last && CodeOf(*first) != kNoneCode; ++first) {
    const Code f = fold[CodeOf(*first)];
    if (f == kNullCode) continue;
    if (IsDoubleCode(f)) bytes.push_back(static_cast<char>(f >> 8));
    bytes.push_back(static_cast<char>(f & 0xFF));
  }
  return bytes;
}

bool InSetFolded(MbChar ch, const char* set, const FoldTable& fold);
bool SeekCharFolded(MbChar ch, const char** cursor, const FoldTable& fold);

// Writes the folded character: nothing for null, one byte for a non-double code, else two.
std::ostream& WriteChar(std::ostream& out, MbChar c, const FoldTable& fold);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_FOLD_H_
