// What the bytes of a text must look like for a folded pattern to match it: the byte sets a match
// holds in a row, and the first bytes of the characters a match can start with. They let the
// searches pass over text without decoding it. Under FoldToUpper the folded 'A' requires one byte
// of {'A', 'a'}; the folded katakana "ka" (0x83 0x4A) under kana folding requires {0x82, 0x83}
// then {0xA9, 0x4A}.
#ifndef KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_
#define KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_

#include <array>
#include <cstddef>
#include <vector>

#include "mbchar/mbchar.h"

namespace kensaku {

using ByteSet = std::array<bool, 256>;
using ByteSets = std::vector<ByteSet>;

// Runs are cut at this many sets: a longer run finds hardly fewer lines, and a pattern of 100,000
// characters would otherwise cost as many sets.
inline constexpr std::size_t kMaxRequiredSets = 64;

// The bytes of the characters that fold to a code, position by position: bytes[i] holds byte i
// of every such character. False (nothing added) when they differ in length or there are none.
bool AppendPreimageBytes(Code folded, ByteSets& bytes);

namespace detail {
double Selectivity(const ByteSets& sets);
}

// Builds the best run of byte sets that a sequence of folded codes requires in a row: runs are
// cut where a code is unusable (AppendPreimageBytes fails or usable says no), and the run whose
// sets are narrowest in sum wins. Empty when no code is usable. With `start`, also the index of
// the code the run begins with.
template <typename Codes, typename Usable>
ByteSets RequiredRun(const Codes& codes, Usable usable, std::size_t* start = nullptr) {
  ByteSets best, run;
  double best_score = 0;
  std::size_t index = 0, run_start = 0, best_start = 0;
  auto end_run = [&] {
    const double score = detail::Selectivity(run);
    if (score > best_score) {
      best_score = score;
      best = run;
      best_start = run_start;
    }
    run.clear();
  };
  for (const auto& c : codes) {
    if (run.size() >= kMaxRequiredSets) end_run();
    if (run.empty()) run_start = index;
    const std::size_t before = run.size();
    if (!usable(c) || !AppendPreimageBytes(static_cast<Code>(c), run)) {
      run.resize(before);
      end_run();
    }
    ++index;
  }
  end_run();
  if (start != nullptr) *start = best_start;
  return best;
}

// The first bytes of the characters that fold to a code, for NextCharStartIn.
struct FirstBytes {
  ByteSet bytes{};
  int count = 0;
  int only = -1;  // the byte, when there is just one
};
FirstBytes FirstBytesFoldingTo(Code folded);
// Adds the first bytes of the characters whose folds lie in [lo, hi].
void AddFirstBytesFoldingInto(Code lo, Code hi, FirstBytes& firsts);

// The first character start at or after `from` (itself a character start) whose first byte is
// one of `firsts`, or the terminator. Bytes are skipped without decoding; when one of the bytes
// is found, the character boundary is recovered from the last byte before it that cannot be a
// lead byte (a character always ends at such a byte).
const char* NextCharStartIn(const char* from, const FirstBytes& firsts);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_
