// What the bytes of a text must look like for a folded pattern to match it: the byte sets a match
// holds in a row, and the first bytes of the characters a match can start with. They let the
// searches pass over text without decoding it. Under FoldToUpper the folded 'A' requires one byte
// of {'A', 'a'}; the folded katakana "ka" (0x83 0x4A) under kana folding requires {0x82, 0x83}
// then {0xA9, 0x4A}.
#ifndef KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_
#define KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame/bits.h"
#include "mbchar/encoding.h"
#include "mbchar/mbchar.h"

namespace kensaku {

// A set of byte values, a bit each: patterns of many characters in many forms make thousands.
class ByteSet {
 public:
  bool operator[](unsigned b) const { return (words_[b >> 6] >> (b & 63) & 1) != 0; }
  void Add(unsigned b) { words_[b >> 6] |= std::uint64_t{1} << (b & 63); }
  ByteSet& operator|=(const ByteSet& other) {
    for (std::size_t w = 0; w < words_.size(); ++w) words_[w] |= other.words_[w];
    return *this;
  }
  int Count() const {
    int n = 0;
    for (const std::uint64_t word : words_) n += Popcount(word);
    return n;
  }
  // The least member; 256 when there is none.
  unsigned First() const {
    for (unsigned w = 0; w < 4; ++w) {
      if (words_[w] != 0) return 64 * w + static_cast<unsigned>(CountrZero(words_[w]));
    }
    return 256;
  }
  // f(b) for each member b, in increasing order.
  template <typename F>
  void ForEach(F f) const {
    for (unsigned w = 0; w < 4; ++w) {
      for (std::uint64_t word = words_[w]; word != 0; word &= word - 1) {
        f(64 * w + static_cast<unsigned>(CountrZero(word)));
      }
    }
  }
  bool operator==(const ByteSet&) const = default;

