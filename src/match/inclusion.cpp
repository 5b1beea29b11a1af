#include "match/inclusion.h"

#include <cstring>
#include <string>

#include "mbchar/fold.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

Inclusion::Inclusion(const char* pattern) {
  if (pattern == nullptr) return;
  null_ = false;
  const Code* fold = FoldMap();
  first_ = fold[DecodeText(pattern).code];
  first_bytes_ = FirstBytesFoldingTo(first_);
  bytes_ = std::strlen(pattern);
  // The pattern's characters as far as the primitives count them, written folded and read back
  // the same way: what a line is compared against.
  const std::vector<Code> chars = DecodeCountedChars(pattern);
  count_ = chars.size();
  folded_ = DecodeCountedChars(FoldedBytes(chars.begin(), chars.end()).c_str());
  for (Code& c : folded_) c = fold[c];
}

ByteSets Inclusion::RequiredBytes() const {
  if (null_) return {};
  auto usable = [](Code c) { return c != kNullCode && c != kNoneCode; };
  // One character decides, or every character compared must fold to its code.
  if (count_ <= 1) return RequiredRun(std::vector<Code>{first_}, usable);
  return RequiredRun(folded_, usable);
}

int IncludesAt(MatchSpan& span, const char* p, const Inclusion& pattern) {
  if (p == nullptr || pattern.null_) return 0;
  const Code* fold = FoldMap();
  if (fold[DecodeText(p).code] != pattern.first_) return 0;
  if (pattern.count_ > 1) {
    // The line is read for as many characters as the pattern has; all of them must be used.
    std::size_t j = 0;
    const char* q = p;
    for (; j < pattern.count_ && *q != '\0'; ++j) {
      const MbChar c = DecodeText(q);
      if (j >= pattern.folded_.size() || fold[c.code] != pattern.folded_[j]) return 0;
      q += c.ByteCount();
    }
    if (j != pattern.folded_.size()) return 0;
  }
  span.end = p + pattern.bytes_;
  return 1;
}

int FindInclusion(MatchSpan& span, const char* line, const Inclusion& pattern) {
  span = MatchSpan{0, line, line};
  if (line == nullptr || pattern.null_) return 0;
  // Only characters that fold to the pattern's first one are tried; the position counts bytes.
  for (const char* p = NextCharStartIn(line, pattern.first_bytes_); *p != '\0';
       p = NextCharStartIn(p + CharLength(p), pattern.first_bytes_)) {
    span.start = p;
    span.matched = IncludesAt(span, p, pattern);
    if (span.matched) return static_cast<int>(p - line) + 1;
  }
  return 0;
}

}  // namespace kensaku
