// A list of patterns compiled once for whole searches: the entries of one kind, each compiled
// under the same options, and the list's prefilter (match/prefilter.h) when every entry requires
// some bytes. The patterns are taken as they are: the rules of the exports' list texts (splitting,
// trimming, the 60-entry limit) belong to match/pattern_list.h. The kind of a search is chosen
// here and nowhere else; the searcher visits the entries with their own type.
#ifndef KENSAKU_SRC_MATCH_COMPILED_LIST_H_
#define KENSAKU_SRC_MATCH_COMPILED_LIST_H_

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <variant>
#include <vector>

#include "match/list_entry.h"
#include "match/prefilter.h"
#include "match/regex.h"
#include "mbchar/internal_text.h"

namespace kensaku {

// The engines: the pattern language, conjunctive patterns, literal inclusion, regular
// expressions.
enum class SearchKind { kMatch, kMatchs, kInc, kRegex };

// The byte forms of each character a literal compares, in order.
using LiteralForms = std::vector<std::vector<std::string>>;

// Whether the text at p (n bytes) begins with one form of each character in turn. The forms are
// UTF-8's, no one of which begins another.
inline bool LiteralFormsAt(const LiteralForms& forms, const char* p, std::size_t n) {
  for (const std::vector<std::string>& alternatives : forms) {
    bool found = false;
    for (const std::string& form : alternatives) {
      if (form.size() <= n && std::memcmp(p, form.data(), form.size()) == 0) {
        p += form.size();
        n -= form.size();
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

class CompiledList {
 public:
  using Entries = std::variant<std::vector<LinePattern>, std::vector<LineConjunctive>,
                               std::vector<LineInclusion>, std::vector<LineRegex>>;

  // At most LineBytes::kMaxEntries patterns, NUL-terminated, in order. The extra characters, if
  // any, are those the patterns were given (mbchar/internal_text.h); they must outlive the list.
  CompiledList(SearchKind kind, std::span<const char* const> patterns,
               const MatchOptions& options = {}, const ExtraChars* extras = nullptr);
  CompiledList(const CompiledList&) = delete;
  CompiledList& operator=(const CompiledList&) = delete;

  SearchKind kind() const { return kind_; }
  const Entries& entries() const { return entries_; }
  // Null when some entry requires no bytes: then any line may hold a match. For text in UTF-8 or
  // EUC-JP (lines read in their own bytes), the prefilter of the bytes each entry requires
  // there, made on first use.
  const Prefilter* prefilter() const { return prefilter_.get(); }
  const Prefilter* prefilter(Encoding e) const;
  // The entries (a bit each, the first 64) that match wherever that prefilter finds their bytes:
  // in text read as UTF-8, where no character's bytes begin inside another's. 0 for the others.
  std::uint64_t CertainWhereFound(Encoding e) const;
  // For text read as UTF-8: the literal entries (a bit each, the first 64) whose required bytes
  // begin where a hit begins, with the forms of each character they compare (empty for the
  // others), so that where the prefilter finds them a hit is told in the line's own bytes.
  std::uint64_t TellableWhereFound(Encoding e) const;
  const std::vector<LiteralForms>& LiteralFormsIn(Encoding e) const;

 private:
  SearchKind kind_;
  Entries entries_;
  std::unique_ptr<Prefilter> prefilter_;  // holds finders of entries_, which never changes
  const ExtraChars* extras_;
  Reading reading_;  // how characters code page 932 lacks are read
  struct Encoded {
    std::once_flag made;
    std::vector<ByteFinder> finders;
    std::unique_ptr<Prefilter> prefilter;
    std::uint64_t certain = 0;
    std::uint64_t tellable = 0;
    std::vector<LiteralForms> forms;  // by entry
  };
  mutable std::array<Encoded, 2> encoded_;  // UTF-8, EUC-JP
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_COMPILED_LIST_H_
