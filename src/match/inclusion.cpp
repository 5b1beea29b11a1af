#include "match/inclusion.h"

#include <cstring>
#include <string>

#include "match/pattern.h"
#include "mbchar/fold.h"

namespace kensaku {
namespace {

// The first n characters of the walk of a text (n never exceeds the walk's length).
std::vector<Code> FirstChars(const char* text, std::size_t n) {
  std::vector<Code> codes;
  codes.reserve(n);
  for (const char* p = text; *p != '\0' && codes.size() < n;) {
    const MbChar c = DecodeText(p);
    codes.push_back(c.code);
    p += c.ByteCount();
  }
  return codes;
}

}  // namespace

Inclusion::Inclusion(const char* pattern) {
  if (pattern == nullptr) return;
  null_ = false;
  const Code* fold = FoldMap();
  first_ = fold[DecodeText(pattern).code];
  bytes_ = std::strlen(pattern);
  // The pattern's characters as far as the primitives count them, written folded and read back
  // the same way: what a line is compared against.
  const std::vector<Code> chars = FirstChars(pattern, TextCharCount(pattern));
  count_ = chars.size();
  std::string written;
  written.reserve(2 * count_);
  for (Code c : chars) {
    const Code f = fold[c];
    if (IsDoubleCode(f)) written.push_back(static_cast<char>(f >> 8));
    written.push_back(static_cast<char>(f & 0xFF));
  }
  folded_ = FirstChars(written.c_str(), TextCharCount(written.c_str()));
  for (Code& c : folded_) c = fold[c];
}

std::string Inclusion::RequiredBytes() const {
  std::string best, run;
  if (null_) return best;
  auto usable = [](Code c) { return c != kNullCode && c != kNoneCode && FoldsFromItselfOnly(c); };
  if (count_ <= 1) {
    if (usable(first_)) AppendCodeBytes(best, first_);
    return best;
  }
  // Every character compared must equal its folded code: the line holds them in a row.
  for (Code c : folded_) {
    if (usable(c)) {
      AppendCodeBytes(run, c);
      continue;
    }
    if (run.size() > best.size()) best = run;
    run.clear();
  }
  return run.size() > best.size() ? run : best;
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
  int position = 1;
  if (line != nullptr) {
    for (const char* p = line; *p != '\0';) {
      span.start = p;
      span.matched = IncludesAt(span, p, pattern);
      if (span.matched) break;
      const int length = DecodeText(p).ByteCount();
      position += length;
      p += length;
    }
  }
  return span.matched ? position : 0;
}

}  // namespace kensaku
