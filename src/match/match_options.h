// What a compiled pattern reads besides its text: the fold flags it compares under, and how its
// scans trade attempts for the linear way. A pattern keeps them as values, so that patterns
// compiled under different options can be used at once, from any thread.
#ifndef KENSAKU_SRC_MATCH_MATCH_OPTIONS_H_
#define KENSAKU_SRC_MATCH_MATCH_OPTIONS_H_

#include <cstddef>

namespace kensaku {

// A scan tries one start after another, which is fastest on ordinary lines but can cost the
// line's length times the pattern's for each of them. It counts the work its attempts make; once
// that outgrows 16 units per byte passed over plus this budget, it finishes with a method whose
// cost does not depend on the attempts (match/linear_scan.h).
inline constexpr std::size_t kAttemptBudget = 4096;

struct ScanLimits {
  std::size_t attempt_budget = kAttemptBudget;  // 0 sends every scan the linear way at once
  // When set, counts the starts the linear way found that the attempt there did not confirm
  // (the scan then goes on with attempts, so results stay right): none unless that way has a
  // fault. Tests set it; it is only ever written by scans of one thread at a time.
  std::size_t* linear_misses = nullptr;
};

struct MatchOptions {
  // The fold flags alone are what most callers give.
  MatchOptions(int fold_flags = 0) : fold_flags(fold_flags) {}  // NOLINT(runtime/explicit)
  MatchOptions(int fold_flags, ScanLimits limits) : fold_flags(fold_flags), limits(limits) {}

  int fold_flags = 0;
  ScanLimits limits;
  // The rules of the tool and the reentrant interface, which the exports do not follow: '.' and
  // sets take no broken sequence and not the line's end, '^' alone matches at the start of
  // every line, and a pattern the language cannot mean is an error (PatternError).
  bool strict = false;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_MATCH_OPTIONS_H_
