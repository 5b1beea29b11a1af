// A list's prefilter: where, in a stream of text read block after block, the first line may
// start that some entry of the list could match, found without decoding; and what it learned on
// the way of each entry's bytes in a line, passed on to the entry's test as an EntryHint. It
// holds the ByteFinder of every entry (the bytes every match of the entry requires) and is made
// once with the list, then only read. Each search asks it for a cursor of its own, which keeps
// where the entries' bytes next occur, so that a whole search looks at every byte once rather
// than again at every candidate line.
//
// Two strategies: EntryFinders (each entry's finder run on its own, for a few entries) and
// SweptFilter (one pass for all entries at once, for longer lists).
#ifndef KENSAKU_SRC_MATCH_PREFILTER_H_
#define KENSAKU_SRC_MATCH_PREFILTER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame/limits.h"
#include "match/byte_finder.h"
#include "match/entry_hint.h"
#include "mbchar/mbchar.h"

namespace kensaku {

// What a cursor knows of each entry's bytes in one line.
class LineBytes {
 public:
  static constexpr std::size_t kMaxEntries = 64;

  EntryHint Of(std::size_t i) const {
    if ((known_ >> i & 1) == 0) return {};
    if ((present_ >> i & 1) == 0) return {Presence::kAbsent, kPlaceUnknown};
    return {Presence::kPresent, places_[i]};
  }
  // True when every entry is known; present() then has bit i for entry i.
  bool complete() const { return complete_; }
  std::uint64_t present() const { return present_; }

  // For the strategies.
  void SetAbsent(std::size_t i) { known_ |= std::uint64_t{1} << i; }
  void SetPresent(std::size_t i, std::size_t place) {
    known_ |= std::uint64_t{1} << i;
    present_ |= std::uint64_t{1} << i;
    places_[i] = static_cast<std::uint32_t>(place);
  }
  // Every entry known at once: present ones are in the mask, their places already in places().
  void SetAll(std::uint64_t present) {
    known_ = ~std::uint64_t{0};
    present_ = present;
    complete_ = true;
  }
  std::uint32_t* places() { return places_; }

 private:
  std::uint64_t known_ = 0, present_ = 0;
  bool complete_ = false;
  std::uint32_t places_[kMaxEntries];  // where each present entry's bytes first are
};

// The entries whose bytes a line holds at its first place of any entry's bytes, and that place.
struct FirstPlace {
  std::uint64_t entries = 0;  // none when not known
  EntryHint hint;             // kAtFirst when the place is known to begin a character of the line
};

class Prefilter {
 public:
  // The state of one search.
  class Cursor {
   public:
    virtual ~Cursor() = default;
    // Where the bytes of some entry first begin (may begin) a character, whole within
    // text[0, n), which holds the stream's bytes from offset `at` on; n when nowhere. `at` never
    // moves back from one call to the next.
    virtual std::size_t FirstCandidate(const char* text, std::size_t n, std::uint64_t at) = 0;
    // For a line read from stream offset `from` on, as far as the calls so far tell.
    virtual FirstPlace AtFirst(std::uint64_t from, std::size_t length) const = 0;
    virtual LineBytes InLine(const char* line, std::size_t length, std::uint64_t from) const = 0;
    // Forgets every stream it has looked at, for another from offset 0.
    virtual void Reset() = 0;
  };

  // The finders of the entries in list order, at most LineBytes::kMaxEntries, none empty; they
  // must outlive the prefilter. Without char_starts the text is not code page 932: every place
  // where an entry's bytes are may begin a character.
  explicit Prefilter(std::vector<const ByteFinder*> finders, bool char_starts = true)
      : finders_(std::move(finders)), char_starts_(char_starts) {}
  virtual ~Prefilter() = default;
  Prefilter(const Prefilter&) = delete;
  Prefilter& operator=(const Prefilter&) = delete;

  virtual std::unique_ptr<Cursor> NewCursor() const = 0;

  // The first candidate of a fresh look at the text, which every cursor must agree with.
  std::size_t FirstCandidate(const char* text, std::size_t n) const;

  std::size_t size() const { return finders_.size(); }
  bool char_starts() const { return char_starts_; }

 protected:
  std::vector<const ByteFinder*> finders_;
  bool char_starts_;
};

// The prefilter for a list with these finders, or none when some entry requires no bytes (then
// any line may hold a match). char_starts as for Prefilter.
std::unique_ptr<Prefilter> MakePrefilter(const std::vector<const ByteFinder*>& finders,
                                         bool char_starts = true);

namespace prefilter {

// Every run an entry requires begins with the first byte of a line character, so a place inside
// a character is passed over. Text is read from a line start on; only a line cut by the reader
// (4095 bytes on from its LF) may start elsewhere: there every place may begin one. With
// `lead_run`, where the lead bytes just before k begin when they make k a character's start, or
// SIZE_MAX when only a cut may.
inline bool MayBeginChar(const unsigned char* t, std::size_t k, std::size_t* lead_run = nullptr) {
  std::size_t q = k;
  while (q > 0 && IsLeadByte(t[q - 1])) --q;
  if ((k - q) % 2 == 0 || !IsTrailByte(t[k])) {
    if (lead_run != nullptr) *lead_run = q;
    return true;
  }
  if (lead_run != nullptr) *lead_run = SIZE_MAX;
  std::size_t p = k;
  while (p > 0 && t[p - 1] != '\n' && k - p < kMaxLineBytes) --p;
  return k - p >= kMaxLineBytes;
}

// The stream offset of a lead run MayBeginChar gave for text read from `at` on, kept as the
// largest offset when there was none.
inline std::uint64_t LeadRunAt(std::uint64_t at, std::size_t lead_run) {
  return lead_run == SIZE_MAX ? UINT64_MAX : at + lead_run;
}

// True when a place with that lead run begins a character of a line read from `from` on: the
// walk back from it stopped inside the line, where from the line's start it stops too.
inline bool BeginsCharOfLine(std::uint64_t lead_run, std::uint64_t from) {
  return lead_run != UINT64_MAX && lead_run >= from;
}

// Where f's run next may begin a character in t[from, n), or n; `lead_run` as MayBeginChar,
// `length` as ByteFinder::Find. Without char_starts, wherever the run is (and no lead run).
inline std::size_t FindAtCharStart(const ByteFinder& f, const char* text, std::size_t from,
                                   std::size_t n, std::size_t* lead_run = nullptr,
                                   std::size_t* length = nullptr, bool char_starts = true) {
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  for (;;) {
    const std::size_t k = from + f.Find(text + from, n - from, length);
    if (!char_starts && lead_run != nullptr) *lead_run = SIZE_MAX;
    if (k >= n || !char_starts || MayBeginChar(t, k, lead_run)) return k;
    from = k + 1;
  }
}

}  // namespace prefilter
}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PREFILTER_H_
