// The result of one match attempt, shared by every matcher and the line scanner.
#ifndef KENSAKU_SRC_MATCH_MATCH_SPAN_H_
#define KENSAKU_SRC_MATCH_MATCH_SPAN_H_

#include <cstdint>

namespace kensaku {

struct MatchSpan {
  std::int32_t matched = 0;     // 1 when the attempt matched
  const char* start = nullptr;  // where the reported match begins
  const char* end = nullptr;    // just after it; equal to start for a zero-width match
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_MATCH_SPAN_H_
