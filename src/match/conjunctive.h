// Conjunctive patterns: terms joined by '&' that must match in order, each after the end of the
// match of the one before. A '&' inside brackets or after a backslash joins nothing. The pattern
// is cut after 255 bytes and holds at most 60 terms.
#ifndef KENSAKU_SRC_MATCH_CONJUNCTIVE_H_
#define KENSAKU_SRC_MATCH_CONJUNCTIVE_H_

#include <array>
#include <vector>

#include "match/match_span.h"
#include "match/pattern.h"

namespace kensaku {

inline constexpr char TermSeparator = '\x1A';
inline constexpr int kMaxTermBytes = 255;
inline constexpr int kMaxTerms = 60;

// Terms in order; the first null entry ends them.
using TermList = std::array<char*, kMaxTerms>;

// Replaces each separator character outside brackets and escapes by TermSeparator, in place.
void MarkTermSeparators(char* text, unsigned separator);

// Marks the text and splits it at TermSeparator into the list; a null entry follows the last
// term when there are fewer than 60. Returns the count of entries written.
int SplitTerms(TermList& list, char* text);

// A conjunctive pattern compiled term by term, each under the same options.
class Conjunctive {
 public:
  explicit Conjunctive(const char* text, const MatchOptions& options = {});
  std::size_t term_count() const { return terms_.size(); }
  // The longest bytes some term requires: every term must match for the whole to match. With
  // chars_before: how many characters every match has before them (Pattern::RequiredBytes),
  // known only when there is one term, which alone may be whole (Pattern::RequiredBytes).
  ByteRuns RequiredBytes(std::size_t* chars_before = nullptr, bool* whole = nullptr,
                         const FormsIn& in = {}) const;
  // Pattern::MayTakeAny of some term.
  bool MayTakeAny(std::span<const Code> codes) const {
    for (const Pattern& term : terms_) {
      if (term.MayTakeAny(codes)) return true;
    }
    return false;
  }

 private:
  friend MatchSpan MatchConjunctive(MatchSpan&, const char*&, const Conjunctive&, const char*);
  bool usable_ = false;  // non-null, non-empty text
  std::vector<Pattern> terms_;
};

// Matches every term in order from the cursor. On success the span runs from the first term's
// match to the end of the last one, and the cursor is where the last term left it. Starts of
// the first term before no_start_before, which the caller knows cannot match, get no attempt.
MatchSpan MatchConjunctive(MatchSpan& span, const char*& cursor, const Conjunctive& pattern,
                           const char* no_start_before = nullptr);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_CONJUNCTIVE_H_
