#include "match/pattern_list.h"

#include <cstring>
#include <string>
#include <vector>

#include "mbchar/fold.h"
#include "mbchar/mbchar.h"

namespace kensaku {

const char ListBlankSet[] = "\x81\x40\x20\x09\x08\x0D";

char* EntryStore::Keep(const char* bytes, std::size_t n) {
  auto copy = std::make_unique<char[]>(n + 1);
  std::memcpy(copy.get(), bytes, n);
  copy[n] = '\0';
  entries_.push_back(std::move(copy));
  return entries_.back().get();
}

PatternList& ClearPatternList(PatternList& list) {
  list.fill(nullptr);
  return list;
}

char* TrimListEntry(char* line, EntryStore& store) {
  if (line == nullptr || *line == '\0') return line;
  // The line's characters as a character array holds them: as many as the primitives count.
  std::vector<Code> chars = DecodeCountedChars(line);
  std::size_t kept = chars.size();
  while (kept > 0 && InSet(MbChar(chars[kept - 1]), ListBlankSet)) --kept;
  if (kept > 0 && chars[kept - 1] == '"') --kept;
  const std::string written = FoldedBytes(chars.begin(), chars.begin() + kept);
  const std::size_t room = std::strlen(line);
  if (written.size() > room) return store.Keep(written.data(), written.size());
  std::memcpy(line, written.data(), written.size());
  line[written.size()] = '\0';
  return line;
}

int SplitPatternList(PatternList& list, char* text, EntryStore& store) {
  if (text == nullptr || *text == '\0') return 0;
  static const char kLineBreaks[] = "\r\n";
  int i = 0;
  for (char* t = TextToken(text, kLineBreaks); t != nullptr && i < kMaxPatterns;
       t = TextToken(nullptr, kLineBreaks)) {
    char* entry = TrimListEntry(t, store);
    if (*entry != '\0') list[i++] = entry;
  }
  return i;
}

ListText::ListText(const char* text) : copy_(text) {
  if (copy_.text() != nullptr) SplitPatternList(list_, copy_.text(), store_);
}

}  // namespace kensaku
