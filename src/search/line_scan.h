// The per-line half of a file search: reading and counting the next line, testing it against one
// pattern of a list, and writing each hit in the form OutputMode and LineMode choose:
//
//   whole lines (OutputMode non-zero):  "    7 " (with LineMode) + line + LF, once per line
//   matched texts (OutputMode 0):       text + CR LF, for every hit of the line
//
// The settings are read when a hit is written, never cached.
#ifndef KENSAKU_SRC_SEARCH_LINE_SCAN_H_
#define KENSAKU_SRC_SEARCH_LINE_SCAN_H_

#include <cstdint>
#include <cstring>
#include <string>

#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/match_span.h"
#include "match/pattern.h"
#include "search/streams.h"

namespace kensaku {

// The record of one search, carried from line to line.
struct ScanState {
  MatchSpan span;          // the latest match attempt of the search
  std::int32_t lines = 0;  // lines read so far; the number of the line being tested
  const char* line = "";   // the line last read, NUL-terminated, valid until the next read
  std::size_t length = 0;  // its bytes as read (a NUL inside ends it earlier for matching)

  void SetLine(const char* text) {
    line = text;
    length = std::strlen(text);
  }
};

// Tells whether a line can hold a match at all: it must hold, in a row, a byte of each of the
// sets that every match holds. Lines without them are passed over as a failed attempt, without
// decoding a character.
class ByteFinder {
 public:
  explicit ByteFinder(ByteSets sets);
  bool empty() const { return sets_.empty(); }
  bool In(const char* text, std::size_t n) const { return sets_.empty() || Find(text, n) != n; }
  // Where the sets first occur in the text, or n.
  std::size_t Find(const char* text, std::size_t n) const;

 private:
  ByteSets sets_;
  int single_ = -1;    // the one byte of a one-byte, one-set requirement
  std::string exact_;  // the bytes, when every set holds one
  std::size_t anchor_ = 0;  // the byte of exact_ looked for first: the least common one
  std::size_t shift_[256];
};

// A list entry of the pattern-language or conjunctive searches: a leading '^' anchors it at the
// line start.
template <typename Matcher>
class AnchoredEntry {
 public:
  explicit AnchoredEntry(const char* text)
      : usable_(text != nullptr && *text != '\0'),
        anchored_(usable_ && *text == '^'),
        pattern_(anchored_ ? text + 1 : text),
        required_(pattern_.RequiredBytes()) {}

  bool usable() const { return usable_; }  // non-null, non-empty text
  bool anchored() const { return anchored_; }
  const Matcher& pattern() const { return pattern_; }
  const ByteFinder& required() const { return required_; }

 private:
  bool usable_;
  bool anchored_;
  Matcher pattern_;
  ByteFinder required_;
};

using LinePattern = AnchoredEntry<Pattern>;
using LineConjunctive = AnchoredEntry<Conjunctive>;

// A list entry for the inclusion searches: taken literally, '^' included.
class LineInclusion {
 public:
  explicit LineInclusion(const char* text);
  const ByteFinder& required() const { return required_; }

 private:
  friend void TestLineInc(ScanState&, Output&, const LineInclusion&);
  Inclusion pattern_;
  ByteFinder required_;
};

// Reads the next line and counts it; a failed stream reads nothing and leaves the line empty.
void ReadNextLine(ScanState& state, InputFile& in);

// "    7 " for line 7 when LineMode is set: the number right-aligned in five columns, a space.
void WriteLineNumber(const ScanState& state, Output& out);

// The whole line, or the matched text of the span, as OutputMode says.
void WriteHit(const ScanState& state, Output& out);

void TestLineMatch(ScanState& state, Output& out, const LinePattern& pattern);
void TestLineMatchs(ScanState& state, Output& out, const LineConjunctive& pattern);
void TestLineInc(ScanState& state, Output& out, const LineInclusion& pattern);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_LINE_SCAN_H_
