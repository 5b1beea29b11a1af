#include "match/pattern_list.h"

#include <cstring>
#include <string>
#include <vector>

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

std::string TrimmedEntry(const char* line, const FoldTable& fold) {
  if (line == nullptr || *line == '\0') return std::string();
  // The line's characters as a character array holds them: as many as the primitives count.
  std::vector<Code> chars = DecodeCountedChars(line);
  std::size_t kept = chars.size();
  while (kept > 0 && InSet(MbChar(chars[kept - 1]), ListBlankSet)) --kept;
  if (kept > 0 && chars[kept - 1] == '"') --kept;
  return FoldedBytes(chars.begin(), chars.begin() + kept, fold);
}

char* TrimListEntry(char* line, EntryStore& store, const FoldTable& fold) {
  if (line == nullptr || *line == '\0') return line;
  const std::string written = TrimmedEntry(line, fold);
  const std::size_t room = std::strlen(line);
  if (written.size() > room) return store.Keep(written.data(), written.size());
  std::memcpy(line, written.data(), written.size());
  line[written.size()] = '\0';
  return line;
}

int SplitPatternList(PatternList& list, char* text, EntryStore& store, const FoldTable& fold) {
  if (text == nullptr || *text == '\0') return 0;
  static const char kLineBreaks[] = "\r\n";
  int i = 0;
  char* rest = nullptr;
  for (char* t = TextToken(text, kLineBreaks, &rest); t != nullptr && i < kMaxPatterns;
       t = TextToken(nullptr, kLineBreaks, &rest)) {
    char* entry = TrimListEntry(t, store, fold);
    if (*entry != '\0') list[i++] = entry;
  }
  return i;
}

ListText::ListText(const char* text, int fold_flags) : copy_(text) {
  if (copy_.text() != nullptr) {
    size_ = static_cast<std::size_t>(
        SplitPatternList(list_, copy_.text(), store_, FoldTable::For(fold_flags)));
  }
}

}  // namespace kensaku
