#include "search/line_scan.h"

#include <cstring>

#include "frame/settings.h"

namespace kensaku {
namespace {

// How common a byte is in Japanese Shift_JIS text, roughly: line ends, spaces and the lead bytes
// of kana and punctuation most, then the lead bytes of common kanji and frequent ASCII letters.
int Commonness(unsigned char b) {
  if (b == '\n' || b == '\r' || b == ' ' || (b >= 0x81 && b <= 0x83)) return 9;
  if ((b >= 0x88 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA)) return 6;
  if (std::strchr("etaoinsrhl", b) != nullptr && b != 0) return 7;
  if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return 5;
  if (b >= 'A' && b <= 'Z') return 4;
  return 3;
}

void WriteWholeLine(const ScanState& state, Output& out) {
  WriteLineNumber(state, out);
  out.Write(state.line, std::strlen(state.line));
  out.Put('\n');
  out.Flush();
}

}  // namespace

ByteFinder::ByteFinder(ByteSets sets) : sets_(std::move(sets)) {
  constexpr std::size_t kMaxSets = 64;  // longer runs find no fewer lines
  if (sets_.size() > kMaxSets) sets_.resize(kMaxSets);
  const std::size_t m = sets_.size();
  if (m == 1) {
    int n = 0;
    for (int b = 0; b < 256; ++b) {
      if (sets_[0][b]) {
        ++n;
        single_ = b;
      }
    }
    if (n != 1) single_ = -1;
  }
  bool exact = m > 1;
  for (const ByteSet& set : sets_) {
    int n = 0, byte = 0;
    for (int b = 0; b < 256; ++b) {
      if (set[b]) {
        ++n;
        byte = b;
      }
    }
    exact = exact && n == 1;
    exact_.push_back(static_cast<char>(byte));
  }
  if (exact) {
    for (std::size_t i = 0; i < m; ++i) {
      if (Commonness(static_cast<unsigned char>(exact_[i])) <=
          Commonness(static_cast<unsigned char>(exact_[anchor_]))) {
        anchor_ = i;
      }
    }
  } else {
    exact_.clear();
  }
  // Horspool over sets: how far the window may move when its last byte is b.
  for (std::size_t& shift : shift_) shift = m;
  for (std::size_t i = 0; i + 1 < m; ++i) {
    for (int b = 0; b < 256; ++b) {
      if (sets_[i][b]) shift_[b] = m - 1 - i;
    }
  }
}

std::size_t ByteFinder::Find(const char* text, std::size_t n) const {
  const std::size_t m = sets_.size();
  if (m == 0) return 0;
  if (single_ >= 0) {
    const void* hit = std::memchr(text, single_, n);
    return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - text) : n;
  }
  if (n < m) return n;
  if (!exact_.empty()) {
    // memchr runs to each place of the least common byte; the rest is compared there.
    const char* p = text + anchor_;
    const char* const end = text + (n - (m - 1 - anchor_));
    while (p < end) {
      const char* k = static_cast<const char*>(std::memchr(p, exact_[anchor_], end - p));
      if (k == nullptr) return n;
      if (std::memcmp(k - anchor_, exact_.data(), m) == 0) {
        return static_cast<std::size_t>(k - anchor_ - text);
      }
      p = k + 1;
    }
    return n;
  }
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  const ByteSet& last = sets_[m - 1];
  for (std::size_t i = 0; i + m <= n;) {
    const unsigned char c = t[i + m - 1];
    if (last[c]) {
      std::size_t k = 0;
      while (k + 1 < m && sets_[k][t[i + k]]) ++k;
      if (k + 1 == m) return i;
    }
    i += shift_[c];
  }
  return n;
}

LineInclusion::LineInclusion(const char* text)
    : pattern_(text), required_(pattern_.RequiredBytes()) {}

void ReadNextLine(ScanState& state, InputFile& in) {
  state.line = "";
  state.length = 0;
  if (in.failed()) return;
  std::size_t length = 0;
  const char* line = in.ReadLine(length);
  if (line != nullptr) {
    state.line = line;
    state.length = length;
  }
  if (!in.failed()) ++state.lines;
}

void WriteLineNumber(const ScanState& state, Output& out) {
  if (GetLineMode() == 0) return;
  char digits[16];
  int n = 0;
  std::uint32_t v = static_cast<std::uint32_t>(state.lines);
  const bool negative = state.lines < 0;
  if (negative) v = 0u - v;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) digits[n++] = '-';
  char field[24];
  int k = 0;
  for (int pad = 5 - n; pad > 0; --pad) field[k++] = ' ';
  while (n > 0) field[k++] = digits[--n];
  field[k++] = ' ';
  out.Write(field, static_cast<std::size_t>(k));
}

void WriteHit(const ScanState& state, Output& out) {
  if (GetOutputMode() != 0) {
    WriteWholeLine(state, out);
    return;
  }
  const MatchSpan& span = state.span;
  if (!span.matched || span.start == nullptr || span.end == nullptr || span.start >= span.end) {
    return;
  }
  out.Write(span.start, static_cast<std::size_t>(span.end - span.start));
  out.Write("\r\n", 2);
}

namespace {

// The line tests of the pattern and conjunctive searches, given one attempt from a cursor.
template <typename Matcher, typename Attempt>
void TestAnchoredEntry(ScanState& state, Output& out, const AnchoredEntry<Matcher>& entry,
                       Attempt attempt) {
  const char* cursor = state.line;
  if (!entry.usable()) return;
  if ((entry.anchored() || *cursor != '\0') && !entry.required().In(state.line, state.length)) {
    state.span.matched = 0;  // what the attempt would have found
    return;
  }
  if (entry.anchored()) {
    // Only a match from the line start is a hit; a conjunctive one may begin later.
    if (attempt(cursor) && state.span.start == state.line) {
      WriteHit(state, out);
    } else {
      state.span.matched = 0;
    }
    return;
  }
  while (*cursor != '\0') {
    // An attempt that does not match leaves the line: a conjunctive entry without terms would
    // otherwise be tried again from the same place for ever.
    if (!attempt(cursor)) return;
    WriteHit(state, out);
    if (state.span.start == state.span.end || GetOutputMode() != 0) return;
  }
}

}  // namespace

void TestLineMatch(ScanState& state, Output& out, const LinePattern& entry) {
  TestAnchoredEntry(state, out, entry, [&](const char*& cursor) {
    return entry.anchored() ? MatchAt(state.span, cursor, entry.pattern()).matched
                            : MatchScan(state.span, cursor, entry.pattern()).matched;
  });
}

void TestLineMatchs(ScanState& state, Output& out, const LineConjunctive& entry) {
  TestAnchoredEntry(state, out, entry, [&](const char*& cursor) {
    return MatchConjunctive(state.span, cursor, entry.pattern()).matched;
  });
}

void TestLineInc(ScanState& state, Output& out, const LineInclusion& pattern) {
  if (!pattern.required_.In(state.line, state.length)) {
    state.span.matched = 0;
    return;
  }
  if (FindInclusion(state.span, state.line, pattern.pattern_) != 0) WriteWholeLine(state, out);
}

}  // namespace kensaku
