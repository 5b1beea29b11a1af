#include "match/inclusion.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "match/linear_scan.h"
#include "mbchar/fold.h"
#include "mbchar/internal_text.h"
#include "mbchar/required_bytes.h"

namespace kensaku {

Inclusion::Inclusion(const char* pattern, const MatchOptions& options)
    : fold_(&FoldTable::For(options.fold_flags)), limits_(options.limits) {
  if (pattern == nullptr) return;
  null_ = false;
  const Code* fold = fold_->map();
  first_ = fold[DecodeText(pattern).code];
  first_bytes_ = FirstBytesFoldingTo(first_, *fold_);
  bytes_ = std::strlen(pattern);
  // The pattern's characters as far as the primitives count them, written folded and read back
  // the same way: what a line is compared against.
  const std::vector<Code> chars = DecodeCountedChars(pattern);
  count_ = chars.size();
  folded_ = DecodeCountedChars(FoldedBytes(chars.begin(), chars.end(), *fold_).c_str());
  for (Code& c : folded_) c = fold[c];
}

ByteRuns Inclusion::RequiredBytes(std::size_t* chars_before, bool* whole, const FormsIn& in) const {
  if (chars_before != nullptr) *chars_before = 0;
  if (whole != nullptr) *whole = false;
  if (null_) return {};
  // One character decides, or every character compared must fold to its code; each of them
  // is compared with one line character.
  const std::vector<Code> codes = count_ <= 1 ? std::vector<Code>{first_} : folded_;
  std::vector<char> exact(codes.size(), 0);
  const Reading reading = ReadingOf(fold_->flags());
  auto forms = [&](std::size_t i, std::vector<ByteSets>& out) {
    bool x = false;
    if (codes[i] == kNullCode || codes[i] == kNoneCode) return false;
    std::vector<Code> chars = fold_->Preimages(codes[i]);
    if (!FormsAsRead(chars, out, &x, in, reading.as_read, reading.spacing)) return false;
    exact[i] = x;
    return true;
  };
  std::size_t start = 0, length = 0;
  ByteRuns runs = RequiredRunOf(codes.size(), forms, &start, &length);
  if (chars_before != nullptr && count_ > 1) *chars_before = start;
  if (whole != nullptr) {
    // Every character the line is read for is in the run, and the first is the one compared.
    *whole = runs.size() == 1 && start == 0 && length == codes.size() && codes[0] == first_ &&
             (count_ <= 1 || codes.size() == count_);
    for (std::size_t i = 0; i < length && *whole; ++i) *whole = exact[i] != 0;
  }
  return runs;
}

const char* Inclusion::ComparedEnd(const char* p) const {
  for (std::size_t j = 0; j < std::max<std::size_t>(count_, 1) && *p != '\0'; ++j) {
    p += DecodeText(p).ByteCount();
  }
  return p;
}

bool Inclusion::ComparedForms(const FormsIn& in,
                              std::vector<std::vector<std::string>>& forms) const {
  forms.clear();
  if (null_) return false;
  const std::vector<Code> codes = count_ <= 1 ? std::vector<Code>{first_} : folded_;
  if (count_ > 1 && (codes.size() != count_ || codes[0] != first_)) return false;
  for (Code code : codes) {
    if (code == kNullCode || code == kNoneCode) return false;
    std::vector<std::string>& alternatives = forms.emplace_back();
    for (Code c : fold_->Preimages(code)) {
      const char32_t extra = in.extras != nullptr ? in.extras->UnicodeOf(c) : 0;
      if (extra != 0) {
        for (std::string& form : FormsOfUnicode(in.encoding, extra)) {
          alternatives.push_back(std::move(form));
        }
      } else {
        const std::span<const std::string> own = FormsOfCp932(in.encoding, c);
        alternatives.insert(alternatives.end(), own.begin(), own.end());
      }
    }
    if (alternatives.empty()) return false;
  }
  return true;
}

int IncludesAt(MatchSpan& span, const char* p, const Inclusion& pattern) {
  if (p == nullptr || pattern.null_) return 0;
  const Code* fold = pattern.fold_->map();
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

// Where the first inclusion from a character start on can be: the pattern's characters, read
// back folded, in a row, each the fold of a line character; a pattern read back shorter than it
// is counted only where its characters end the line. Found in one pass; the start of a line
// without one.
namespace {

const char* LinearInclusionStart(const char* from, const std::vector<Code>& folded, Code first,
                                 std::size_t count, const FoldTable& fold) {
  const FoldedLine line = DecodeFolded(from, fold);
  const std::size_t size = folded.size();
  std::size_t start = line.codes.size();
  if (size == 0 || folded[0] != first || size > count) {
    // no start can match
  } else if (size == count) {
    start = FindCodes(line.codes, 0, folded);
  } else if (line.codes.size() >= size) {
    const std::size_t at = line.codes.size() - size;
    if (std::equal(folded.begin(), folded.end(), line.codes.begin() + at)) start = at;
  }
  return start < line.codes.size() ? from + line.offsets[start] : nullptr;
}

}  // namespace

int FindInclusion(MatchSpan& span, const char* line, const Inclusion& pattern,
                  const char* no_start_before) {
  span = MatchSpan{0, line, line};
  if (line == nullptr || pattern.null_) return 0;
  const char* from = no_start_before > line ? CharStartOf(line, no_start_before) : line;
  // Only characters that fold to the pattern's first one are tried; the position counts bytes.
  std::size_t work = 0;
  bool linear_tried = pattern.count_ <= 1;  // one comparison an attempt: nothing to gain
  for (const char* p = NextCharStartIn(from, pattern.first_bytes_); *p != '\0';
       p = NextCharStartIn(p + CharLength(p), pattern.first_bytes_)) {
    if (!linear_tried &&
        AttemptsTooCostly(work, static_cast<std::size_t>(p - line), pattern.limits_)) {
      linear_tried = true;
      const char* at =
          LinearInclusionStart(p, pattern.folded_, pattern.first_, pattern.count_, *pattern.fold_);
      if (at == nullptr) {
        span.start = p;
        span.matched = 0;
        return 0;
      }
      span.start = at;
      span.matched = IncludesAt(span, at, pattern);
      if (span.matched) return static_cast<int>(at - line) + 1;
      // Not so after all: the attempts go on from where they were.
      CountLinearMiss(pattern.limits_);
    }
    span.start = p;
    span.matched = IncludesAt(span, p, pattern);
    work += pattern.count_;
    if (span.matched) return static_cast<int>(p - line) + 1;
  }
  return 0;
}

}  // namespace kensaku
