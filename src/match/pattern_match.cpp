// The pattern language run: one element at a time from a start, without backtracking (MatchAt),
// and the scan that tries one start after another, passing over those the first element cannot
// take, until its attempts cost too much and it hands the line to the linear way
// (linear_scan.cpp).
// Checked by pattern_test (PatternTest: RepeatAndSkip, SpanOfSkipAndZeroWidth, FoldedComparisons,
// StrictRulesRefuseBrokenCharactersAndTheEnd, RepeatStartsFreshInEveryAttempt,
// ThousandsOfSkipsDoNotExhaustTheStack, and the generated AgreesWithReferenceOnGeneratedText
// against reference_matcher.h), conjunctive_test and list_entry_test (LineScanTest).
#include "match/pattern.h"

#include <cstddef>
#include <cstring>

#include "frame/find_byte.h"
#include "match/linear_scan.h"
#include "match/pattern_scanner.h"
#include "mbchar/fold.h"

namespace kensaku {
namespace {

using Byte = unsigned char;

// The subject character at s and its length; 0 bytes at the terminator, which is never passed.
inline Code SubjectChar(const Byte* s, int& length) {
  if (s[0] == 0) {
    length = 0;
    return kNullCode;
  }
  if (IsLeadByte(s[0]) && IsTrailByte(s[1])) {
    length = 2;
    return static_cast<Code>(s[0] << 8 | s[1]);
  }
  length = 1;
  return s[0];
}

inline const Byte* Bytes(const char* p) { return reinterpret_cast<const Byte*>(p); }

}  // namespace

int MatchClass(Code folded, const Pattern& pattern, std::size_t index) {
  if (pattern.strict_ && Unmatchable(folded)) return 0;
  const Pattern::Element& e = pattern.elements_[index];
  const Pattern::Range* r = pattern.ranges_.data() + e.first_range;
  bool hit = false;
  for (std::uint32_t i = 0; i < e.range_count && !hit; ++i) {
    hit = r[i].lo <= folded && folded <= r[i].hi;
  }
  return hit != e.negate;
}

bool Pattern::MayTakeAny(std::span<const Code> codes) const {
  if (null_ || never_) return false;
  const Code* fold = fold_->map();
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    const Element& e = elements_[i];
    if (e.skip || e.op == Op::kAny || e.op == Op::kBadClass) return true;
    for (const Code c : codes) {
      // A repeat takes what the element before it took, which is looked at on its own.
      if ((e.op == Op::kChar && e.code == fold[c]) ||
          (e.op == Op::kClass && MatchClass(fold[c], *this, i))) {
        return true;
      }
    }
  }
  return false;
}

int ConsumeRun(const char*& subject, Code prev, const FoldTable& table) {
  if (subject == nullptr || prev == kNoneCode || prev == kNullCode) return 0;
  const Code* fold = table.map();
  int n = 0;
  int length = 0;
  for (;;) {
    const Code c = SubjectChar(Bytes(subject), length);
    if (length == 0 || fold[c] != prev) return n;
    subject += length;
    ++n;
  }
}

int MatchElement(const char*& subject, const Pattern& pattern, std::size_t index, Code& prev) {
  using Op = Pattern::Op;
  const Pattern::Element& e = pattern.elements_[index];
  if (e.op == Op::kRepeat) {
    ConsumeRun(subject, prev, *pattern.fold_);
    prev = kNoneCode;
    return 1;
  }
  int length = 0;
  const Code f = (*pattern.fold_)[SubjectChar(Bytes(subject), length)];
  subject += length;  // stepped over whatever the result, which is what lets '#' skip
  switch (e.op) {
    case Op::kChar:
      prev = f;
      return e.code == f;
    case Op::kAny:
      return !pattern.strict_ || !Unmatchable(f);
    case Op::kClass:
      if (MatchClass(f, pattern, index)) {
        prev = f;
        return 1;
      }
      prev = kNoneCode;
      return 0;
    default:
      prev = kNoneCode;
      return 0;
  }
}

MatchSpan PatternScanner::At(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                             std::size_t& work) {
  span = MatchSpan{0, cursor, cursor};
  if (cursor == nullptr || pattern.null_ || pattern.never_) return span;
  const char* const start = cursor;
  // Every attempt starts with nothing to repeat, whatever an earlier one left.
  Code prev = kNoneCode;
  const std::size_t n = pattern.elements_.size();
  bool plain = false;  // the element after a failed '#' is tried once more without it
  for (std::size_t i = 0; i < n;) {
    const Pattern::Element& e = pattern.elements_[i];
    const int r = MatchElement(cursor, pattern, i, prev);
    ++work;
    if (e.skip && !plain) {
      if (r == 0 && e.retry) {
        plain = true;
      } else {
        ++i;
      }
      span.matched = 1;
    } else {
      plain = false;
      span.matched = r;
      if (r == 0) break;
      ++i;
    }
    span.end = cursor;
  }
  work += static_cast<std::size_t>(cursor - start);
  if (pattern.zero_width_) {
    cursor = start;
    if (span.matched) span.end = span.start;
  }
  return span;
}

MatchSpan MatchAt(MatchSpan& span, const char*& cursor, const Pattern& pattern) {
  std::size_t work = 0;
  return PatternScanner::At(span, cursor, pattern, work);
}

bool Pattern::StartsAt(const unsigned char* s, const Code* fold) const {
  if (elements_.empty() || elements_[0].skip) return true;
  int length = 0;
  const Code f = fold[SubjectChar(s, length)];
  switch (elements_[0].op) {
    case Op::kChar:
      return f == elements_[0].code;
    case Op::kClass:
      return MatchClass(f, *this, 0) != 0;
    default:
      return true;
  }
}

MatchSpan MatchScan(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                    const char* no_start_before) {
  if (cursor == nullptr || pattern.null_) return span;
  span = MatchSpan{0, cursor, cursor};
  if (*cursor == '\0') {
    span.matched = pattern.text_empty_ ? 1 : 0;
    return span;
  }
  if (pattern.text_empty_) return span;
  if (pattern.never_) {
    cursor += TextBytes(cursor);
    return span;
  }
  // Starts whose first character cannot match are passed over without an attempt.
  const Code* fold = pattern.fold_->map();
  int length = 0;
  const char* const begin = cursor;
  const char* q = cursor;
  std::size_t work = 0;
  bool linear_tried = false;
  if (no_start_before > q) q = CharStartOf(q, no_start_before);
  while (*q != '\0') {
    if (pattern.literal_first_) {
      q = NextCharStartIn(q, pattern.first_bytes_);
      if (*q == '\0') break;
    }
    if (!linear_tried &&
        AttemptsTooCostly(work, static_cast<std::size_t>(q - begin), pattern.limits_)) {
      linear_tried = true;
      if (PatternScanner::Scan(span, cursor, pattern, q)) return span;
    }
    if (pattern.StartsAt(Bytes(q), fold)) {
      cursor = q;
      PatternScanner::At(span, cursor, pattern, work);
      if (span.matched) return span;
    }
    SubjectChar(Bytes(q), length);
    q += length;
  }
  cursor = q;
  return span;
}

ByteString SpanText(const MatchSpan& span) {
  ByteString text;
  if (!span.matched || span.start == nullptr || span.end == nullptr || span.start >= span.end) {
    return text;
  }
  const std::size_t n = static_cast<std::size_t>(span.end - span.start);
  if (n <= static_cast<std::size_t>(kMaxByteString) && text.Reset(static_cast<int>(n)) != nullptr) {
    std::memcpy(text.text(), span.start, n);
  }
  return text;
}

}  // namespace kensaku
