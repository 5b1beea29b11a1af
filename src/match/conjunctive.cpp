#include "match/conjunctive.h"

#include <cstring>

#include "match/pattern_error.h"
#include "mbchar/mbchar.h"

namespace kensaku {

void MarkTermSeparators(char* text, unsigned separator) {
  char* p = text;
  while (p != nullptr && *p != '\0') {
    const MbChar c = DecodeText(p);
    if (c.code == '[') {
      // Nothing up to the first ']' is examined, escaped or not.
      char* close = TextFindChar(p + 1, ']');
      if (close != nullptr) {
        p = close + 1;
        continue;
      }
    } else if (c.code == '\\') {
      ++p;
      if (*p == '\0') break;
      p += DecodeText(p).ByteCount();
      continue;
    } else if (c.code == separator) {
      *p = TermSeparator;
    }
    p += c.ByteCount();
  }
}

int SplitTerms(TermList& list, char* text) {
  if (text == nullptr || *text == '\0') return 0;
  MarkTermSeparators(text, '&');
  static const char kSeparators[] = {TermSeparator, '\0'};
  char* rest = nullptr;
  list[0] = TextToken(text, kSeparators, &rest);
  int i = 1;
  for (; list[i - 1] != nullptr && i < kMaxTerms; ++i) {
    list[i] = TextToken(nullptr, kSeparators, &rest);
  }
  return i;
}

Conjunctive::Conjunctive(const char* text, const MatchOptions& options) {
  if (text == nullptr || *text == '\0') return;
  usable_ = true;
  char buffer[kMaxTermBytes + 1] = {};
  std::strncpy(buffer, text, kMaxTermBytes);
  TermList terms{};
  SplitTerms(terms, buffer);
  for (char* term : terms) {
    if (term == nullptr) break;
    try {
      terms_.emplace_back(term, options);
    } catch (const PatternError& e) {
      // Terms lie where they were in the text: a fault's place in the term is one in the text.
      throw PatternError(e.position() + static_cast<std::size_t>(term - buffer), e.what());
    }
  }
}

ByteRuns Conjunctive::RequiredBytes(std::size_t* chars_before, bool* whole,
                                    const FormsIn& in) const {
  if (chars_before != nullptr) *chars_before = Pattern::kVaries;
  if (whole != nullptr) *whole = false;
  if (terms_.size() == 1) return terms_[0].RequiredBytes(chars_before, whole, in);
  ByteRuns best;
  for (const Pattern& term : terms_) {
    ByteRuns runs = term.RequiredBytes(nullptr, nullptr, in);
    if (detail::Selectivity(runs) > detail::Selectivity(best)) best = std::move(runs);
  }
  return best;
}

MatchSpan MatchConjunctive(MatchSpan& span, const char*& cursor, const Conjunctive& pattern,
                           const char* no_start_before) {
  if (cursor == nullptr || !pattern.usable_ || *cursor == '\0' || pattern.terms_.empty()) {
    span.matched = 0;
    return span;
  }
  const MatchSpan first = MatchScan(span, cursor, pattern.terms_[0], no_start_before);
  if (!first.matched) return span;
  // A failed term leaves the cursor at the terminator, where every later term fails too.
  for (std::size_t i = 1; i < pattern.terms_.size() && span.matched; ++i) {
    MatchScan(span, cursor, pattern.terms_[i]);
  }
  span.start = first.start;
  return span;
}

}  // namespace kensaku
