#include "match/swept_filter.h"

#include <bit>
#include <cstdint>

#include "frame/bits.h"

namespace kensaku {

SweptFilter::SweptFilter(std::vector<const ByteFinder*> finders, bool char_starts)
    : Prefilter(std::move(finders), char_starts) {
  // Entries in list order, a group's runs never more than one sweep takes.
  std::vector<ByteSets> runs;
  Group group;
  auto close = [&] {
    if (runs.empty()) return;
    group.one_each = group.entry_of.size() == runs.size() &&
                     group.entry_of.front() + runs.size() - 1 == group.entry_of.back() &&
                     group.entry_of.front() == 0;
    group.sweep = ListFilter(std::move(runs));
    group.char_starts = char_starts;
    groups_.push_back(std::move(group));
    runs.clear();
    group = Group();
  };
  for (std::size_t e = 0; e < finders_.size(); ++e) {
    const ByteRuns& own = finders_[e]->runs();
    if (runs.size() + own.size() > ListFilter::kMaxEntries) close();
    for (const ByteSets& run : own) {
      runs.push_back(run);
      group.entry_of.push_back(e);
      group.size_of.push_back(run.size());
      if (run.size() > group.longest) group.longest = run.size();
    }
  }
  close();
}

std::uint64_t SweptFilter::Group::EntriesOf(std::uint64_t runs) const {
  if (one_each) return runs;
  std::uint64_t entries = 0;
  for (; runs != 0; runs &= runs - 1) {
    entries |= std::uint64_t{1} << entry_of[static_cast<std::size_t>(CountrZero(runs))];
  }
  return entries;
}

class SweptFilter::SweepCursor final : public Prefilter::Cursor {
 public:
  explicit SweepCursor(const SweptFilter& list) : list_(list), states_(list.groups_.size()) {}

  std::size_t FirstCandidate(const char* text, std::size_t n, std::uint64_t at) override {
    if (states_.size() == 1) return states_[0].FirstCandidate(list_.groups_[0], text, n, at);
    std::size_t first = n;
    for (std::size_t g = 0; g < states_.size(); ++g) {
      const std::size_t k = states_[g].FirstCandidate(list_.groups_[g], text, n, at);
      if (k < first) first = k;
    }
    return first;
  }

  FirstPlace AtFirst(std::uint64_t from, std::size_t length) const override {
    // The line's first place is known when every group looked at the whole line.
    FirstPlace at;
    const State* first = nullptr;
    if (states_.size() == 1) {
      if (!states_[0].SweptWhole(from, length)) return at;
      first = &states_[0];
      at.entries = first->first_entries;
    }
    for (std::size_t g = first == nullptr ? 0 : 1; g < states_.size(); ++g) {
      const State& s = states_[g];
      if (!s.SweptWhole(from, length)) {
        if (!s.Clear(from, length)) return FirstPlace();
        continue;
      }
      if (first == nullptr || s.first < first->first) {
        first = &s;
        at.entries = 0;
      }
      if (s.first == first->first) at.entries |= s.first_entries;
    }
    if (first == nullptr) return FirstPlace();
    const std::uint64_t place = first->first;
    at.hint.presence = prefilter::BeginsCharOfLine(first->first_lead_run, from)
                           ? Presence::kAtFirst
                           : Presence::kPresent;
    at.hint.place = static_cast<std::size_t>(place - from);
    return at;
  }

  void Reset() override {
    for (State& s : states_) s = State();
  }

  LineBytes InLine(const char* line, std::size_t length, std::uint64_t from) const override {
    LineBytes bytes;
    const auto* t = reinterpret_cast<const unsigned char*>(line);
    if (states_.size() == 1 && list_.groups_[0].one_each) {
      bytes.SetAll(
          list_.groups_[0].sweep.Present(t, states_[0].Skip(from, length), length, bytes.places()));
      return bytes;
    }
    // An entry is where the first of its alternatives is.
    std::uint64_t entries = 0;
    for (std::size_t g = 0; g < states_.size(); ++g) {
      const Group& group = list_.groups_[g];
      std::uint32_t places[ListFilter::kMaxEntries];
      for (std::uint64_t runs =
               group.sweep.Present(t, states_[g].Skip(from, length), length, places);
           runs != 0; runs &= runs - 1) {
        const std::size_t r = static_cast<std::size_t>(CountrZero(runs));
        const std::size_t e = group.entry_of[r];
        if ((entries >> e & 1) == 0 || places[r] < bytes.places()[e]) bytes.places()[e] = places[r];
        entries |= std::uint64_t{1} << e;
      }
    }
    bytes.SetAll(entries);
    return bytes;
  }

