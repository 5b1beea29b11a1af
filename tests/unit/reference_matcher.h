// Slow, literal matchers for cross-checking the compiled ones: each follows the textual
// description of the language step by step, reading the pattern text as it goes, with no
// compilation, no skipping of start positions and no precomputed folding of the pattern (each
// character is folded as it is compared, under the flags the matcher is given).
#ifndef KENSAKU_TESTS_UNIT_REFERENCE_MATCHER_H_
#define KENSAKU_TESTS_UNIT_REFERENCE_MATCHER_H_

#include <cstring>

#include "match/conjunctive.h"
#include "match/match_span.h"
#include "match/pattern.h"
#include "mbchar/char_array.h"
#include "mbchar/fold.h"

namespace kensaku::reference {

class Matcher {
 public:
  // strict: MatchOptions::strict, where '.' and sets take neither the end of the line nor a
  // broken character (a lead byte alone, or 0xFF).
  explicit Matcher(int fold_flags = 0, bool strict = false)
      : fold_(FoldTable::For(fold_flags)), strict_(strict) {}

  MatchSpan At(MatchSpan& span, const char*& cursor, const char* pattern) {
    span = MatchSpan{0, cursor, cursor};
    if (cursor == nullptr || pattern == nullptr) return span;
    prev_ = MbChar(kNoneCode);
    const char* p = pattern;
    const char* remembered = cursor;
    bool zero_width = false;
    if (DecodeText(p).code == '@') {
      zero_width = true;
      p += 1;
    }
    if (DecodeText(p).code == '*') p += 1;
    while (*p != '\0') {
      span.matched = Element(cursor, p);
      if (!span.matched) break;
      span.end = cursor;
    }
    if (zero_width) {
      cursor = remembered;
      if (span.matched) span.end = span.start;
    }
    return span;
  }

  MatchSpan Scan(MatchSpan& span, const char*& cursor, const char* pattern) {
    if (cursor == nullptr || pattern == nullptr) return span;
    span = MatchSpan{0, cursor, cursor};
    if (*cursor == '\0' && *pattern == '\0') {
      span.matched = 1;
      return span;
    }
    if (*cursor == '\0' || *pattern == '\0') return span;
    while (*cursor != '\0') {
      const char* q = cursor;
      At(span, cursor, pattern);
      if (span.matched) return span;
      cursor = q;
      NextChar(cursor);
    }
    return span;
  }

  MatchSpan Conjunctive(MatchSpan& span, const char*& cursor, const char* pattern) {
    if (cursor == nullptr || pattern == nullptr || *pattern == '\0' || *cursor == '\0') {
      span.matched = 0;
      return span;
    }
    char buffer[256] = {};
    std::memcpy(buffer, pattern, std::min<std::size_t>(255, std::strlen(pattern)));
    TermList terms{};
    SplitTerms(terms, buffer);
    if (terms[0] == nullptr) {
      span.matched = 0;
      return span;
    }
    const MatchSpan first = Scan(span, cursor, terms[0]);
    if (!first.matched) return span;
    for (int i = 1; i < kMaxTerms && terms[i] != nullptr; ++i) Scan(span, cursor, terms[i]);
    span.start = first.start;
    return span;
  }

 private:
  Code F(MbChar c) const { return fold_[c.code]; }
  bool Refused(MbChar c) const {
    return strict_ &&
           (c.code == kNullCode || c.code == 0xFF || (c.IsSingle() && IsLeadByte(c.code)));
  }
  static void Step(const char*& s, MbChar c) {
    if (*s != '\0') s += c.ByteCount();
  }

