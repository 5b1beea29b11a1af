// The pattern language read: the text's characters and escapes, its sets, and the elements a
// Pattern compiles them into, with the first bytes a match can start with. Under
// MatchOptions::strict, what the language cannot mean is a PatternError.
// Checked by pattern_test (PatternTest: BracketSets, EscapesAndOrdinaryCharacters,
// ShiftJisHazards, PatternReadingPrimitives, StrictRulesRefuseWhatTheLanguageCannotMean, and the
// generated AgreesWithReferenceOnGeneratedText, which also checks the refusals).
#include "match/pattern.h"

#include <cstddef>

#include "match/pattern_error.h"
#include "mbchar/fold.h"

namespace kensaku {

MbChar NextChar(const char*& cursor) {
  if (cursor == nullptr || *cursor == '\0') return MbChar(kNullCode);
  const MbChar c = DecodeText(cursor);
  cursor += c.ByteCount();
  return c;
}

MbChar ReadPatternChar(const char*& cursor) {
  MbChar c = NextChar(cursor);
  if (c.code != '\\') return c;
  c = NextChar(cursor);
  if (c.code == 'r') return MbChar('\r');
  if (c.code == 't') return MbChar('\t');
  return c;
}

const char* FindClassEnd(const char* cursor) {
  while (cursor != nullptr && *cursor != '\0') {
    const char* at = cursor;
    const Code raw = DecodeText(cursor).code;
    if (ReadPatternChar(cursor).code == ']' && raw != '\\') return at;
  }
  return nullptr;
}

Pattern::Pattern(const char* text, const MatchOptions& options)
    : fold_(&FoldTable::For(options.fold_flags)), limits_(options.limits) {
  if (text == nullptr) return;
  null_ = false;
  strict_ = options.strict;
  text_empty_ = *text == '\0';
  const Code* fold = fold_->map();
  const char* p = text;
  if (*p == '@') {
    zero_width_ = true;
    ++p;
  }
  if (*p == '*') ++p;
  while (*p != '\0') {
    // A run of '#' acts as one: only the innermost element can fail.
    bool skip = false;
    const char* const skip_start = p;
    while (*p == '#') {
      skip = true;
      ++p;
    }
    Element e{Op::kChar, skip, skip, false, kNullCode, 0, 0};
    if (*p == '\0') {
      if (strict_) {
        throw PatternError(static_cast<std::size_t>(skip_start - text),
                           "'#' with nothing after it");
      }
      // A final '#' compares the end of the pattern with the subject, once.
      e.retry = false;
      elements_.push_back(e);
      break;
    }
    const char* element_start = p;
    const MbChar c = NextChar(p);
    switch (c.code) {
      case '*':
        e.op = Op::kRepeat;
        break;
      case '.':
        e.op = Op::kAny;
        break;
      case '[':
        CompileClass(p, e, text);
        if (strict_ && e.op == Op::kBadClass) {
          throw PatternError(static_cast<std::size_t>(element_start - text), "'[' without its ']'");
        }
        break;
      case '\\':
        p = element_start;
        e.code = fold[ReadPatternChar(p).code];
        break;
      default:
        e.code = fold[c.code];
        break;
    }
    if (elements_.empty() && !e.skip) FindFirstBytes(e);
    elements_.push_back(e);
    if (e.op == Op::kBadClass) {
      // Nothing after an unterminated set is ever reached.
      never_ = true;
      break;
    }
  }
}

void Pattern::FindFirstBytes(const Element& e) {
  if (e.op == Op::kChar) {
    literal_first_ = true;
    first_bytes_ = FirstBytesFoldingTo(e.code, *fold_);
    return;
  }
  // A set that names few characters narrows the starts as well; large or negated ones do not.
  constexpr unsigned kMaxCodes = 512;
  if (e.op != Op::kClass || e.negate) return;
  unsigned codes = 0;
  for (std::uint32_t i = 0; i < e.range_count; ++i) {
    const Range& r = ranges_[e.first_range + i];
    codes += static_cast<unsigned>(r.hi - r.lo) + 1;
  }
  if (codes > kMaxCodes) return;
  for (std::uint32_t i = 0; i < e.range_count; ++i) {
    const Range& r = ranges_[e.first_range + i];
    AddFirstBytesFoldingInto(r.lo, r.hi, *fold_, first_bytes_);
  }
  literal_first_ = true;
}

void Pattern::CompileClass(const char*& p, Element& e, const char* text) {
  if (*p == '[') ++p;  // a second '[' directly after the first is no member
  const char* close = FindClassEnd(p);
  if (close == nullptr) {
    e.op = Op::kBadClass;
    return;
  }
  const Code* fold = fold_->map();
  e.op = Op::kClass;
  e.first_range = static_cast<std::uint32_t>(ranges_.size());
  const char* q = p;
  if (q < close && *q == '^') {
    e.negate = true;
    ++q;
  }
  while (q < close) {
    const std::size_t at = static_cast<std::size_t>(q - text);
    const Code first = ReadPatternChar(q).code;
    Code last = first;
    if (q < close && *q == '-') {
      ++q;
      last = q < close ? ReadPatternChar(q).code : kNullCode;
      // Ends are ordered as written; folding may turn them, which is no fault of the pattern. A
      // range without its end ("[a-]") runs from the null, as the exports have always read it.
      if (strict_ && last != kNullCode && last < first) {
        throw PatternError(at, "range whose end comes before its start");
      }
    }
    const Code lo = fold[first], hi = fold[last];
    ranges_.push_back(lo <= hi ? Range{lo, hi} : Range{hi, lo});
  }
  e.range_count = static_cast<std::uint32_t>(ranges_.size()) - e.first_range;
  p = close + 1;
}

}  // namespace kensaku
