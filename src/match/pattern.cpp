#include "match/pattern.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "frame/find_byte.h"
#include "match/linear_scan.h"
#include "match/pattern_error.h"
#include "mbchar/fold.h"
#include "mbchar/internal_text.h"

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

Pattern::Pattern(const char* text, const MatchOptions& options)
    : fold_(&FoldTable::For(options.fold_flags)), limits_(options.limits) {
  if (text == nullptr) return;
  null_ = false;
  strict_ = options.strict;
  text_empty_ = *text == '\0';
  const Code* fold = fold_->map();
  const char* p = text;
  if (*p == '@') {
    zero_width_ = true;
    ++p;
  }
  if (*p == '*') ++p;
  while (*p != '\0') {
    // A run of '#' acts as one: only the innermost element can fail.
    bool skip = false;
    const char* const skip_start = p;
    while (*p == '#') {
      skip = true;
      ++p;
    }
    Element e{Op::kChar, skip, skip, false, kNullCode, 0, 0};
    if (*p == '\0') {
      if (strict_) {
        throw PatternError(static_cast<std::size_t>(skip_start - text),
                           "'#' with nothing after it");
      }
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
        CompileClass(p, e, text);
        if (strict_ && e.op == Op::kBadClass) {
          throw PatternError(static_cast<std::size_t>(element_start - text), "'[' without its ']'");
        }
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
    first_bytes_ = FirstBytesFoldingTo(e.code, *fold_);
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
    AddFirstBytesFoldingInto(r.lo, r.hi, *fold_, first_bytes_);
  }
  literal_first_ = true;
}

void Pattern::CompileClass(const char*& p, Element& e, const char* text) {
  if (*p == '[') ++p;  // a second '[' directly after the first is no member
  const char* close = FindClassEnd(p);
  if (close == nullptr) {
    e.op = Op::kBadClass;
    return;
  }
  const Code* fold = fold_->map();
  e.op = Op::kClass;
  e.first_range = static_cast<std::uint32_t>(ranges_.size());
  const char* q = p;
  if (q < close && *q == '^') {
    e.negate = true;
    ++q;
  }
  while (q < close) {
    const std::size_t at = static_cast<std::size_t>(q - text);
    const Code first = ReadPatternChar(q).code;
    Code last = first;
    if (q < close && *q == '-') {
      ++q;
      last = q < close ? ReadPatternChar(q).code : kNullCode;
      // Ends are ordered as written; folding may turn them, which is no fault of the pattern. A
      // range without its end ("[a-]") runs from the null, as the exports have always read it.
      if (strict_ && last != kNullCode && last < first) {
        throw PatternError(at, "range whose end comes before its start");
      }
    }
    const Code lo = fold[first], hi = fold[last];
    ranges_.push_back(lo <= hi ? Range{lo, hi} : Range{hi, lo});
  }
  e.range_count = static_cast<std::uint32_t>(ranges_.size()) - e.first_range;
  p = close + 1;
}

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

struct PatternScanner {
  // MatchAt, adding to work the elements it tried and the bytes it went over.
  static MatchSpan At(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                      std::size_t& work);
  // The first match from `from` on, found without trying the starts one by one; false when the
  // pattern is of a shape this cannot take (then nothing was changed).
  static bool Scan(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                   const char* from);

 private:
  static bool ScanLiteral(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                          const char* from);
  static bool ScanElements(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                           const char* from);
  static bool Finish(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                     const char* from, const FoldedLine& line, std::size_t start);
};

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

bool PatternScanner::Scan(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                          const char* from) {
  if (pattern.elements_.empty()) {
    // Nothing to match ("*", "@"): no attempt ever succeeds.
    cursor = from + TextBytes(from);
    span = MatchSpan{0, cursor, cursor};
    return true;
  }
  bool literal = true;
  for (const Pattern::Element& e : pattern.elements_) {
    literal = literal && e.op == Pattern::Op::kChar && !e.skip && e.code != kNullCode;
  }
  if (literal) return ScanLiteral(span, cursor, pattern, from);
  return ScanElements(span, cursor, pattern, from);
}

bool PatternScanner::Finish(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                            const char* from, const FoldedLine& line, std::size_t start) {
  if (start >= line.codes.size()) {
    cursor = from + line.offsets.back();
    span = MatchSpan{0, cursor, cursor};
    return true;
  }
  // The attempt at the start found gives the span, and checks the finding.
  const char* at = from + line.offsets[start];
  cursor = at;
  MatchAt(span, cursor, pattern);
  if (span.matched == 0) CountLinearMiss(pattern.limits_);
  return span.matched != 0;
}

bool PatternScanner::ScanLiteral(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                                 const char* from) {
  const FoldedLine line = DecodeFolded(from, *pattern.fold_);
  std::vector<Code> needle;
  needle.reserve(pattern.elements_.size());
  for (const Pattern::Element& e : pattern.elements_) needle.push_back(e.code);
  return Finish(span, cursor, pattern, from, line, FindCodes(line.codes, 0, needle));
}

// Every start at once, from the end of the line back. The attempt from one start is a path
// through states (element i to try next; after a failed '#', the same element once more; inside
// the run of a '*'), each step fixed by the state and the characters at and just before it. So
// whether a state at a position leads to a match depends on that state and position alone, and
// the positions can be taken from the last to the first, the states of each as bits: a start
// matches when element 0 at it leads to a match. The first such start is the scan's answer.
bool PatternScanner::ScanElements(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                                  const char* from) {
  using Op = Pattern::Op;
  constexpr std::size_t kMaxElements = 1024;
  const std::size_t n = pattern.elements_.size();
  if (n > kMaxElements) return false;
  const std::size_t words = (n + 1 + 63) / 64;  // bit n: the pattern has matched
  using Bits = std::vector<std::uint64_t>;
  auto get = [](const Bits& b, std::size_t i) { return (b[i >> 6] >> (i & 63)) & 1; };
  auto put = [](Bits& b, std::size_t i, bool v) {
    const std::uint64_t m = std::uint64_t{1} << (i & 63);
    b[i >> 6] = v ? b[i >> 6] | m : b[i >> 6] & ~m;
  };

  // Elements that take one character: plainly, with a retry after failing ('#'), or the final
  // '#', which takes one whatever it is.
  Bits once(words, 0), retried(words, 0), final_skip(words, 0);
  struct Repeat {
    std::size_t index;
    enum { kNothing, kCode, kClassChar } source;
    Code code;          // kCode: the character repeated
    std::size_t back;   // kClassChar: the repeated character is this many before the run
  };
  std::vector<Repeat> repeats;  // last first
  for (std::size_t i = 0; i < n; ++i) {
    const Pattern::Element& e = pattern.elements_[i];
    if (e.op == Op::kRepeat) {
      // What '*' repeats: the character of the nearest element before it that sets one ('.'
      // passes it on; a '*' leaves nothing).
      Repeat r{i, Repeat::kNothing, kNullCode, 0};
      std::size_t dots = 0;
      for (std::size_t j = i; j-- > 0;) {
        const Pattern::Element& b = pattern.elements_[j];
        if (b.op == Op::kAny) {
          ++dots;
          continue;
        }
        if (b.op == Op::kChar) r = Repeat{i, Repeat::kCode, b.code, 0};
        if (b.op == Op::kClass) r = Repeat{i, Repeat::kClassChar, kNullCode, dots + 1};
        break;
      }
      repeats.push_back(r);
    } else if (e.skip && !e.retry) {
      put(final_skip, i, true);
    } else if (e.skip) {
      put(retried, i, true);
    } else {
      put(once, i, true);
    }
  }
  std::reverse(repeats.begin(), repeats.end());

  const FoldedLine line = DecodeFolded(from, *pattern.fold_);
  const std::size_t length = line.codes.size();
  auto code_at = [&](std::size_t p, std::size_t back) -> Code {
    return p >= back && p - back < length ? line.codes[p - back] : kNullCode;
  };

  // Which elements take a folded character, and which '*' start a run on it, by character, made
  // when first needed.
  Bits repeat_bits(words, 0), sourced(words, 0);
  std::vector<std::pair<std::size_t, Bits>> by_back;  // '*' after a set, by distance back
  std::vector<std::size_t> chained;                   // '*' directly before another, last first
  for (const Repeat& r : repeats) {
    put(repeat_bits, r.index, true);
    if (r.source != Repeat::kNothing) put(sourced, r.index, true);
    if (r.index + 1 < n && pattern.elements_[r.index + 1].op == Op::kRepeat) {
      chained.push_back(r.index);
    }
    if (r.source != Repeat::kClassChar) continue;
    auto group = std::find_if(by_back.begin(), by_back.end(),
                              [&](const auto& g) { return g.first == r.back; });
    if (group == by_back.end()) group = by_back.insert(by_back.end(), {r.back, Bits(words, 0)});
    put(group->second, r.index, true);
  }
  // A table by code pays off on long lines only; short ones look their few characters up.
  std::vector<std::int32_t> table(length >= 16384 ? 0x10000 : 0, -1);
  std::unordered_map<Code, std::int32_t> found;
  auto slot_of = [&](Code c) -> std::int32_t& {
    return table.empty() ? found.try_emplace(c, -1).first->second : table[c];
  };
  std::vector<Bits> masks;  // per character: what takes it, then what enters a run on it
  auto takes = [&](Code c) -> const std::uint64_t* {
    std::int32_t& slot = slot_of(c);
    if (slot < 0) {
      Bits m(2 * words, 0);
      for (std::size_t i = 0; i < n; ++i) {
        const Pattern::Element& e = pattern.elements_[i];
        bool t = false;
        if (e.op == Op::kChar) t = e.code == c;
        if (e.op == Op::kAny) t = !pattern.strict_ || !Unmatchable(c);
        if (e.op == Op::kClass) t = MatchClass(c, pattern, i) != 0;
        put(m, i, t);
      }
      for (const Repeat& r : repeats) {
        if (r.source == Repeat::kCode && r.code == c) put(m, words * 64 + r.index, true);
      }
      slot = static_cast<std::int32_t>(masks.size());
      masks.push_back(std::move(m));
    }
    return masks[static_cast<std::size_t>(slot)].data();
  };

  // The states at position p that lead to a match, from those at p + 1.
  Bits next(words, 0), plain(words, 0), run(words, 0);  // at p + 1
  Bits now(words, 0), now_plain(words, 0), now_run(words, 0), shifted(words, 0);
  Bits enter(words, 0);
  auto shift_down = [&](const Bits& from, Bits& to) {  // bit i of to = bit i + 1 of from
    for (std::size_t w = 0; w < words; ++w) {
      to[w] = from[w] >> 1 | (w + 1 < words ? from[w + 1] << 63 : 0);
    }
  };
  auto step = [&](std::size_t p) {
    const Code c = code_at(p, 0);
    const std::uint64_t* t = takes(c);
    const std::uint64_t* enters_on = t + words;
    shift_down(next, shifted);
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t advance = t[w] & shifted[w];
      now[w] = (once[w] & advance) | (retried[w] & (advance | (~t[w] & plain[w]))) |
               (final_skip[w] & shifted[w]);
      now_plain[w] = retried[w] & advance;
    }
    put(now, n, true);
    if (repeats.empty()) return;
    // A '*' either takes the character and runs on, or hands it to the element after it.
    for (std::size_t w = 0; w < words; ++w) enter[w] = enters_on[w];
    for (const auto& [back, group] : by_back) {
      const Code repeated = code_at(p, back);
      if (repeated == kNullCode || repeated != c) continue;
      for (std::size_t w = 0; w < words; ++w) enter[w] |= group[w];
    }
    const Code before = code_at(p, 1);
    const bool more = before != kNullCode && c == before;
    shift_down(now, shifted);
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t keep = more ? sourced[w] : 0;
      now[w] |= repeat_bits[w] & ((enter[w] & run[w]) | (~enter[w] & shifted[w]));
      now_run[w] = repeat_bits[w] & ((keep & run[w]) | (~keep & shifted[w]));
    }
    for (std::size_t i : chained) {  // the element after is a '*' too, settled just before
      const bool after = get(now, i + 1);
      put(now, i, get(enter, i) ? get(run, i) : after);
      put(now_run, i, more && get(sourced, i) ? get(run, i) : after);
    }
  };
  auto advance_position = [&] {
    next.swap(now);
    plain.swap(now_plain);
    run.swap(now_run);
  };

  // Past the terminator every step reads it again; a path there ends within two steps an element.
  put(next, n, true);
  // Which states lead to a match within k steps grows with k; once a step changes nothing it
  // is the answer for every k after.
  for (std::size_t k = 0; k < 2 * n + 2; ++k) {
    step(length);
    const bool settled = now == next && now_plain == plain && now_run == run;
    advance_position();
    if (settled) break;
  }
  std::vector<bool> matches(length, false);
  for (std::size_t p = length; p-- > 0;) {
    step(p);
    advance_position();
    matches[p] = get(next, 0) != 0;
  }
  std::size_t start = 0;
  while (start < length && !matches[start]) ++start;
  return Finish(span, cursor, pattern, from, line, start);
}

