#include "match/swept_filter.h"

#include <bit>
#include <cstdint>

namespace kensaku {

SweptFilter::SweptFilter(std::vector<const ByteFinder*> finders)
    : Prefilter(std::move(finders)), sweep_(finders_) {
  for (const ByteFinder* f : finders_) {
    if (f->size() > longest_) longest_ = f->size();
  }
}

class SweptFilter::SweepCursor final : public Prefilter::Cursor {
 public:
  explicit SweepCursor(const SweptFilter& list) : list_(list) {}

  std::size_t FirstCandidate(const char* text, std::size_t n, std::uint64_t at) override {
    const std::uint64_t end = at + n;
    if (first_found_ && first_ >= at && first_end_ <= end) {
      return static_cast<std::size_t>(first_ - at);
    }
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = frontier_ > at ? static_cast<std::size_t>(frontier_ - at) : 0;
    if (first_found_ && first_ >= at) i = static_cast<std::size_t>(first_ - at);  // cut short
    if (i > n) i = n;
    first_found_ = false;
    // Every entry fits whole before `whole`; past it each is checked against the end.
    const std::size_t span = list_.longest_ > 2 ? list_.longest_ : 2;
    const std::size_t whole = n >= span ? n - span + 1 : 0;
    std::uint64_t mask = 0;
    scan_from_ = at + i;
    scan_to_ = end;
    std::size_t lead_run = 0;
    std::size_t k = list_.sweep_.First(t, i, n, mask);
    while (k < n && !prefilter::MayBeginChar(t, k, &lead_run)) {
      k = list_.sweep_.First(t, k + 1, n, mask);
    }
    // The last few starts may yet be completed by more text.
    if (k >= whole) frontier_ = at + (i > whole ? i : whole);
    if (k >= n) return n;
    first_lead_run_ = prefilter::LeadRunAt(at, lead_run);
    first_entries_ = mask;
    std::size_t shortest = SIZE_MAX;
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t size = list_.finders_[std::countr_zero(mask)]->size();
      if (size < shortest) shortest = size;
    }
    first_found_ = true;
    first_ = at + k;
    first_end_ = at + k + shortest;
    frontier_ = at + k + 1;
    return k;
  }

  FirstPlace AtFirst(std::uint64_t from, std::size_t length) const override {
    FirstPlace at;
    if (!SweptWhole(from, length)) return at;
    at.entries = first_entries_;
    at.hint.presence = prefilter::BeginsCharOfLine(first_lead_run_, from) ? Presence::kAtFirst
                                                                          : Presence::kPresent;
    at.hint.place = static_cast<std::size_t>(first_ - from);
    return at;
  }

  void Reset() override {
    frontier_ = first_ = first_end_ = first_entries_ = first_lead_run_ = 0;
    first_found_ = false;
    scan_from_ = scan_to_ = 0;
  }

  LineBytes InLine(const char* line, std::size_t length, std::uint64_t from) const override {
    // A line the last sweep looked at whole holds nothing before the place it found.
    const std::size_t skip = SweptWhole(from, length) ? static_cast<std::size_t>(first_ - from) : 0;
    LineBytes bytes;
    bytes.SetAll(list_.sweep_.Present(reinterpret_cast<const unsigned char*>(line), skip, length,
                                      bytes.places()));
    return bytes;
  }

 private:
  // True when the sweep that found first_ looked at the whole line, which holds first_.
  bool SweptWhole(std::uint64_t from, std::size_t length) const {
    return first_found_ && scan_from_ <= from && from + length <= scan_to_ && first_ >= from &&
           first_ < from + length;
  }

  const SweptFilter& list_;
  // Every start before frontier_ is decided, and first_ is the next one found.
  std::uint64_t frontier_ = 0, first_ = 0, first_end_ = 0;
  std::uint64_t first_entries_ = 0;  // the entries whose bytes occur at first_
  // Where the lead bytes just before first_ begin, which makes it a character's start; the
  // largest offset when only a cut line may make it one.
  std::uint64_t first_lead_run_ = 0;
  bool first_found_ = false;
  // The stretch the sweep that found first_ looked at: nothing starts whole in it before first_.
  std::uint64_t scan_from_ = 0, scan_to_ = 0;
};

std::unique_ptr<Prefilter::Cursor> SweptFilter::NewCursor() const {
  return std::make_unique<SweepCursor>(*this);
}

}  // namespace kensaku
