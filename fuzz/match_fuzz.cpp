// Differential fuzzing of the matchers: the compiled pattern, conjunctive and inclusion matchers
// against the literal reference ones, on arbitrary bytes under arbitrary fold flags.
// Input: one byte of fold flags, then pattern and line separated by the first 0x00.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/pattern.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kensaku;
  if (size < 1) return 0;
  SetFoldFlags(data[0] & 0x7F);
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = rest.find('\0');
  const std::string pattern = rest.substr(0, cut);
  const std::string line = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
  if (pattern.size() > 300) return 0;  // the reference recurses once per '#'

  reference::Matcher ref;
  for (int anchored = 0; anchored < 2; ++anchored) {
    MatchSpan a, b;
    const char* ca = line.c_str();
    const char* cb = line.c_str();
    const Pattern compiled(pattern.c_str());
    if (anchored) {
      MatchAt(a, ca, compiled);
      ref.At(b, cb, pattern.c_str());
    } else {
      MatchScan(a, ca, compiled);
      ref.Scan(b, cb, pattern.c_str());
    }
    if (a.matched != b.matched || (b.matched && (a.start != b.start || a.end != b.end))) {
      std::abort();
    }
    if ((b.matched || !anchored) && ca != cb) std::abort();
  }
  MatchSpan a, b;
  const char* ca = line.c_str();
  const char* cb = line.c_str();
  MatchConjunctive(a, ca, Conjunctive(pattern.c_str()));
  ref.Conjunctive(b, cb, pattern.c_str());
  if (a.matched != b.matched || (b.matched && (a.start != b.start || a.end != b.end))) std::abort();

  MatchSpan span;
  if (FindInclusion(span, line.c_str(), Inclusion(pattern.c_str())) !=
      reference::FindInclusion(line.c_str(), pattern.c_str())) {
    std::abort();
  }
  return 0;
}