ByteRuns Pattern::RequiredBytes(std::size_t* chars_before, bool* whole, const FormsIn& in) const {
  // Each usable element takes exactly one character, of its code or its set (its forms one per
  // length), and none may be the terminator.
  constexpr unsigned kMaxSetCodes = 0x2000;
  std::vector<char> exact(elements_.size(), 0);
  const Reading reading = ReadingOf(fold_->flags());
  auto forms = [&](std::size_t i, std::vector<ByteSets>& out) {
    const Element& e = elements_[i];
    bool x = false;
    if (e.skip) return false;
    std::vector<Code> chars;
    if (e.op == Op::kChar) {
      if (e.code == kNullCode) return false;
      chars = fold_->Preimages(e.code);
    } else if (e.op == Op::kClass && !e.negate) {
      unsigned codes = 0;
      for (std::uint32_t r = 0; r < e.range_count; ++r) {
        const Range& range = ranges_[e.first_range + r];
        if (range.lo == kNullCode) return false;
        codes += static_cast<unsigned>(range.hi - range.lo) + 1;
      }
      if (codes > kMaxSetCodes) return false;
      for (std::uint32_t r = 0; r < e.range_count; ++r) {
        const Range& range = ranges_[e.first_range + r];
        fold_->ForEachPreimageIn(range.lo, range.hi, [&chars](Code c) { chars.push_back(c); });
      }
      std::sort(chars.begin(), chars.end());
      chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
    } else {
      return false;
    }
    if (!CharForms(chars, out, &x, in)) return false;
    const bool joined = reading.as_read && AddJoinedForms(chars, out, in, reading.spacing);
    exact[i] = x && !joined;
    return true;
  };
  std::size_t start = 0, length = 0;
  ByteRuns runs = RequiredRunOf(elements_.size(), forms, &start, &length);
  if (chars_before != nullptr) {
    // Fixed only when every element before the run takes exactly one character.
    *chars_before = runs.empty() || zero_width_ ? kVaries : start;
    for (std::size_t i = 0; i < start && *chars_before != kVaries; ++i) {
      const Element& e = elements_[i];
      if (e.skip || (e.op != Op::kChar && e.op != Op::kAny && e.op != Op::kClass)) {
        *chars_before = kVaries;
      }
    }
  }
  if (whole != nullptr) {
    *whole =
        runs.size() == 1 && !zero_width_ && !never_ && start == 0 && length == elements_.size();
    for (std::size_t i = 0; i < length && *whole; ++i) *whole = exact[i] != 0;
  }
  return runs;
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
