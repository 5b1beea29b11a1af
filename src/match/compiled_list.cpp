#include "match/compiled_list.h"

namespace kensaku {
namespace {

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
}

std::size_t CompiledList::FirstCandidate(const char* text, std::size_t n) const {
  std::size_t first = n;
  for (const ByteFinder* f : finders_) {
    // Only a start before the best so far matters; its bytes end before best + size().
    const std::size_t bound = first + f->size() - 1 < n ? first + f->size() - 1 : n;
    const std::size_t k = f->Find(text, bound);
    if (k < bound && k < first) first = k;
  }
  return first;
}

std::size_t CompiledList::FirstCandidate(const char* text, std::size_t n, std::uint64_t at,
                                         CandidateCursor& cursor) const {
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
      const std::size_t k = f.Find(text + (n - rest), rest);
      if (k < rest) {
        next.found = true;
        next.hit = from + k;
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
