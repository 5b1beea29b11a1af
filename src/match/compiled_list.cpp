#include "match/compiled_list.h"

#include <bit>
#include <cstdint>

#include "frame/limits.h"
#include "mbchar/mbchar.h"

namespace kensaku {
namespace {

constexpr std::size_t kSweptEntries = 4;

// Every run an entry requires begins with the first byte of a line character, so a place inside
// a character is passed over. The window starts where the reader starts a line; only a line cut
// by the reader (4095 bytes on from its LF) may start elsewhere: there every place may begin one.
// With `lead_run`, where the lead bytes just before k begin when they make k a character's start,
// or SIZE_MAX when only a cut may.
bool MayBeginChar(const unsigned char* t, std::size_t k, std::size_t* lead_run = nullptr) {
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

// The stream offset of a lead run MayBeginChar gave for a window read from `at` on, kept as the
// largest offset when there was none.
std::uint64_t LeadRunAt(std::uint64_t at, std::size_t lead_run) {
  return lead_run == SIZE_MAX ? UINT64_MAX : at + lead_run;
}

// True when a place with that lead run begins a character of a line read from `from` on: the
// walk back from it stopped inside the line, where from the line's start it stops too.
bool BeginsCharOfLine(std::uint64_t lead_run, std::uint64_t from) {
  return lead_run != UINT64_MAX && lead_run >= from;
}

// Where f's run next begins a character in t[from, n), or n; `lead_run` as MayBeginChar sets it.
std::size_t FindAtCharStart(const ByteFinder& f, const char* text, std::size_t from, std::size_t n,
                            std::size_t* lead_run = nullptr) {
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  for (;;) {
    const std::size_t k = from + f.Find(text + from, n - from);
    if (k >= n || MayBeginChar(t, k, lead_run)) return k;
    from = k + 1;
  }
}
static_assert(kMaxPatterns <= 64, "one bit per entry");

template <typename Entry>
std::vector<Entry> Compile(const PatternList& list) {
  std::vector<Entry> entries;
  for (const char* text : list) {
    if (text == nullptr) break;
    entries.emplace_back(text);
  }
  return entries;
}

CompiledList::Entries CompileAs(SearchKind kind, const PatternList& list) {
  switch (kind) {
    case SearchKind::kMatchs:
      return Compile<LineConjunctive>(list);
    case SearchKind::kInc:
      return Compile<LineInclusion>(list);
    case SearchKind::kMatch:
      break;
  }
  return Compile<LinePattern>(list);
}

}  // namespace

CompiledList::CompiledList(SearchKind kind, const PatternList& list)
    : kind_(kind), entries_(CompileAs(kind, list)) {
  std::visit(
      [this](const auto& entries) {
        size_ = entries.size();
        for (const auto& e : entries) {
          if (e.required().empty()) {
            finders_.clear();
            return;
          }
          finders_.push_back(&e.required());
        }
      },
      entries_);
  // A few entries are found faster one by one, each with its own finder.
  if (finders_.size() < kSweptEntries) return;
  for (const ByteFinder* f : finders_) {
    if (f->size() > longest_) longest_ = f->size();
  }
  sweep_ = ListFilter(finders_);
}

std::size_t CompiledList::FirstCandidate(const char* text, std::size_t n) const {
  std::size_t first = n;
  for (const ByteFinder* f : finders_) {
    // Only a start before the best so far matters; its bytes end before best + size().
    const std::size_t bound = first + f->size() - 1 < n ? first + f->size() - 1 : n;
    const std::size_t k = FindAtCharStart(*f, text, 0, bound);
    if (k < bound && k < first) first = k;
  }
  return first;
}

std::size_t CompiledList::SweepFirst(const char* text, std::size_t n, std::uint64_t at,
                                     CandidateCursor& c) const {
  const std::uint64_t end = at + n;
  if (c.first_found_ && c.first_ >= at && c.first_end_ <= end) {
    return static_cast<std::size_t>(c.first_ - at);
  }
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = c.frontier_ > at ? static_cast<std::size_t>(c.frontier_ - at) : 0;
  if (c.first_found_ && c.first_ >= at) i = static_cast<std::size_t>(c.first_ - at);  // cut short
  if (i > n) i = n;
  c.first_found_ = false;
  // Every entry fits whole before `whole`; past it each is checked against the end.
  const std::size_t span = longest_ > 2 ? longest_ : 2;
  const std::size_t whole = n >= span ? n - span + 1 : 0;
  auto found = [&](std::size_t k, std::uint64_t mask) {
    c.first_entries_ = mask;
    std::size_t shortest = SIZE_MAX;
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t size = finders_[std::countr_zero(mask)]->size();
      if (size < shortest) shortest = size;
    }
    c.first_found_ = true;
    c.first_ = at + k;
    c.first_end_ = at + k + shortest;
    c.frontier_ = at + k + 1;
    return k;
  };
  std::uint64_t mask = 0;
  c.scan_from_ = at + i;
  c.scan_to_ = end;
  std::size_t lead_run = 0;
  std::size_t k = sweep_.First(t, i, n, mask);
  while (k < n && !MayBeginChar(t, k, &lead_run)) k = sweep_.First(t, k + 1, n, mask);
  // The last few starts may yet be completed by more text.
  if (k >= whole) c.frontier_ = at + (i > whole ? i : whole);
  if (k >= n) return n;
  c.first_lead_run_ = LeadRunAt(at, lead_run);
  return found(k, mask);
}

std::uint64_t CompiledList::EntriesAtFirst(const CandidateCursor& cursor, std::uint64_t from,
                                           std::size_t length, std::size_t& place,
                                           bool& begins_char) const {
  begins_char = false;
  if (sweep_.empty()) {
    // Entries found one by one: those whose bytes the cursor knows first in the line.
    std::uint64_t entries = 0, best = from + length, lead_run = UINT64_MAX;
    for (std::size_t i = 0; i < cursor.next_.size(); ++i) {
      if (EntryBytesIn(cursor, i, from, from + length) != Presence::kPresent) continue;
      const std::uint64_t hit = cursor.next_[i].hit;
      if (hit < best) {
        best = hit;
        entries = 0;
        lead_run = cursor.next_[i].lead_run;
      }
      if (hit == best) entries |= std::uint64_t{1} << i;
    }
    if (entries == 0) return 0;
    place = static_cast<std::size_t>(best - from);
    // The lead bytes before the place are the same whichever entry found it.
    begins_char = BeginsCharOfLine(lead_run, from);
    return entries;
  }
  if (!cursor.first_found_ || cursor.scan_from_ > from || from + length > cursor.scan_to_ ||
      cursor.first_ < from || cursor.first_ >= from + length) {
    return 0;
  }
  place = static_cast<std::size_t>(cursor.first_ - from);
  begins_char = BeginsCharOfLine(cursor.first_lead_run_, from);
  return cursor.first_entries_;
}

LineBytes CompiledList::BytesIn(const CandidateCursor& cursor, const char* line, std::size_t length,
                                std::uint64_t from) const {
  LineBytes bytes;
  bytes.list_ = this;
  bytes.cursor_ = &cursor;
  bytes.from_ = from;
  bytes.to_ = from + length;
  if (sweep_.empty()) return bytes;
  // A line the last sweep looked at whole holds nothing before the place it found.
  std::size_t skip = 0;
  if (cursor.first_found_ && cursor.scan_from_ <= from && from + length <= cursor.scan_to_ &&
      cursor.first_ >= from && cursor.first_ < from + length) {
    skip = static_cast<std::size_t>(cursor.first_ - from);
  }
  const std::uint64_t mask =
      sweep_.Present(reinterpret_cast<const unsigned char*>(line), skip, length, bytes.places_);
  bytes.mask_ = mask;
  bytes.by_mask_ = true;
  return bytes;
}

std::size_t LineBytes::FirstAt(std::size_t i) const {
  // A swept line knows where each entry's bytes first are, and none begins a character before.
  if (by_mask_) return (mask_ >> i & 1) != 0 ? places_[i] : kPlaceUnknown;
  if (list_ == nullptr) return kPlaceUnknown;
  return list_->EntryFirstIn(*cursor_, i, from_, to_);
}

Presence LineBytes::Of(std::size_t i) const {
  if (by_mask_) return (mask_ >> i & 1) != 0 ? Presence::kPresent : Presence::kAbsent;
  if (list_ == nullptr) return Presence::kUnknown;
  return list_->EntryBytesIn(*cursor_, i, from_, to_);
}

std::size_t CompiledList::FirstCandidate(const char* text, std::size_t n, std::uint64_t at,
                                         CandidateCursor& cursor) const {
  if (!sweep_.empty()) return SweepFirst(text, n, at, cursor);
  cursor.next_.resize(finders_.size());
  const std::uint64_t end = at + n;
  std::uint64_t first = end;
  for (std::size_t i = 0; i < finders_.size(); ++i) {
    const ByteFinder& f = *finders_[i];
    CandidateCursor::Next& next = cursor.next_[i];
    if (!next.found || next.hit < at) {
      // Sought again only from where nothing is known yet.
      std::uint64_t from = next.found ? next.hit + 1 : next.clear_to;
      if (from < at) from = at;
      const std::size_t skip = static_cast<std::size_t>(from - at);
      const std::size_t rest = n - (skip < n ? skip : n);
      std::size_t lead_run = 0;
      const std::size_t k = FindAtCharStart(f, text, n - rest, n, &lead_run) - (n - rest);
      if (k < rest) {
        next.found = true;
        next.hit = from + k;
        next.lead_run = LeadRunAt(at, lead_run);
      } else {
        // Starts in the last size() - 1 bytes were not tried whole: more text may complete them.
        next.found = false;
        const std::uint64_t tried = rest >= f.size() ? end - (f.size() - 1) : from;
        next.clear_to = tried > from ? tried : from;
      }
    }
    if (next.found && next.hit + f.size() <= end && next.hit < first) first = next.hit;
  }
  return static_cast<std::size_t>(first - at);
}

std::size_t CompiledList::EntryFirstIn(const CandidateCursor& cursor, std::size_t i,
                                       std::uint64_t from, std::uint64_t to) const {
  if (EntryBytesIn(cursor, i, from, to) != Presence::kPresent) return kPlaceUnknown;
  return static_cast<std::size_t>(cursor.next_[i].hit - from);
}

Presence CompiledList::EntryBytesIn(const CandidateCursor& cursor, std::size_t i,
                                    std::uint64_t from, std::uint64_t to) const {
  if (i >= cursor.next_.size()) return Presence::kUnknown;
  const CandidateCursor::Next& next = cursor.next_[i];
  const std::uint64_t size = finders_[i]->size();
  // The first occurrence at or after `from` is known when one was found there or later.
  if (next.found) {
    if (next.hit < from) return Presence::kUnknown;
    return next.hit + size <= to ? Presence::kPresent : Presence::kAbsent;
  }
  // None starts before clear_to; one that starts later ends past `to`.
  return to < size || next.clear_to + size > to ? Presence::kAbsent : Presence::kUnknown;
}

}  // namespace kensaku
