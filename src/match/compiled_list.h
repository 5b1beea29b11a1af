// A pattern list compiled once for a whole search: the entries of one kind, each compiled under
// the FoldFlags in force, and the list-wide prefilter that tells where in a block of text the
// first line that any entry could match may start. The kind of a search is chosen here and
// nowhere else; the searcher visits the entries with their own type.
#ifndef KENSAKU_SRC_MATCH_COMPILED_LIST_H_
#define KENSAKU_SRC_MATCH_COMPILED_LIST_H_

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "match/list_entry.h"
#include "match/list_filter.h"
#include "match/pattern_list.h"

namespace kensaku {

class CompiledList;

// Where each entry's bytes next occur in a stream that is read block after block, so that a
// whole search looks at every byte once per entry rather than again at every candidate line.
class CandidateCursor {
 private:
  friend class CompiledList;
  struct Next {
    std::uint64_t hit = 0;       // stream offset of the first occurrence, when found
    std::uint64_t clear_to = 0;  // no occurrence starts before this (from where it was sought)
    std::uint64_t lead_run = 0;  // when found: as first_lead_run_ below
    bool found = false;
  };
  std::vector<Next> next_;
  // When swept: every start before frontier_ is decided, and first_ is the next one found.
  std::uint64_t frontier_ = 0, first_ = 0, first_end_ = 0;
  std::uint64_t first_entries_ = 0;  // the entries whose bytes occur at first_
  // Where the lead bytes just before first_ begin, which makes it a character's start; the
  // largest offset when only a cut line may make it one.
  std::uint64_t first_lead_run_ = 0;
  bool first_found_ = false;
  // The stretch the sweep that found first_ looked at: nothing starts whole in it before first_.
  std::uint64_t scan_from_ = 0, scan_to_ = 0;
};

// What the prefilter knows of each entry's bytes in one line.
class LineBytes {
 public:
  Presence Of(std::size_t i) const;
  // A place in the line before which the bytes of entry i begin no character, when the
  // prefilter knows one; kPlaceUnknown otherwise.
  std::size_t FirstAt(std::size_t i) const;
  // True when the line was swept for every entry; present() then has bit i for entry i.
  bool complete() const { return by_mask_; }
  std::uint64_t present() const { return mask_; }

 private:
  friend class CompiledList;
  const CompiledList* list_ = nullptr;
  const CandidateCursor* cursor_ = nullptr;
  std::uint64_t from_ = 0, to_ = 0;
  std::uint64_t mask_ = 0;  // when swept: the entries whose bytes the line holds
  bool by_mask_ = false;
  std::uint32_t places_[ListFilter::kMaxEntries];  // when swept: where each of them first is
};

// The three engines: the pattern language, conjunctive patterns, literal inclusion.
enum class SearchKind { kMatch, kMatchs, kInc };

class CompiledList {
 public:
  using Entries = std::variant<std::vector<LinePattern>, std::vector<LineConjunctive>,
                               std::vector<LineInclusion>>;

  // The entries of the list in order, up to its first null entry.
  CompiledList(SearchKind kind, const PatternList& list);
  CompiledList(const CompiledList&) = delete;
  CompiledList& operator=(const CompiledList&) = delete;

  SearchKind kind() const { return kind_; }
  std::size_t size() const { return size_; }
  const Entries& entries() const { return entries_; }

  // True when every entry requires some bytes, so that text without any of them holds no hit.
  bool has_prefilter() const { return !finders_.empty(); }
  // True when the prefilter sweeps for every entry at once.
  bool swept() const { return !sweep_.empty(); }
  // Where the bytes of some entry first start, whole within the text, or n.
  std::size_t FirstCandidate(const char* text, std::size_t n) const;
  // The same, for text that holds the stream's bytes from offset `at` on; the cursor keeps what
  // earlier calls on the same stream found, and `at` never moves back.
  std::size_t FirstCandidate(const char* text, std::size_t n, std::uint64_t at,
                             CandidateCursor& cursor) const;
  // Whether the stream's bytes [from, to) hold the bytes of entry i, as far as the cursor knows
  // from its calls so far, all of them at or before `from`.
  Presence EntryBytesIn(const CandidateCursor& cursor, std::size_t i, std::uint64_t from,
                        std::uint64_t to) const;
  // Where in [from, to) the bytes of entry i first begin a character, from `from` on, when
  // the cursor knows; kPlaceUnknown otherwise.
  std::size_t EntryFirstIn(const CandidateCursor& cursor, std::size_t i, std::uint64_t from,
                           std::uint64_t to) const;
  // The entries whose bytes the list-wide sweep found at the first place in a line read from
  // stream offset `from` on, the line's first place of any entry's; 0 when none or not known.
  // The place, in the line, goes to `place`. Without a sweep: the entries the cursor knows
  // first in the line, where each one's bytes first begin a character there. `begins_char`
  // tells when the place is known to begin a character of the line (not only may).
  std::uint64_t EntriesAtFirst(const CandidateCursor& cursor, std::uint64_t from,
                               std::size_t length, std::size_t& place, bool& begins_char) const;
  // What is known of every entry's bytes in a line read from stream offset `from` on.
  LineBytes BytesIn(const CandidateCursor& cursor, const char* line, std::size_t length,
                    std::uint64_t from) const;

 private:
  SearchKind kind_;
  std::size_t size_ = 0;
  Entries entries_;
  // Lists of several entries are swept once for all of them.
  std::size_t SweepFirst(const char* text, std::size_t n, std::uint64_t at,
                         CandidateCursor& cursor) const;

  std::vector<const ByteFinder*> finders_;  // into entries_, which never changes
  ListFilter sweep_;                        // when swept
  std::size_t longest_ = 0;                 // the most bytes any entry requires
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_COMPILED_LIST_H_
