#include "match/pattern.h"

#include <cstring>

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

MbChar NextChar(const char*& cursor) {
  if (cursor == nullptr || *cursor == '\0') return MbChar(kNullCode);
  const MbChar c = DecodeText(cursor);
  cursor += c.ByteCount();
  return c;
}

MbChar ReadPatternChar(const char*& cursor) {
  MbChar c = NextChar(cursor);
  if (c.code != '\\') return c;
  c = NextChar(cursor);
  if (c.code == 'r') return MbChar('\r');
  if (c.code == 't') return MbChar('\t');
  return c;
}

const char* FindClassEnd(const char* cursor) {
  while (cursor != nullptr && *cursor != '\0') {
    const char* at = cursor;
    const Code raw = DecodeText(cursor).code;
    if (ReadPatternChar(cursor).code == ']' && raw != '\\') return at;
  }
  return nullptr;
}

Pattern::Pattern(const char* text) {
  if (text == nullptr) return;
  null_ = false;
  text_empty_ = *text == '\0';
  const Code* fold = FoldMap();
  const char* p = text;
  if (*p == '@') {
    zero_width_ = true;
    ++p;
  }
  if (*p == '*') ++p;
  while (*p != '\0') {
    // A run of '#' acts as one: only the innermost element can fail.
    bool skip = false;
    while (*p == '#') {
      skip = true;
      ++p;
    }
    Element e{Op::kChar, skip, skip, false, kNullCode, 0, 0};
    if (*p == '\0') {
      // A final '#' compares the end of the pattern with the subject, once.
      e.retry = false;
      elements_.push_back(e);
      break;
    }
    const char* element_start = p;
    const MbChar c = NextChar(p);
    switch (c.code) {
      case '*':
        e.op = Op::kRepeat;
        break;
      case '.':
        e.op = Op::kAny;
        break;
      case '[':
        CompileClass(p, e);
        break;
      case '\\':
        p = element_start;
        e.code = fold[ReadPatternChar(p).code];
        break;
      default:
        e.code = fold[c.code];
        break;
    }
    if (elements_.empty() && !e.skip) FindFirstBytes(e);
    elements_.push_back(e);
    if (e.op == Op::kBadClass) {
      // Nothing after an unterminated set is ever reached.
      never_ = true;
      break;
    }
  }
}

void Pattern::FindFirstBytes(const Element& e) {
  if (e.op == Op::kChar) {
    literal_first_ = true;
    first_bytes_ = FirstBytesFoldingTo(e.code);
    return;
  }
  // A set that names few characters narrows the starts as well; large or negated ones do not.
  constexpr unsigned kMaxCodes = 512;
  if (e.op != Op::kClass || e.negate) return;
  unsigned codes = 0;
  for (std::uint32_t i = 0; i < e.range_count; ++i) {
    const Range& r = ranges_[e.first_range + i];
    codes += static_cast<unsigned>(r.hi - r.lo) + 1;
  }
  if (codes > kMaxCodes) return;
  for (std::uint32_t i = 0; i < e.range_count; ++i) {
    const Range& r = ranges_[e.first_range + i];
    AddFirstBytesFoldingInto(r.lo, r.hi, first_bytes_);
  }
  literal_first_ = true;
}

void Pattern::CompileClass(const char*& p, Element& e) {
  if (*p == '[') ++p;  // a second '[' directly after the first is no member
  const char* close = FindClassEnd(p);
  if (close == nullptr) {
    e.op = Op::kBadClass;
    return;
  }
  const Code* fold = FoldMap();
  e.op = Op::kClass;
  e.first_range = static_cast<std::uint32_t>(ranges_.size());
  const char* q = p;
  if (q < close && *q == '^') {
    e.negate = true;
    ++q;
  }
  while (q < close) {
    const Code lo = fold[ReadPatternChar(q).code];
    Code hi = lo;
    if (q < close && *q == '-') {
      ++q;
      hi = q < close ? fold[ReadPatternChar(q).code] : fold[kNullCode];
    }
    ranges_.push_back(lo <= hi ? Range{lo, hi} : Range{hi, lo});
  }
  e.range_count = static_cast<std::uint32_t>(ranges_.size()) - e.first_range;
  p = close + 1;
}

int MatchClass(Code folded, const Pattern& pattern, std::size_t index) {
  const Pattern::Element& e = pattern.elements_[index];
  const Pattern::Range* r = pattern.ranges_.data() + e.first_range;
  bool hit = false;
  for (std::uint32_t i = 0; i < e.range_count && !hit; ++i) {
    hit = r[i].lo <= folded && folded <= r[i].hi;
  }
  return hit != e.negate;
}

int ConsumeRun(const char*& subject, Code prev) {
  if (subject == nullptr || prev == kNoneCode || prev == kNullCode) return 0;
  const Code* fold = FoldMap();
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
    ConsumeRun(subject, prev);
    prev = kNoneCode;
    return 1;
  }
  int length = 0;
  const Code f = FoldMap()[SubjectChar(Bytes(subject), length)];
  subject += length;  // stepped over whatever the result, which is what lets '#' skip
  switch (e.op) {
    case Op::kChar:
      prev = f;
      return e.code == f;
    case Op::kAny:
      return 1;
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

MatchSpan MatchAt(MatchSpan& span, const char*& cursor, const Pattern& pattern) {
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
  if (pattern.zero_width_) {
    cursor = start;
    if (span.matched) span.end = span.start;
  }
  return span;
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

MatchSpan MatchScan(MatchSpan& span, const char*& cursor, const Pattern& pattern) {
  if (cursor == nullptr || pattern.null_) return span;
  span = MatchSpan{0, cursor, cursor};
  if (*cursor == '\0') {
    span.matched = pattern.text_empty_ ? 1 : 0;
    return span;
  }
  if (pattern.text_empty_) return span;
  if (pattern.never_) {
    cursor += std::strlen(cursor);
    return span;
  }
  // Starts whose first character cannot match are passed over without an attempt.
  const Code* fold = FoldMap();
  int length = 0;
  const char* q = cursor;
  while (*q != '\0') {
    if (pattern.literal_first_) {
      q = NextCharStartIn(q, pattern.first_bytes_);
      if (*q == '\0') break;
    }
    if (pattern.StartsAt(Bytes(q), fold)) {
      cursor = q;
      MatchAt(span, cursor, pattern);
      if (span.matched) return span;
    }
    SubjectChar(Bytes(q), length);
    q += length;
  }
  cursor = q;
  return span;
}

ByteSets Pattern::RequiredBytes() const {
  // Each such element takes exactly one character, whose fold is its code.
  std::vector<int> codes;
  for (const Element& e : elements_) codes.push_back(e.op == Op::kChar && !e.skip ? e.code : -1);
  return RequiredRun(codes, [](int c) { return c > 0; });
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
