// The bytes every match of a pattern holds in a row, in each alternative its characters' forms
// make: what the prefilters and byte finders look for before a pattern is tried at all.
// Checked by pattern_test (PatternRequiredBytes.SetsAndFoldedFormsJoinTheRun), list_entry_test
// (LineScanTest.PassedOverStartsHoldNoMatch), encodings_search_test and search_reference_test,
// where a run that a match may lack would lose hits.
#include "match/pattern.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "mbchar/fold.h"
#include "mbchar/internal_text.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

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
    if (!FormsAsRead(chars, out, &x, in, reading.as_read, reading.spacing)) return false;
    exact[i] = x;
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

}  // namespace kensaku