  int Element(const char*& s, const char*& p) {
    const MbChar sc = DecodeText(s);
    MbChar pc = NextChar(p);
    switch (pc.code) {
      case '#': {
        const char* remembered = p;
        if (!Element(s, p)) p = remembered;
        return 1;
      }
      case '*':
        if (prev_.code != kNoneCode && prev_.code != kNullCode) {
          const Code t = F(prev_);
          while (*s != '\0' && F(DecodeText(s)) == t) Step(s, DecodeText(s));
        }
        prev_ = MbChar(kNoneCode);
        return 1;
      case '.':
        Step(s, sc);
        return !Refused(sc);
      case '[': {
        prev_ = MbChar(kNoneCode);
        const int r = Class(sc, p) && !Refused(sc);
        if (r) prev_ = sc;
        Step(s, sc);
        return r;
      }
      case '\\':
        p -= 1;
        pc = ReadPatternChar(p);
        [[fallthrough]];
      default: {
        prev_ = sc;
        const int r = F(pc) == F(sc);
        Step(s, sc);
        return r;
      }
    }
  }

  int Class(MbChar s, const char*& p) const {
    if (DecodeText(p).code == '[') p += 1;
    const char* close = FindClassEnd(p);
    if (close == nullptr) return 0;
    const Code f = F(s);
    const char* q = p;
    int negate = 0;
    if (DecodeText(q).code == '^') {
      negate = 1;
      q += 1;
    }
    int hit = 0;
    while (!hit && q < close) {
      const Code lo = F(ReadPatternChar(q));
      if (q < close && DecodeText(q).code == '-') {
        q += 1;
        const Code hi = q < close ? F(ReadPatternChar(q)) : F(MbChar(kNullCode));
        hit = (lo <= f && f <= hi) || (hi <= f && f <= lo);
      } else {
        hit = f == lo;
      }
    }
    p = close + 1;
    return hit ^ negate;
  }

  const FoldTable& fold_;
  bool strict_;
  MbChar prev_{kNoneCode};
};

// Where the tool's rules find a pattern at fault, read from its start as Matcher::At reads it:
// a '#' (or run of them) with nothing after it, a '[' without its ']', a range with its end
// written before its start (one without an end is none). -1 when there is none.
inline long StrictFault(const char* pattern) {
  const char* p = pattern;
  if (DecodeText(p).code == '@') p += 1;
  if (DecodeText(p).code == '*') p += 1;
  while (*p != '\0') {
    const char* at = p;
    switch (NextChar(p).code) {
      case '#':
        while (*p == '#') p += 1;
        if (*p == '\0') return at - pattern;
        break;
      case '\\':
        p = at;
        ReadPatternChar(p);
        break;
      case '[': {
        if (DecodeText(p).code == '[') p += 1;
        const char* close = FindClassEnd(p);
        if (close == nullptr) return at - pattern;
        const char* q = p;
        if (DecodeText(q).code == '^') q += 1;
        while (q < close) {
          const char* range = q;
          const Code lo = ReadPatternChar(q).code;
          if (q < close && DecodeText(q).code == '-') {
            q += 1;
            if (q < close && ReadPatternChar(q).code < lo) return range - pattern;
          }
        }
        p = close + 1;
        break;
      }
      default:
        break;
    }
  }
  return -1;
}

// Inclusion exactly as the character arrays do it.
inline int IncludesAt(const char* p, const char* pattern, int fold_flags = 0) {
  if (p == nullptr || pattern == nullptr) return 0;
  const FoldTable& fold = FoldTable::For(fold_flags);
  if (fold.Fold(DecodeText(p)) != fold.Fold(DecodeText(pattern))) return 0;
  CharArray a(pattern, fold_flags);
  const int n = a.CountChars();
  if (n <= 1) return 1;
  CharArray b(n, fold_flags);
  b.Assign(p);
  return b.EqualsIgnoringNulls(a) ? 1 : 0;
}

inline int FindInclusion(const char* line, const char* pattern, int fold_flags = 0) {
  if (line == nullptr) return 0;
  int position = 1;
  for (const char* p = line; *p != '\0'; p += DecodeText(p).ByteCount()) {
    if (IncludesAt(p, pattern, fold_flags)) return position;
    position += DecodeText(p).ByteCount();
  }
  return 0;
}

}  // namespace kensaku::reference

#endif  // KENSAKU_TESTS_UNIT_REFERENCE_MATCHER_H_
