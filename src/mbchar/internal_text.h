// Text of any encoding as the engines read it: code page 932, whatever the file's encoding. A
// character code page 932 lacks (an emoji, a JIS X 0212 kanji) reads as the code a pattern gave it
// (ExtraChars), or as kOtherChar when no pattern holds it; an ill-formed sequence reads as
// kBrokenChar. Both are codes no code page 932 character has and that fold to nothing else, so a
// character that code page 932 lacks matches itself only, and a broken one matches nothing.
#ifndef KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_
#define KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mbchar/encoding.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"

namespace kensaku {

inline constexpr Code kOtherChar = 0xFD;   // a character neither code page 932 nor a pattern has
inline constexpr Code kBrokenChar = 0xFF;  // an ill-formed sequence

// Kana that code page 932 lacks, and kana joined with a voicing mark that it writes as two
// characters (half-width ones, and hiragana such as wa with the mark), each have a fixed code of
// lead byte 0xEF, unassigned in code page 932; so do the combining voicing marks U+3099 and
// U+309A, which text written decomposed holds. Every query reads them alike.
inline constexpr Code kCombiningVoiced = 0xEF40;
inline constexpr Code kCombiningSemiVoiced = 0xEF41;

// A character with a fixed code: the kana and mark it is joined from (base 0 for none), and its
// Unicode scalar (0 for none, as for half-width ga).
struct FixedKana {
  Code code;
  Code base;
  bool semi;
  char32_t unicode;
};
// The fixed character of a code, or null.
const FixedKana* FixedKanaOf(Code c);
// The fixed code of a Unicode scalar code page 932 lacks, or 0.
Code FixedCodeOf(char32_t u);
// The character a kana and a voicing mark join to (a code page 932 or a fixed code), or 0.
Code JoinedKana(Code base, bool semi);
// The kana a joined character is made of, as for JoinedKana; 0 for any other.
Code BaseOfJoined(Code c, bool* semi = nullptr);
// The character as UTF-8: a fixed code as its scalar, or its kana and the mark in the kana's
// width; code page 932 codes as themselves. False for codes of neither kind.
bool AppendInternalUtf8(Code c, std::string& out);

// The characters code page 932 lacks that a query's patterns hold, each given a double-byte code
// that no code page 932 character has (lead bytes 0x85, 0x86, 0xEB, 0xEC, unassigned).
class ExtraChars {
 public:
  static constexpr std::size_t kMax = 4 * 188;

  // The code of u, given one when it is new; 0 when every code is taken.
  Code Add(char32_t u);
  // The code a pattern gave u, or 0.
  Code CodeOf(char32_t u) const {
    if (codes_.empty()) return 0;
    const auto it = codes_.find(u);
    return it != codes_.end() ? it->second : 0;
  }
  // The character of a code given out here, or 0.
  char32_t UnicodeOf(Code c) const;
  bool empty() const { return chars_.empty(); }
  // Every character given a code, in the order of their codes.
  const std::vector<char32_t>& chars() const { return chars_; }