 private:
  // What one group's sweeps have decided of the stream.
  struct State {
    // Every start before frontier is decided, and first is the next one found.
    std::uint64_t frontier = 0, first = 0, first_end = 0;
    std::uint64_t first_entries = 0;  // the entries whose bytes occur at first
    // Where the lead bytes just before first begin, which makes it a character's start; the
    // largest offset when only a cut line may make it one.
    std::uint64_t first_lead_run = 0;
    bool first_found = false;
    // The stretch the sweep that found first looked at: nothing starts whole in it before first.
    std::uint64_t scan_from = 0, scan_to = 0;

    std::size_t FirstCandidate(const Group& group, const char* text, std::size_t n,
                               std::uint64_t at) {
      const std::uint64_t end = at + n;
      if (first_found && first >= at && first_end <= end) {
        return static_cast<std::size_t>(first - at);
      }
      const auto* t = reinterpret_cast<const unsigned char*>(text);
      std::size_t i = frontier > at ? static_cast<std::size_t>(frontier - at) : 0;
      if (first_found && first >= at) i = static_cast<std::size_t>(first - at);  // cut short
      if (i > n) i = n;
      first_found = false;
      // Every run fits whole before `whole`; past it each is checked against the end.
      const std::size_t span = group.longest > 2 ? group.longest : 2;
      const std::size_t whole = n >= span ? n - span + 1 : 0;
      std::uint64_t mask = 0;
      scan_from = at + i;
      scan_to = end;
      std::size_t lead_run = 0;
      std::size_t k = group.sweep.First(t, i, n, mask);
      if (!group.char_starts) lead_run = SIZE_MAX;
      while (k < n && group.char_starts && !prefilter::MayBeginChar(t, k, &lead_run)) {
        k = group.sweep.First(t, k + 1, n, mask);
      }
      // The last few starts may yet be completed by more text.
      if (k >= whole) frontier = at + (i > whole ? i : whole);
      if (k >= n) return n;
      first_lead_run = prefilter::LeadRunAt(at, lead_run);
      first_entries = group.EntriesOf(mask);
      std::size_t shortest = SIZE_MAX;
      for (; mask != 0; mask &= mask - 1) {
        const std::size_t size = group.size_of[static_cast<std::size_t>(CountrZero(mask))];
        if (size < shortest) shortest = size;
      }
      first_found = true;
      first = at + k;
      first_end = at + k + shortest;
      frontier = at + k + 1;
      return k;
    }

    // True when the sweep that found first looked at the whole line, which holds first.
    bool SweptWhole(std::uint64_t from, std::size_t length) const {
      return first_found && scan_from <= from && from + length <= scan_to && first >= from &&
             first < from + length;
    }
    // True when that sweep looked at the whole line and found nothing in it.
    bool Clear(std::uint64_t from, std::size_t length) const {
      return scan_from <= from && from + length <= scan_to &&
             (first_found ? first >= from + length : from + length <= frontier);
    }
    // Where a sweep of the line may start: a line the last sweep looked at whole holds nothing
    // before the place it found.
    std::size_t Skip(std::uint64_t from, std::size_t length) const {
      return SweptWhole(from, length) ? static_cast<std::size_t>(first - from) : 0;
    }
  };

  const SweptFilter& list_;
  std::vector<State> states_;
};

std::unique_ptr<Prefilter::Cursor> SweptFilter::NewCursor() const {
  return std::make_unique<SweepCursor>(*this);
}

}  // namespace kensaku
