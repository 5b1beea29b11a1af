// The syntax of regular expressions (-E, the regex kind), read from a pattern in the internal
// form into a tree whose characters and sets are the internal codes they stand for; the folds
// are applied later, by match/regex.h. Tests: python/tests/test_regex.py (its errors table, and
// the generated expressions) and fuzz/regex_fuzz.cpp.
//
// What it reads: | ? * + {n} {n,} {n,m} (and lazy forms), ( ) (?: ) (?P<n> ) (?<n> ), flags
// (?i) (?s) (?m) (?U) and their scoped forms, [...] with ranges, negation, POSIX classes and
// escapes, . ^ $ \A \z \b \B, \d \w \s and their negations, \p{..} \P{..} (Unicode's names;
// Katakana takes the prolonged sound marks too), \x{..} \xHH \n \t \r \f \v \a, \Q..\E and
// escaped punctuation. Ranges are of Unicode scalars. Back-references and look-around are
// refused with a PatternError that says so, as is anything else it cannot read.
#ifndef KENSAKU_SRC_MATCH_REGEX_SYNTAX_H_
#define KENSAKU_SRC_MATCH_REGEX_SYNTAX_H_

#include <bitset>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mbchar/internal_text.h"
#include "mbchar/mbchar.h"

namespace kensaku {

// The characters a text may hold, by internal code.
using CodeSet = std::bitset<0x10000>;

// Every code a character of some text may have, with the Unicode scalar classes and ranges take
// it as: a kana joined with its mark is in a set when its kana is.
class CharUniverse {
 public:
  // `reading`: how a character named by its scalar (\x{..}) is read, as text is.
  explicit CharUniverse(const ExtraChars* extras, Reading reading = {});
  struct Char {
    Code code;
    char32_t scalar;
  };
  // Calls f with every character: code page 932's and the fixed codes, then the extras'.
  template <typename F>
  void ForEachChar(F&& f) const {
    for (const Char& c : *fixed_) f(c);
    for (const Char& c : extra_chars_) f(c);
  }
  // Those that come from the extras.
  std::span<const Char> extra_chars() const { return extra_chars_; }
  // The scalar of a code, or 0 when it has none (a code no character has).
  char32_t ScalarOf(Code c) const;
  // The codes whose scalars are in a class RE2 reads (such as "\\p{Han}"); an empty set, with
  // `known` false, for a name it does not know.
  CodeSet Named(const std::string& re2_class, bool* known) const;

 private:
  std::shared_ptr<const std::vector<Char>> fixed_;  // code page 932 and the fixed codes
  std::vector<Char> extra_chars_;                   // shared by no query: made for each
  const ExtraChars* extras_;

 public:
  const Reading reading;
};

struct RegexNode {
  enum class Kind {
    kEmpty,      // matches the empty text
    kChar,       // one character: code
    kSet,        // a character of set (after folding, outside it when negated)
    kAny,        // any character
    kConcat,     // children in a row
    kAlternate,  // the first child that leads to a match
    kRepeat,     // children[0], min to max times (max < 0: no bound)
    kGroup,      // children[0], parenthesized
    kAssert,     // an empty match where `assertion` holds: ^ $ \A \z \b \B
  };
  Kind kind = Kind::kEmpty;
  Code code = 0;
  std::shared_ptr<const CodeSet> set;
  bool negated = false;
  bool fold_case = false;  // kChar, kSet: under (?i)
  int min = 0, max = 0;
  bool greedy = true;
  std::string assertion;
  std::vector<RegexNode> children;
  int height = 1;  // of the tree it tops (a leaf's is 1)
};

// Reads a pattern (internal form, `length` bytes); throws PatternError with the byte at fault.
RegexNode ParseRegex(const char* pattern, std::size_t length, const CharUniverse& universe);

// Gives the characters a regex in UTF-8 names by scalar (\x{1F600}, \xE9) that code page 932
// lacks codes in extras, as the characters typed in a pattern are given them, so that text in
// other encodings reads them alike.
void AddEscapedChars(std::string_view utf8_pattern, Reading reading, ExtraChars& extras);

// Whether a regex (any encoding whose ASCII is ASCII) sets the case flag anywhere: (?i) or (?i:..).
// Its text is then read with FoldReadCase, so that its (?i) parts meet letters code page 932 lacks
// as -i does.
bool RegexFoldsCase(std::string_view pattern);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_REGEX_SYNTAX_H_
