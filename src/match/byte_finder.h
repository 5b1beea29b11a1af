// The byte prefilter of the searches: a line can hold a match only if it holds, in a row, a byte
// of each of the sets that every match holds (see RequiredBytes of the matchers). Finding them is
// a memchr, a wide probe of two of its sets, or a Horspool walk, with no character decoded.
#ifndef KENSAKU_SRC_MATCH_BYTE_FINDER_H_
#define KENSAKU_SRC_MATCH_BYTE_FINDER_H_

#include <cstddef>
#include <string>
#include <utility>

#include "match/entry_hint.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

// Where a run of byte sets first occurs in a text; a line without it cannot hold a match.
class ByteFinder {
 public:
  static constexpr int kProbeBytes = 4;

  explicit ByteFinder(ByteSets sets);
  bool empty() const { return sets_.empty(); }
  std::size_t size() const { return sets_.size(); }  // bytes in a row
  bool In(const char* text, std::size_t n) const { return sets_.empty() || Find(text, n) != n; }
  bool In(const char* text, std::size_t n, Presence known) const {
    return known == Presence::kUnknown ? In(text, n) : known != Presence::kAbsent;
  }
  // True when the sets occur at p, which has size() bytes.
  bool At(const unsigned char* p) const {
    for (std::size_t k = 0; k < sets_.size(); ++k) {
      if (!sets_[k][p[k]]) return false;
    }
    return true;
  }
  const ByteSet& set(std::size_t k) const { return sets_[k]; }
  // Where the sets first occur in the text, or n.
  std::size_t Find(const char* text, std::size_t n) const;
  // Where they next occur at or after `from` beginning a character of the text, which begins
  // with one; or n.
  std::size_t FindCharStart(const char* text, std::size_t n, std::size_t from = 0) const {
    // A prefilter's place is most often the very one.
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    if (from < n && n - from >= size() && At(t + from) &&
        CharStartOf(text, text + from) == text + from) {
      return from;
    }
    for (std::size_t k = from; k < n; ++k) {
      k += Find(text + k, n - k);
      if (k >= n) break;
      if (CharStartOf(text, text + k) == text + k) return k;
    }
    return n;
  }

 private:
  std::size_t Probed(const unsigned char* t, std::size_t n) const;
  std::size_t ProbedAvx2(const unsigned char* t, std::size_t n) const;
  template <typename Vec>
  std::size_t ProbedWith(const unsigned char* t, std::size_t n) const;

  ByteSets sets_;
  int single_ = -1;  // the one byte of a one-byte, one-set requirement
  // Two sets of a few bytes each (one byte each for an exact run), the least common, are
  // compared 16 or 32 places at a time, and each place where both hold is checked whole.
  struct Probe {
    std::size_t at = 0;
    int count = 0;
    unsigned char bytes[kProbeBytes] = {};
  };
  bool probed_ = false;
  Probe probes_[2];
  std::size_t shift_[256];
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_BYTE_FINDER_H_
