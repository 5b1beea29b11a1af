// Folding: the canonical form of a character under the process-wide FoldFlags, which select the
// differences that comparisons ignore (kana, case, width, numeric symbols). Two characters match
// when their folded codes are equal, so matchers fold both sides through the same map.
//
// With FoldToHalfWidth, hiragana "ga" (0x82 0xAA), katakana "ka" (0x83 0x4A) and the half-width
// byte 0xB6 all fold to 0xB6: voiced and unvoiced forms compare equal.
#ifndef KENSAKU_SRC_MBCHAR_FOLD_H_
#define KENSAKU_SRC_MBCHAR_FOLD_H_

#include <array>
#include <ostream>
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

// The single conversions; each returns its argument when it does not apply.
unsigned KatakanaToHiragana(unsigned code);
unsigned HiraganaToKatakana(unsigned code);
unsigned ToLowerAscii(unsigned code);
unsigned ToUpperAscii(unsigned code);
unsigned ToFullWidth(unsigned code);
unsigned ToHalfWidth(unsigned code);

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

// Every character a text can hold (a byte 0x01-0xFF or a double-byte code) whose fold under the
// current FoldFlags is the given folded code, in ascending order.
std::vector<Code> FoldPreimages(Code folded);

// True when the folded code is the fold of no character but itself, so that a text matching it
// must hold exactly its bytes.
bool FoldsFromItselfOnly(Code folded);

// The bytes of the characters that fold to a code, position by position: bytes[i] holds byte i
// of every such character. False (nothing added) when they differ in length or there are none.
using ByteSet = std::array<bool, 256>;
using ByteSets = std::vector<ByteSet>;
bool AppendPreimageBytes(Code folded, ByteSets& bytes);

// Builds the best run of byte sets that a sequence of folded codes requires in a row: runs are
// cut where a code is unusable (AppendPreimageBytes fails or usable says no), and the run whose
// sets are narrowest in sum wins. Empty when no code is usable.
template <typename Codes, typename Usable>
ByteSets RequiredRun(const Codes& codes, Usable usable);

inline bool IsNullChar(MbChar c) { return c.code == kNullCode; }

// Full-width digits and numeric symbols become ASCII, in place.
void NumericToHalf(MbChar& c);

bool InSetFolded(MbChar ch, const char* set);
bool SeekCharFolded(MbChar ch, const char** cursor);

// Writes the folded character: nothing for null, one byte for a non-double code, else two.
std::ostream& WriteChar(std::ostream& out, MbChar c);
inline std::ostream& operator<<(std::ostream& out, MbChar c) { return WriteChar(out, c); }

namespace detail {
double Selectivity(const ByteSets& sets);
}

// The first bytes of the characters that fold to a code, for NextCharStartIn.
struct FirstBytes {
  ByteSet bytes{};
  int count = 0;
  int only = -1;  // the byte, when there is just one
};
FirstBytes FirstBytesFoldingTo(Code folded);
// Adds the first bytes of the characters whose folds lie in [lo, hi].
void AddFirstBytesFoldingInto(Code lo, Code hi, FirstBytes& firsts);

// The first character start at or after `from` (itself a character start) whose first byte is
// one of `firsts`, or the terminator. Bytes are skipped without decoding; when one of the bytes
// is found, the character boundary is recovered from the last byte before it that cannot be a
// lead byte (a character always ends at such a byte).
const char* NextCharStartIn(const char* from, const FirstBytes& firsts);

template <typename Codes, typename Usable>
ByteSets RequiredRun(const Codes& codes, Usable usable) {
  ByteSets best, run;
  double best_score = 0;
  auto end_run = [&] {
    const double score = detail::Selectivity(run);
    if (score > best_score) {
      best_score = score;
      best = run;
    }
    run.clear();
  };
  for (const auto& c : codes) {
    const std::size_t before = run.size();
    if (!usable(c) || !AppendPreimageBytes(static_cast<Code>(c), run)) {
      run.resize(before);
      end_run();
    }
  }
  end_run();
  return best;
}

inline constexpr int kClassBlankOrAscii = 0x7F01;
inline constexpr int kClassHalfWidthKana = 0x7F02;
inline constexpr int kClassDouble = 0x7F11;
int CharClass(MbChar c);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_FOLD_H_
