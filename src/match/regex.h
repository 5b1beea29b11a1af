// Regular expressions compared under fold flags, on RE2 (linear in the text and the pattern).
//
// A line is matched in its folded form: each character of the internal form becomes one scalar,
// the one its fold gives (so two characters that fold alike are one scalar), and the tree of
// match/regex_syntax.h is written for RE2 over those scalars: a character as its fold's scalar, a
// set as the scalars of its members' folds (and of every character that folds as they do under
// (?i)), a negated set as the others. Characters that fold to an ASCII letter or digit take that
// letter's scalar, so that \b sees them as RE2 sees word characters.
//
// Every match holds one of a few literals found in the tree: their bytes feed the byte finders,
// so that most lines are never handed to RE2. Tests: python/tests/test_regex.py (generated
// expressions against Python's re on the text as read, every fold and encoding),
// tests/conformance/regex_peers_test.py (against ripgrep and grep -E) and fuzz/regex_fuzz.cpp.
#ifndef KENSAKU_SRC_MATCH_REGEX_H_
#define KENSAKU_SRC_MATCH_REGEX_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "match/byte_finder.h"
#include "match/entry_hint.h"
#include "match/inclusion.h"
#include "match/match_options.h"
#include "match/match_span.h"
#include "mbchar/internal_text.h"

namespace re2 {
class RE2;
}

namespace kensaku {

class ScalarRow;

class Regex {
 public:
  // Throws PatternError for a pattern the syntax cannot read, and for any pattern in a build
  // without RE2.
  Regex(const char* pattern, const MatchOptions& options, const ExtraChars* extras);
  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;

  // The literals a pattern matches exactly, when it is no more than that: no anchor, no (?i),
  // and no literal beginning another (so that the leftmost-first match is the longest too).
  // Such a regex is searched as those literals. False for any other, or one that cannot be read.
  static bool AsLiterals(const char* pattern, int fold_flags, const ExtraChars* extras,
                         std::vector<std::string>& literals);

  // The same regex in the pattern language, when it is a row of single characters: characters,
  // sets, '.' and fixed counts of them, perhaps after '^'; no alternative, no other anchor, no
  // (?i). Each set is written as the folds of its members, which the pattern's sets compare
  // under the same flags, so that both select the same lines with the same parts. False for any
  // other, or one that cannot be read.
  static bool AsPattern(const char* pattern, int fold_flags, const ExtraChars* extras,
                        std::string& out);

  // A line in the folded form RE2 reads, and where each of its bytes was in the line.
  struct Folded {
    std::string text;
    std::vector<std::uint32_t> at;  // by byte of text, and one for its end
  };
  // text[0, n), in the internal form, folded; `at` is filled only `with_places`.
  void Fold(const char* text, std::size_t n, Folded& folded, bool with_places = true) const;
  // Whether some match is in a folded line (its places need not be filled).
  bool Matches(const Folded& folded) const;
  // The first match in a folded line that begins at or after byte `from` of it (a character's
  // start), as bytes of the folded line. False when there is none.
  bool Find(const Folded& folded, std::size_t from, std::size_t& start, std::size_t& end) const;
  // The pattern as RE2 reads it (for the tests).
  const std::string& program() const { return program_; }
  // The same for UTF-8 text as it is, read with the query's extras, over many lines at once
  // (a match never leaves its line): a line that holds no variation selector, voicing mark or
  // NUL holds a match of it exactly when the pattern matches the line as read. Empty when
  // there is none (as the exports read, or \b under the width fold).
  const std::string& direct_program() const { return direct_program_; }
  // The same found without RE2, for a pattern that is a row of single characters (AsPattern's
  // rows, (?i) too); null for any other.
  const std::shared_ptr<const ScalarRow>& direct_row() const { return direct_row_; }
  // Whether every match, under the folds, is of ASCII characters and needs no word boundary:
  // then in code page 932 text the direct program finds every line that matches (and lines
  // whose trail bytes look like a match), for those lines to be tried.
  bool ascii_only() const { return ascii_only_; }
  // The same for code page 932 text as it is, byte by byte (RE2's Latin-1), matched from a
  // character's start: a line that holds no NUL, no byte 0xEF, no lead byte without its trail
  // and no voicing mark that may join a kana (PlainCp932) holds a match of it exactly when the
  // pattern matches the line. Empty where there is no direct program, for an ASCII one, and
  // with \b (a trail byte may be a letter).
  const std::string& cp932_program() const { return cp932_program_; }
  // Literals in the internal form one of which every match holds, and the fold flags they are
  // compared under; none when the pattern has no such literals.
  const std::vector<std::string>& literals() const { return literals_; }
  int literal_flags() const { return literal_flags_; }

 private:
  std::unique_ptr<re2::RE2> re_;
  std::string program_;
  std::string direct_program_;
  std::shared_ptr<const ScalarRow> direct_row_;
  std::string cp932_program_;
  const std::uint64_t* forms_ = nullptr;  // by code: the UTF-8 of its scalar, length in byte 7
  bool ascii_itself_ = false;             // forms_ of every ASCII byte is the byte
  bool ascii_only_ = false;
  std::vector<std::string> literals_;
  int literal_flags_ = 0;
};

// Code page 932 programs (Regex::cp932_program, one or several joined by |) as run over many
// lines at once: matched from each line's start, a character at a time (never from a trail
// byte), read by RE2 as Latin-1.
std::string Cp932FromLineStart(const std::string& programs);

// A regex entry of a list, for the line searches (match/list_entry.h).
class LineRegex {
 public:
  static constexpr bool kWholeLinesOnly = false;
  static constexpr bool kCountsHitLines = false;

  LineRegex(const char* text, const MatchOptions& options, const ExtraChars* extras);
  const ByteFinder& required() const { return required_; }
  ByteRuns RequiredIn(const FormsIn& in, bool* whole = nullptr) const;
  const Regex& regex() const { return regex_; }

  template <typename OnHit>
  void Test(const char* line, std::size_t length, bool first_only, MatchSpan& span, OnHit&& on_hit,
            EntryHint hint = {}) const {
    if (!required_.In(line, length, hint.presence)) {
      span.matched = 0;
      return;
    }
    thread_local Regex::Folded folded;
    regex_.Fold(line, length, folded, !first_only);
    if (first_only) {
      // A line selected needs no place: the match is reported as the whole line.
      if (!regex_.Matches(folded)) {
        span.matched = 0;
        return;
      }
      span = MatchSpan{1, line, line + length};
      on_hit(span);
      return;
    }
    std::size_t from = 0, start = 0, end = 0;
    while (from <= folded.text.size() && regex_.Find(folded, from, start, end)) {
      span = MatchSpan{1, line + folded.at[start], line + folded.at[end]};
      on_hit(span);
      if (first_only) return;
      // After an empty match the next one begins a character later.
      from = end;
      if (end == start) {
        do {
          ++from;
        } while (from < folded.text.size() && (folded.text[from] & 0xC0) == 0x80);
      }
    }
    span.matched = 0;
  }

 private:
  Regex regex_;
  std::vector<Inclusion> literals_;
  ByteFinder required_;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_REGEX_H_
