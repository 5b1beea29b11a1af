// The byte prefilter of the searches: a line can hold a match only if it holds, in a row, a byte
// of each of the sets that every match holds, in one of their alternatives (see RequiredBytes of
// the matchers). Finding one run is a memchr, a wide probe of two of its sets, or a Horspool
// walk. Finding one of a few alternatives is a wide probe of two places, each for the bytes any
// alternative has there, until the probes prove too common; then, as for many, the list
// filter's sweep over them. No character is decoded.
#ifndef KENSAKU_SRC_MATCH_BYTE_FINDER_H_
#define KENSAKU_SRC_MATCH_BYTE_FINDER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "match/entry_hint.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

class ListFilter;

// Where a run of byte sets (one of its alternatives) first occurs in a text; a line without it
// cannot hold a match.
class ByteFinder {
 public:
  static constexpr int kProbeBytes = 4;
  // More alternatives than this are swept for by the list filter, probes or not.
  static constexpr std::size_t kMaxProbedRuns = 16;
  // Probes of several alternatives are used when the estimated share of places passing both is
  // below this.
  static constexpr double kMaxProbedShare = 1.0 / 128;
  // Places passed by the probes and found wanting, in a text, before their share is weighed.
  static constexpr std::size_t kDenseMisses = 64;
  // Past one miss in this many bytes, a candidate costs more than the sweep would.
  static constexpr std::size_t kDenseSpacing = 512;

  // text: the encoding of the text searched, whose commonest bytes are the worst to probe for.
  // More than ListFilter::kMaxEntries runs require nothing (empty()).
  explicit ByteFinder(ByteRuns runs, Encoding text = Encoding::kCp932);
  explicit ByteFinder(ByteSets sets) : ByteFinder(ByteRuns(1, std::move(sets))) {}
  bool empty() const { return runs_.empty(); }
  // Bytes in a row: of the shortest alternative, and of the longest.
  std::size_t size() const { return shortest_; }
  std::size_t longest() const { return longest_; }
  const ByteRuns& runs() const { return runs_; }
  bool In(const char* text, std::size_t n) const { return runs_.empty() || Find(text, n) != n; }
  bool In(const char* text, std::size_t n, Presence known) const {
    return known == Presence::kUnknown ? In(text, n) : known != Presence::kAbsent;
  }
  // True when the sets of the one alternative occur at p, which has size() bytes.
  bool At(const unsigned char* p) const {
    for (std::size_t k = 0; k < sets_.size(); ++k) {
      if (!sets_[k][p[k]]) return false;
    }
    return true;
  }
  // True when some alternative occurs at p, of which `available` bytes may be read.
  bool At(const unsigned char* p, std::size_t available) const {
    if (any_ == nullptr) return available >= sets_.size() && At(p);
    for (const ByteSets& run : runs_) {
      if (Holds(run, p, available)) return true;
    }
    return false;
  }
  // Where the sets (of some alternative) first occur whole in the text, or n; with `length`,
  // how many bytes the shortest alternative found there holds.
  std::size_t Find(const char* text, std::size_t n, std::size_t* length = nullptr) const;
  // Where they next occur at or after `from` beginning a character of the text, which begins
  // with one; or n.
  std::size_t FindCharStart(const char* text, std::size_t n, std::size_t from = 0) const {
    // A prefilter's place is most often the very one.
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    if (from < n && At(t + from, n - from) && CharStartOf(text, text + from) == text + from) {
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
  static bool Holds(const ByteSets& run, const unsigned char* p, std::size_t available) {
    if (run.size() > available) return false;
    std::size_t k = 0;
    while (k < run.size() && run[k][p[k]]) ++k;
    return k == run.size();
  }
  bool ChooseProbes(const ByteSets& sets, Encoding text);
  std::size_t Probed(const unsigned char* t, std::size_t n) const;
  template <bool kAny>
  std::size_t ProbedAvx2(const unsigned char* t, std::size_t n) const;
  std::size_t ProbedSsse3(const unsigned char* t, std::size_t n) const;
  template <typename Vec, bool kAny>
  std::size_t ProbedWith(const unsigned char* t, std::size_t n) const;

  ByteRuns runs_;
  std::size_t shortest_ = 0, longest_ = 0;
  // Several alternatives are swept for at once.
  std::shared_ptr<const ListFilter> any_;
  // How often their probes passed a place in vain, over every text searched (shared by copies
  // and threads: a hint, never a result).
  struct Density {
    std::atomic<std::uint64_t> scanned{0}, missed{0};
    std::atomic<bool> dense{false};
  };
  std::shared_ptr<Density> density_;
  // One alternative, and how it is found.
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
  // Of several alternatives: at a place, the bytes any of them has there, looked up by each half
  // of a byte in 16-entry tables (as the list filter does).
  struct SetProbe {
    std::size_t at = 0;
    alignas(16) unsigned char lo[16] = {};
    alignas(16) unsigned char hi[16] = {};
  };
  SetProbe set_probes_[2];
  std::size_t shift_[256];
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_BYTE_FINDER_H_
