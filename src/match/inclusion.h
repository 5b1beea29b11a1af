// Inclusion: does the line, at a position, begin with a literal text, compared character by
// character after folding; and where is the first such position, as a 1-based byte count.
//
// One character of the line compares with one character of the pattern whatever their widths:
// under FoldToHalfWidth the line "\x82\x60" "B" (full-width A, then B) includes "AB" at 1.
#ifndef KENSAKU_SRC_MATCH_INCLUSION_H_
#define KENSAKU_SRC_MATCH_INCLUSION_H_

#include <cstddef>
#include <string>
#include <vector>

#include "match/match_options.h"
#include "match/match_span.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

// A literal pattern prepared once under its options' fold flags: its folded first character, its
// character count, and the folded characters a line must show (the pattern written folded and
// read back, so a lone lead byte merges with what folding wrote after it).
class Inclusion {
 public:
  explicit Inclusion(const char* pattern, const MatchOptions& options = {});

  // Bytes that every line including the pattern holds in a row (see Pattern::RequiredBytes).
  // With chars_before: how many characters every inclusion has before the run; with whole:
  // whether the pattern is included exactly where the run begins a character.
  ByteRuns RequiredBytes(std::size_t* chars_before = nullptr, bool* whole = nullptr,
                         const FormsIn& in = {}) const;

  std::size_t bytes() const { return bytes_; }  // what a hit's span covers
  // The end of the line characters an inclusion at p was compared with, which the pattern's bytes
  // need not reach or may pass when folding pairs characters of different widths.
  const char* ComparedEnd(const char* p) const;
  // The byte forms, in another encoding, of the line characters that fold to each character an
  // inclusion compares, in order; false when they cannot tell a hit (a pattern read back shorter
  // than it is, or a character with no forms there).
  bool ComparedForms(const FormsIn& in, std::vector<std::vector<std::string>>& forms) const;

 private:
  friend int IncludesAt(MatchSpan&, const char*, const Inclusion&);
  friend int FindInclusion(MatchSpan&, const char*, const Inclusion&, const char*);
  const FoldTable* fold_ = nullptr;
  ScanLimits limits_;
  bool null_ = true;
  Code first_ = kNoneCode;
  std::size_t count_ = 0;  // characters the line is read for
  std::size_t bytes_ = 0;
  std::vector<Code> folded_;
  FirstBytes first_bytes_;  // of the characters that fold to first_
};

// 1 when the text at p begins with the pattern; sets the span's end then.
int IncludesAt(MatchSpan& span, const char* p, const Inclusion& pattern);

// The 1-based byte position of the first inclusion in the line, or 0. Starts before
// no_start_before, which the caller knows hold none, get no attempt.
int FindInclusion(MatchSpan& span, const char* line, const Inclusion& pattern,
                  const char* no_start_before = nullptr);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_INCLUSION_H_
