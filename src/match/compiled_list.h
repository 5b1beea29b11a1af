// A list of patterns compiled once for whole searches: the entries of one kind, each compiled
// under the same options, and the list's prefilter (match/prefilter.h) when every entry requires
// some bytes. The patterns are taken as they are: the rules of the exports' list texts (splitting,
// trimming, the 60-entry limit) belong to match/pattern_list.h. The kind of a search is chosen
// here and nowhere else; the searcher visits the entries with their own type.
#ifndef KENSAKU_SRC_MATCH_COMPILED_LIST_H_
#define KENSAKU_SRC_MATCH_COMPILED_LIST_H_

#include <cstddef>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "match/list_entry.h"
#include "match/prefilter.h"

namespace kensaku {

// The three engines: the pattern language, conjunctive patterns, literal inclusion.
enum class SearchKind { kMatch, kMatchs, kInc };

class CompiledList {
 public:
  using Entries = std::variant<std::vector<LinePattern>, std::vector<LineConjunctive>,
                               std::vector<LineInclusion>>;

  // At most LineBytes::kMaxEntries patterns, NUL-terminated, in order.
  CompiledList(SearchKind kind, std::span<const char* const> patterns,
               const MatchOptions& options = {});
  CompiledList(const CompiledList&) = delete;
  CompiledList& operator=(const CompiledList&) = delete;

  SearchKind kind() const { return kind_; }
  const Entries& entries() const { return entries_; }
  // Null when some entry requires no bytes: then any line may hold a match.
  const Prefilter* prefilter() const { return prefilter_.get(); }

 private:
  SearchKind kind_;
  Entries entries_;
  std::unique_ptr<Prefilter> prefilter_;  // holds finders of entries_, which never changes
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_COMPILED_LIST_H_
