#include "match/entry_finders.h"

namespace kensaku {

class EntryFinders::EntryCursor final : public Prefilter::Cursor {
 public:
  explicit EntryCursor(const EntryFinders& list)
      : next_(list.finders_.size()), char_starts_(list.char_starts()) {
    for (std::size_t i = 0; i < next_.size(); ++i) {
      next_[i].finder = list.finders_[i];
      next_[i].size = list.finders_[i]->size();
      next_[i].longest = list.finders_[i]->longest();
    }
  }

  std::size_t FirstCandidate(const char* text, std::size_t n, std::uint64_t at) override {
    const std::uint64_t end = at + n;
    std::uint64_t first = end;
    for (Next& next : next_) {
      if (!next.found || next.hit < at) Seek(*next.finder, next, text, n, at, char_starts_);
      if (next.found && next.hit + next.hit_length <= end && next.hit < first) first = next.hit;
    }
    return static_cast<std::size_t>(first - at);
  }

  FirstPlace AtFirst(std::uint64_t from, std::size_t length) const override {
    // The entries whose bytes the cursor knows first in the line.
    FirstPlace at;
    std::uint64_t best = from + length, lead_run = UINT64_MAX;
    for (std::size_t i = 0; i < next_.size(); ++i) {
      if (Of(i, from, from + length) != Presence::kPresent) continue;
      const std::uint64_t hit = next_[i].hit;
      if (hit < best) {
        best = hit;
        at.entries = 0;
        lead_run = next_[i].lead_run;
      }
      if (hit == best) at.entries |= std::uint64_t{1} << i;
    }
    if (at.entries == 0) return at;
    // The lead bytes before the place are the same whichever entry found it.
    at.hint.presence =
        prefilter::BeginsCharOfLine(lead_run, from) ? Presence::kAtFirst : Presence::kPresent;
    at.hint.place = static_cast<std::size_t>(best - from);
    return at;
  }

  void Reset() override {
    for (Next& next : next_) next = Next{next.finder, next.size, next.longest};
  }

  LineBytes InLine(const char*, std::size_t length, std::uint64_t from) const override {
    LineBytes bytes;
    for (std::size_t i = 0; i < next_.size(); ++i) {
      const Presence known = Of(i, from, from + length);
      if (known == Presence::kAbsent) bytes.SetAbsent(i);
      if (known == Presence::kPresent) {
        bytes.SetPresent(i, static_cast<std::size_t>(next_[i].hit - from));
      }
    }
    return bytes;
  }

 private:
  struct Next {
    const ByteFinder* finder = nullptr;
    std::uint64_t size = 0;      // the finder's bytes in a row: of its shortest alternative
    std::uint64_t longest = 0;   // and of its longest
    std::uint64_t hit = 0;       // stream offset of the first occurrence, when found
    std::uint64_t hit_length = 0;  // its bytes (of the shortest alternative there)
    std::uint64_t clear_to = 0;  // no occurrence starts before this (from where it was sought)
    std::uint64_t lead_run = 0;  // when found: where the lead bytes just before it begin
    bool found = false;
  };

  // Seeks entry f's next occurrence again, only from where nothing is known yet.
  static void Seek(const ByteFinder& f, Next& next, const char* text, std::size_t n,
                   std::uint64_t at, bool char_starts) {
    const std::uint64_t longest = next.longest;
    const std::uint64_t end = at + n;
    std::uint64_t from = next.found ? next.hit + 1 : next.clear_to;
    if (from < at) from = at;
    const std::size_t skip = static_cast<std::size_t>(from - at);
    const std::size_t rest = n - (skip < n ? skip : n);
    std::size_t lead_run = 0, length = 0;
    const std::size_t k =
        prefilter::FindAtCharStart(f, text, n - rest, n, &lead_run, &length, char_starts) -
        (n - rest);
    if (k < rest) {
      next.found = true;
      next.hit = from + k;
      next.hit_length = length;
      next.lead_run = prefilter::LeadRunAt(at, lead_run);
    } else {
      // Starts in the last longest - 1 bytes were not all tried whole: more text may complete
      // them.
      next.found = false;
      const std::uint64_t tried = rest >= longest ? end - (longest - 1) : from;
      next.clear_to = tried > from ? tried : from;
    }
  }

  // Whether the stream's bytes [from, to) hold the bytes of entry i, as far as the calls so far
  // tell, all of them at or before `from`.
  Presence Of(std::size_t i, std::uint64_t from, std::uint64_t to) const {
    const Next& next = next_[i];
    const std::uint64_t size = next.size;
    // The first occurrence at or after `from` is known when one was found there or later.
    if (next.found) {
      if (next.hit < from) return Presence::kUnknown;
      // Another alternative there, or a later occurrence, may still fit where this one does not.
      if (next.hit + next.hit_length <= to) return Presence::kPresent;
      return next.hit + size > to ? Presence::kAbsent : Presence::kUnknown;
    }
    // None starts before clear_to; one that starts later ends past `to`.
    return to < size || next.clear_to + size > to ? Presence::kAbsent : Presence::kUnknown;
  }

  std::vector<Next> next_;
  bool char_starts_;
};

std::unique_ptr<Prefilter::Cursor> EntryFinders::NewCursor() const {
  return std::make_unique<EntryCursor>(*this);
}

}  // namespace kensaku
