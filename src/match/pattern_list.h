// Pattern lists, the exports' way of passing patterns: a list text holds one pattern per line
// (lines end at CR, LF or runs of them). It is split in a working copy into at most 60 entries,
// each trimmed of trailing blanks and one trailing double quote and stored folded. These rules
// belong to list texts alone: a compiled list takes its patterns as they are.
#ifndef KENSAKU_SRC_MATCH_PATTERN_LIST_H_
#define KENSAKU_SRC_MATCH_PATTERN_LIST_H_

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "frame/byte_string.h"
#include "frame/limits.h"
#include "mbchar/fold.h"

namespace kensaku {

// Entries in list order; the first null entry ends the list.
using PatternList = std::array<char*, kMaxPatterns>;

// Characters trimmed from the end of a list line: ideographic space, space, TAB, BS, CR.
extern const char ListBlankSet[];

// Room for entries that folding made longer than the line they were written in.
class EntryStore {
 public:
  char* Keep(const char* bytes, std::size_t n);

 private:
  std::vector<std::unique_ptr<char[]>> entries_;
};

// One list line as an entry: trimmed, and written folded.
std::string TrimmedEntry(const char* line, const FoldTable& fold);

// Trims and folds one line; the result is the line itself, or kept in the store when it grew.
char* TrimListEntry(char* line, EntryStore& store, const FoldTable& fold);

// Splits the text in place into the list, which callers clear first. Lines that trimming leaves
// empty are passed over. Returns the number of entries.
int SplitPatternList(PatternList& list, char* text, EntryStore& store, const FoldTable& fold);

// A caller's list text copied and split: the entries of one list search.
class ListText {
 public:
  ListText(const char* text, int fold_flags);
  // False when the copy holds no text (null, empty or longer than a ByteString holds).
  bool ok() const { return !copy_.empty(); }
  const PatternList& entries() const { return list_; }
  // The entries in use, up to the first null one.
  std::size_t size() const { return size_; }
  const char* const* begin() const { return list_.data(); }
  const char* const* end() const { return list_.data() + size_; }

 private:
  ByteString copy_;
  EntryStore store_;
  PatternList list_{};
  std::size_t size_ = 0;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PATTERN_LIST_H_