 private:
  std::vector<char32_t> chars_;  // in the order their codes were given
  std::unordered_map<char32_t, Code> codes_;
};

// A pattern in the internal form as the UTF-8 it was typed in (a code of no character as '?'),
// and in `utf8_at` where its byte `at` falls there: the start of the character that holds it, or
// the end.
std::string InternalAsUtf8(std::string_view internal, const ExtraChars& extras, std::size_t at,
                           std::size_t* utf8_at);

// The internal code of a character read from a text.
inline Code InternalCode(const TextChar& c, const ExtraChars* extras) {
  if (c.broken) return kBrokenChar;
  if (c.unicode < 0x80) return static_cast<Code>(c.unicode);
  Code code = Cp932OfUnicode(c.unicode);
  if (code != 0) return code;
  if ((code = FixedCodeOf(c.unicode)) != 0) return code;
  const Code extra = extras != nullptr ? extras->CodeOf(c.unicode) : 0;
  return extra != 0 ? extra : kOtherChar;
}

// Variation selectors, which text read as its readers see it passes over.
constexpr bool IsVariationSelector(char32_t u) {
  return (u >= 0xFE00 && u <= 0xFE0F) || (u >= 0xE0100 && u <= 0xE01EF);
}

// How text is read for comparison: as it is (the exports' rules), or as its readers see it,
// where a kana and a voicing mark after it are one character and variation selectors are
// passed over. `spacing`: the spacing marks, and half-width marks after a full-width kana, join
// too (under the width fold, where they are the same marks).
struct Reading {
  bool as_read = false;
  bool spacing = false;
  bool variants = false;  // kanji code page 932 lacks read as their common form (FoldVariants)
  bool case_fold = false;  // letters code page 932 lacks read case-folded (the case flags)
};
inline Reading ReadingOf(int fold_flags) {
  const bool as_read = (fold_flags & FoldAsRead) != 0;
  return {as_read, as_read && (fold_flags & (FoldToHalfWidth | FoldToFullWidth)) != 0,
          as_read && (fold_flags & FoldVariants) != 0,
          as_read && (fold_flags & (FoldToUpper | FoldToLower | FoldReadCase)) != 0};
}
// A character as read, before its code is looked up: a variant kanji as its common form, and a
// letter code page 932 lacks case-folded (its fold may be one code page 932 has: ς as σ).
char32_t ScalarAsRead(char32_t u, Reading reading);

// Whether code page 932 text, or text `decoded` into the internal form (which alone holds the
// combining marks' codes), may hold a mark that joins the kana before it: a quick look, which
// may say yes where none does.
bool MayJoin(const char* text, std::size_t n, bool spacing, bool decoded);
// The voicing mark a character is (0 voiced, 1 semi-voiced) when it joins the kana `before` it,
// in a reading with or without the spacing marks; -1 when it does not.
int MarkOf(Code c, Code before, bool spacing);
// Whether UTF-8 or EUC-JP text holds the bytes of a voicing mark (a quick look, as MayJoin).
bool MayJoinEncoded(Encoding e, const char* text, std::size_t n, bool spacing);

// Joins each kana with a voicing mark after it, in text in the internal form. False when none
// joins (out untouched); else out holds the text, and from[j], for each byte j of it and its end,
// the byte of the text where that character began.
bool JoinMarks(const char* text, std::size_t n, bool spacing, std::string& out,
               std::vector<std::uint32_t>& from);

// A line of UTF-8 or EUC-JP text in the internal form (or of code page 932 text whose marks join
// the kana before them, as read), and where each of its bytes came from. The internal form is
// never longer than the line.
class InternalLine {
 public:
  // Reads line[0, n), which holds no NUL and stays as it is while this is used. Code page 932
  // lines are read as they are, and only as read changes them (joined marks).
  void Decode(Encoding e, const char* line, std::size_t n, const ExtraChars* extras,
              Reading reading = {});

  const char* text() const { return joined_ ? joined_text_.c_str() : text_.c_str(); }
  std::size_t size() const { return joined_ ? joined_text_.size() : size_; }
  // Where the character that internal byte i belongs to begins in the line read; for i ==
  // size(), the line's length. Worked out when first asked (for matched parts only).
  std::size_t SourceOffset(std::size_t i) const;

 private:
  std::string text_;
  std::size_t size_ = 0;
  Encoding encoding_ = Encoding::kUtf8;
  const char* line_ = nullptr;
  std::size_t length_ = 0;
  const ExtraChars* extras_ = nullptr;
  Reading reading_;
  mutable std::vector<std::uint32_t> at_;  // empty until asked
  mutable std::string scratch_;            // where at_ is worked out
  // Marks joined to their kana: the text entries read, and where each of its bytes was in text_.
  bool joined_ = false;
  std::string joined_text_;
  std::vector<std::uint32_t> joined_from_;
};

// The characters code page 932 lacks that a pattern in the internal form holds, as Unicode.
std::vector<char32_t> ExtraCharsIn(const std::string& pattern, const ExtraChars& extras);

// A pattern typed as UTF-8 in the internal form: characters code page 932 lacks are added to
// extras. False, with the trouble named, when the text is no UTF-8 or extras are full.
// As read, variation selectors are left out (and variant kanji are their common form).
bool InternalFromUtf8(std::string_view utf8, ExtraChars& extras, std::string& out,
                      std::string& problem, Reading reading = {});

// A UTF-8 text with each character folded under the flags as a query compares it, as UTF-8:
// characters code page 932 lacks, and broken sequences, stay as they are.
std::string FoldUtf8(std::string_view text, int fold_flags);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_
