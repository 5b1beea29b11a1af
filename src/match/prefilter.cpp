#include "match/prefilter.h"

#include "match/entry_finders.h"
#include "match/swept_filter.h"

namespace kensaku {
namespace {

// A few entries are found faster one by one, each with its own finder.
constexpr std::size_t kSweptEntries = 4;

}  // namespace

std::size_t Prefilter::FirstCandidate(const char* text, std::size_t n) const {
  std::size_t first = n;
  for (const ByteFinder* f : finders_) {
    // Only a start before the best so far matters; its bytes end before best + longest().
    const std::size_t bound = first + f->longest() - 1 < n ? first + f->longest() - 1 : n;
    const std::size_t k =
        prefilter::FindAtCharStart(*f, text, 0, bound, nullptr, nullptr, char_starts_);
    if (k < bound && k < first) first = k;
  }
  return first;
}

std::unique_ptr<Prefilter> MakePrefilter(const std::vector<const ByteFinder*>& finders,
                                         bool char_starts) {
  if (finders.empty() || finders.size() > LineBytes::kMaxEntries) return nullptr;
  for (const ByteFinder* f : finders) {
    if (f->empty()) return nullptr;
  }
  if (finders.size() < kSweptEntries) return std::make_unique<EntryFinders>(finders, char_starts);
  return std::make_unique<SweptFilter>(finders, char_starts);
}

}  // namespace kensaku
