// The pattern language: '.', bracket sets, '*' (repeat the character just matched), '#' (the next
// element may pass over one character), a leading '@' (zero-width report) and '\' escapes, with
// every other character literal and compared folded. Matching is one pass without backtracking.
//
// A pattern is compiled once: its characters are folded under the flags of its options and its
// brackets parsed, so MatchAt and MatchScan only decode the subject, folding it through the
// pattern's own table. The pattern "\x83\x5C" (katakana so) is one literal character; its trail
// byte 0x5C is never an escape.
#ifndef KENSAKU_SRC_MATCH_PATTERN_H_
#define KENSAKU_SRC_MATCH_PATTERN_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "frame/byte_string.h"
#include "match/match_options.h"
#include "match/match_span.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

// What '.' and sets never take under MatchOptions::strict: the line's end, a lead byte without
// its trail byte, and kBrokenChar (0xFF), what a broken sequence of text in another encoding
// reads as (mbchar/internal_text.h).
constexpr bool Unmatchable(Code folded) {
  return folded == kNullCode || folded == 0xFF || (folded <= 0xFF && IsLeadByte(folded));
}

// The character at the cursor, which steps over it; null at a null cursor or the terminator.
MbChar NextChar(const char*& cursor);

// One pattern character with '\r', '\t' and '\x' resolved; a final backslash reads as null.
MbChar ReadPatternChar(const char*& cursor);

// The closing bracket of a set whose members start at the cursor, or null when there is none.
const char* FindClassEnd(const char* cursor);

class Pattern {
 public:
  Pattern() = default;  // the null pattern: never matches, not even the empty line
  // A null text gives the null pattern. Under MatchOptions::strict a text the language cannot
  // mean throws PatternError: a '[' without its ']', a '#' with nothing after it, and a range
  // written backwards ("[z-a]"); the exports' rules read them as they always have.
  explicit Pattern(const char* text, const MatchOptions& options = {});

  bool is_null() const { return null_; }

  // Byte sets that every text this pattern matches holds in a row (some byte of each set, set
  // after set), in one of a few alternatives: from the best run of elements that each take
  // exactly one character (literals and sets), an alternative for each length its characters
  // may have. Empty when there is no such run. With chars_before: how many characters every match
  // has before the run, or kVaries. With whole: true when the run is the whole pattern, so that the
  // pattern matches exactly where the run's bytes (of its one alternative) begin a character,
  // over those bytes.
  static constexpr std::size_t kVaries = static_cast<std::size_t>(-1);
  ByteRuns RequiredBytes(std::size_t* chars_before = nullptr, bool* whole = nullptr,
                         const FormsIn& in = {}) const;

  // Whether a match may take one of these characters (as a subject holds them, before folding),
  // or any character at all ('.', what '#' passes over): a reading that tells them apart
  // otherwise may change its matches, and only then.
  bool MayTakeAny(std::span<const Code> codes) const;

 private:
  friend MatchSpan MatchAt(MatchSpan&, const char*&, const Pattern&);
  friend MatchSpan MatchScan(MatchSpan&, const char*&, const Pattern&, const char*);
  friend int MatchElement(const char*&, const Pattern&, std::size_t, Code&);
  friend int MatchClass(Code, const Pattern&, std::size_t);
  friend struct PatternScanner;

  enum class Op : std::uint8_t { kChar, kAny, kClass, kBadClass, kRepeat };
  struct Element {
    Op op;
    bool skip;    // after '#': failing passes over one character and tries the element again
    bool retry;   // false for the implicit end-of-pattern element after a final '#'
    bool negate;  // kClass: '^' set
    Code code;    // kChar: the folded character
    std::uint32_t first_range, range_count;  // kClass
  };
  struct Range {
    Code lo, hi;  // folded, lo <= hi
  };

  // text: the pattern's start, where positions of its faults count from.
  void CompileClass(const char*& p, Element& e, const char* text);
  void FindFirstBytes(const Element& e);
  bool StartsAt(const unsigned char* s, const Code* fold) const;

  const FoldTable* fold_ = &FoldTable::For(0);
  ScanLimits limits_;
  std::vector<Element> elements_;
  std::vector<Range> ranges_;
  bool null_ = true;
  bool strict_ = false;      // MatchOptions::strict
  bool text_empty_ = false;  // the pattern text itself is "", which matches the empty line
  bool zero_width_ = false;
  bool never_ = false;  // holds a set without closing bracket, which fails wherever it is tried
  bool literal_first_ = false;  // starts are found by the first bytes of the characters the
  FirstBytes first_bytes_;      // first element can take (a literal or a small set)
};

// Anchored match of the whole pattern at the cursor. The cursor is left after the match, or at
// its start for a zero-width match.
MatchSpan MatchAt(MatchSpan& span, const char*& cursor, const Pattern& pattern);

// The first match at or after the cursor, trying one start per character. A failed scan leaves
// the cursor at the terminator (unchanged for an empty subject or pattern). Starts before
// no_start_before, which the caller knows cannot match, get no attempt.
MatchSpan MatchScan(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                    const char* no_start_before = nullptr);

// One element at the subject cursor, with the character the next '*' repeats in prev (folded).
int MatchElement(const char*& subject, const Pattern& pattern, std::size_t index, Code& prev);

// Whether the folded subject character is selected by the bracket set of element index.
int MatchClass(Code folded, const Pattern& pattern, std::size_t index);

// Steps the subject cursor over characters that fold to prev; returns how many.
int ConsumeRun(const char*& subject, Code prev, const FoldTable& fold);

// The subject bytes of a successful, non-empty span.
ByteString SpanText(const MatchSpan& span);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PATTERN_H_
