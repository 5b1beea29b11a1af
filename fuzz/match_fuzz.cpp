// Differential fuzzing of the matchers: the compiled pattern, conjunctive and inclusion matchers
// against the literal reference ones, on arbitrary bytes under arbitrary fold flags, with the
// attempts or the linear way (bit 7 of the settings).
// Input: settings, pattern, NUL, line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/match_options.h"
#include "match/pattern.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"

namespace {

// The reference reads the pattern again for every start: keep its work small, so that the
// fuzzer stays fast; longer inputs still go through the compiled matchers.
constexpr std::size_t kReferencePattern = 24;
constexpr std::size_t kReferenceLine = 128;

bool Same(const kensaku::MatchSpan& a, const kensaku::MatchSpan& b) {
  return a.matched == b.matched && (!b.matched || (a.start == b.start && a.end == b.end));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kensaku;
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  const int flags = kensaku_fuzz::FoldFlagsOf(in.settings);
  std::size_t misses = 0;
  const MatchOptions options(flags, ScanLimits{in.settings & 0x80 ? 0 : kAttemptBudget, &misses});
  const std::string& pattern = in.texts[0];
  const std::string& line = in.texts[1];
  const bool check = pattern.size() <= kReferencePattern && line.size() <= kReferenceLine;

  const Pattern compiled(pattern.c_str(), options);
  reference::Matcher ref(flags);
  for (int anchored = 0; anchored < 2; ++anchored) {
    MatchSpan a, b;
    const char* ca = line.c_str();
    const char* cb = line.c_str();
    if (anchored) {
      MatchAt(a, ca, compiled);
      if (check) ref.At(b, cb, pattern.c_str());
    } else {
      MatchScan(a, ca, compiled);
      if (check) ref.Scan(b, cb, pattern.c_str());
    }
    if (check && (!Same(a, b) || ((b.matched || !anchored) && ca != cb))) std::abort();
  }
  MatchSpan a, b;
  const char* ca = line.c_str();
  const char* cb = line.c_str();
  MatchConjunctive(a, ca, Conjunctive(pattern.c_str(), options));
  if (check) {
    ref.Conjunctive(b, cb, pattern.c_str());
    if (!Same(a, b)) std::abort();
  }

  MatchSpan span;
  const int at = FindInclusion(span, line.c_str(), Inclusion(pattern.c_str(), options));
  if (at < 0 || static_cast<std::size_t>(at) > line.size()) std::abort();
  if (check && at != reference::FindInclusion(line.c_str(), pattern.c_str(), flags)) std::abort();
  if (misses != 0) std::abort();  // the linear way found a start that was none
  return 0;
}
