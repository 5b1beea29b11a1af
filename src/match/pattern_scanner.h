// The two ways a scan of a compiled pattern goes over a line, which read its elements (a friend
// of Pattern): one attempt at a start (pattern_match.cpp), and every start at once, linear in the
// line whatever the pattern (linear_scan.cpp). Included by those two files only.
#ifndef KENSAKU_SRC_MATCH_PATTERN_SCANNER_H_
#define KENSAKU_SRC_MATCH_PATTERN_SCANNER_H_

#include <cstddef>

#include "match/linear_scan.h"
#include "match/match_span.h"
#include "match/pattern.h"

namespace kensaku {

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

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PATTERN_SCANNER_H_
