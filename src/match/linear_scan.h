// What keeps a scan linear in the length of the line. Scans try one start after another, which
// is fastest on ordinary lines but can cost the line's length times the pattern's for each of
// them (the pattern "a*b" on a long run of 'a', a long literal on a line that almost holds it).
// A scan counts the work its attempts make; once that outgrows the text it has passed over, it
// finishes with a method whose cost does not depend on the attempts: the line is decoded once
// and the first matching start is found directly.
#ifndef KENSAKU_SRC_MATCH_LINEAR_SCAN_H_
#define KENSAKU_SRC_MATCH_LINEAR_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "match/match_options.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"

namespace kensaku {

inline bool AttemptsTooCostly(std::size_t work, std::size_t bytes_passed,
                              const ScanLimits& limits) {
  return limits.attempt_budget == 0 || work > limits.attempt_budget + 16 * bytes_passed;
}

// Counts a start the linear way found but the attempt did not confirm.
inline void CountLinearMiss(const ScanLimits& limits) {
  if (limits.linear_misses != nullptr) ++*limits.linear_misses;
}

// The characters of a text from a character start to its terminator, folded, with the byte
// offset of each from the start (offsets.back() is the terminator's).
struct FoldedLine {
  std::vector<Code> codes;
  std::vector<std::uint32_t> offsets;
};
FoldedLine DecodeFolded(const char* from, const FoldTable& fold);

// The first index at or after `from` where `needle` occurs in `text`, or text.size() (Knuth,
// Morris and Pratt: linear in both).
std::size_t FindCodes(const std::vector<Code>& text, std::size_t from,
                      const std::vector<Code>& needle);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_LINEAR_SCAN_H_