 private:
  std::array<std::uint64_t, 4> words_{};
};
using ByteSets = std::vector<ByteSet>;

// Runs are cut at this many sets: a longer run finds hardly fewer lines, and a pattern of 100,000
// characters would otherwise cost as many sets.
inline constexpr std::size_t kMaxRequiredSets = 64;

class FoldTable;

// What the bytes of a text hold where every match does: one of these runs of byte sets (one of
// the alternatives, each a run, all of the same elements of a pattern). A folded character
// whose forms differ in length (a half-width kana and its full-width forms, an ASCII digit and
// the full-width one) gives one alternative per length. Empty when nothing is required.
using ByteRuns = std::vector<ByteSets>;

// At most this many alternatives: a run is cut before an element that would make more.
inline constexpr std::size_t kMaxRunAlternatives = 8;

namespace detail {
double Selectivity(const ByteSets& sets);
// Of alternatives: the weakest, less what their number adds.
double Selectivity(const ByteRuns& runs);
}  // namespace detail

// The bytes of the given characters (distinct, none null), position by position: bytes[i] holds
// byte i of each. False (nothing added) when they differ in length or there are none. With exact:
// whether a text that holds a byte of each set, set after set, from a character start on, holds
// one of the characters there, and nothing else.
bool AppendCharBytes(const std::vector<Code>& chars, ByteSets& bytes, bool* exact = nullptr);

class ExtraChars;

// The encoding whose bytes required runs are made of: code page 932, or the bytes UTF-8 or EUC-JP
// text holds for each character (the internal form's extra characters given their own).
struct FormsIn {
  Encoding encoding = Encoding::kCp932;
  const ExtraChars* extras = nullptr;
  bool variants = false;  // variant kanji code page 932 lacks are read as their common form
  bool case_fold = false;  // letters code page 932 lacks are read case-folded
};

// The forms of the given characters (distinct, none null), one per length: in code page 932 the
// one-byte ones as one set, the double-byte ones as two; in another encoding, the sets of each
// length its forms of them have. False when there are none. With exact: as for AppendCharBytes,
// when there is one form (in another encoding, one length whose sets hold only the forms).
bool CharForms(const std::vector<Code>& chars, std::vector<ByteSets>& forms, bool* exact = nullptr,
               const FormsIn& in = {});

// As read, a joined kana may stand in text as its kana and a mark: adds those forms of the
// characters that the encoding may hold (`spacing`: under the width fold, the spacing marks and
// half-width marks after full-width kana; never the combining marks, whose lines the searches
// read whole), each length its own sets, after CharForms. Whether
// there were any (the forms then tell no character exactly).
struct FormsIn;
bool AddJoinedForms(const std::vector<Code>& chars, std::vector<ByteSets>& forms, const FormsIn& in,
                    bool spacing);

// CharForms, then as read AddJoinedForms; exact only when the forms tell the characters exactly.
bool FormsAsRead(const std::vector<Code>& chars, std::vector<ByteSets>& forms, bool* exact,
                 const FormsIn& in, bool as_read, bool spacing);

// Builds the best run that a sequence of elements requires in a row, where forms(i, forms) gives
// the forms of element i (each a run of sets, one per length), or returns false for an element
// that cannot be part of one. Runs are cut there, at kMaxRequiredSets sets and before kMaxRunAlternatives
// alternatives, and the run whose sets are narrowest wins. Empty when no element is usable.
// With `start` and `length`, also the elements the run is made of.
template <typename Forms>
ByteRuns RequiredRunOf(std::size_t count, Forms forms, std::size_t* start = nullptr,
                       std::size_t* length = nullptr) {
  ByteRuns best, run;
  double best_score = 0;
  std::size_t run_start = 0, best_start = 0, best_length = 0, run_sets = 0;
  std::vector<ByteSets> element;
  auto end_run = [&](std::size_t end) {
    const double score = run.empty() ? 0 : detail::Selectivity(run);
    if (score > best_score) {
      best_score = score;
      best = run;
      best_start = run_start;
      best_length = end - run_start;
    }
    run.clear();
    run_sets = 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    element.clear();
    if (!forms(i, element) || element.empty()) {
      end_run(i);
      continue;
    }
    if (run_sets >= kMaxRequiredSets ||
        (!run.empty() && run.size() * element.size() > kMaxRunAlternatives)) {
      end_run(i);
    }
    if (run.empty()) {
      run_start = i;
      run.emplace_back();
    }
    ByteRuns longer;
    longer.reserve(run.size() * element.size());
    for (const ByteSets& alternative : run) {
      for (const ByteSets& form : element) {
        longer.push_back(alternative);
        longer.back().insert(longer.back().end(), form.begin(), form.end());
      }
    }
    run.swap(longer);
    std::size_t longest = 0;
    for (const ByteSets& form : element) longest = form.size() > longest ? form.size() : longest;
    run_sets += longest;
  }
  end_run(count);
  if (start != nullptr) *start = best_start;
  if (length != nullptr) *length = best_length;
  return best;
}

// The first bytes of the characters that fold to a code, for NextCharStartIn.
struct FirstBytes {
  std::array<bool, 256> bytes{};  // a byte each: text is looked up in it byte by byte
  int count = 0;
  int only = -1;  // the byte, when there is just one
};
FirstBytes FirstBytesFoldingTo(Code folded, const FoldTable& fold);
// Adds the first bytes of the characters whose folds lie in [lo, hi].
void AddFirstBytesFoldingInto(Code lo, Code hi, const FoldTable& fold, FirstBytes& firsts);

// The first character start at or after `from` (itself a character start) whose first byte is
// one of `firsts`, or the terminator. Bytes are skipped without decoding; when one of the bytes
// is found, the character boundary is recovered from the last byte before it that cannot be a
// lead byte (a character always ends at such a byte).
const char* NextCharStartIn(const char* from, const FirstBytes& firsts);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_REQUIRED_BYTES_H_
