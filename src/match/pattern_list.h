// Pattern lists: a list text holds one pattern per line (lines end at CR, LF or runs of them).
// It is split in a working copy into at most 60 entries, each trimmed of trailing blanks and one
// trailing double quote and stored folded, and the entries are tried in order.
#ifndef KENSAKU_SRC_MATCH_PATTERN_LIST_H_
#define KENSAKU_SRC_MATCH_PATTERN_LIST_H_

#include <array>
#include <memory>
#include <vector>

#include "frame/byte_string.h"

namespace kensaku {

inline constexpr int kMaxPatterns = 60;

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

PatternList& ClearPatternList(PatternList& list);

// Splits the text in place into the list, which callers clear first. Lines that trimming leaves
// empty are passed over. Returns the number of entries.
int SplitPatternList(PatternList& list, char* text, EntryStore& store);

// Trims and folds one line; the result is the line itself, or kept in the store when it grew.
char* TrimListEntry(char* line, EntryStore& store);

// A caller's list text copied and split: the working state of one list search.
class ListText {
 public:
  explicit ListText(const char* text);
  // False when the copy holds no text (null, empty or longer than a ByteString holds).
  bool ok() const { return !copy_.empty(); }
  const PatternList& entries() const { return list_; }

 private:
  ByteString copy_;
  EntryStore store_;
  PatternList list_{};
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_PATTERN_LIST_H_
