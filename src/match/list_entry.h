// One entry of a pattern list as the line searches use it: the rules that decide what the entry
// finds in one line, and the bytes every match of it requires. A line test reports each hit it
// finds to its caller, who writes it; the test itself never writes.
//
//   pattern and conjunctive entries: a leading '^' anchors the entry at the line start; without
//   it every hit of the line is reported, one after another (only the first when the search
//   wants whole lines), and an empty line gets no attempt at all. '^' alone matches nothing,
//   or under MatchOptions::strict the start of every line.
//   literal entries (inclusion): '^' is a character like any other; one hit at most per line.
#ifndef KENSAKU_SRC_MATCH_LIST_ENTRY_H_
#define KENSAKU_SRC_MATCH_LIST_ENTRY_H_

#include <cstddef>
#include <type_traits>

#include "match/byte_finder.h"
#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/match_span.h"
#include "match/pattern.h"
#include "match/pattern_error.h"

namespace kensaku {

// A pattern-language or conjunctive entry. The span is the search's record of its latest
// attempt: a test that makes no attempt leaves it as it was.
template <typename Matcher>
class AnchoredEntry {
 public:
  // Inclusion hits are always whole lines; these counts are of pattern tests made.
  static constexpr bool kWholeLinesOnly = false;
  static constexpr bool kCountsHitLines = false;

  explicit AnchoredEntry(const char* text, const MatchOptions& options = {})
      : usable_(text != nullptr && *text != '\0'),
        anchored_(usable_ && *text == '^'),
        start_only_(anchored_ && text[1] == '\0' && options.strict),
        pattern_(AfterAnchor(text, anchored_, options)),
        required_(pattern_.RequiredBytes(&chars_before_, &whole_)) {}

  bool usable() const { return usable_; }  // non-null, non-empty text
  bool anchored() const { return anchored_; }
  const Matcher& pattern() const { return pattern_; }
  const ByteFinder& required() const { return required_; }
  // What text in another encoding holds in its own bytes where the entry matches; with whole,
  // whether the entry matches wherever they begin a character.
  ByteRuns RequiredIn(const FormsIn& in, bool* whole = nullptr) const {
    if (whole != nullptr) *whole = false;
    if (!usable_) return {};
    ByteRuns runs = pattern_.RequiredBytes(nullptr, whole, in);
    if (whole != nullptr) *whole = *whole && !anchored_;
    return runs;
  }

  // Tests the NUL-terminated line of length bytes; on_hit(span) is called for each hit. The hint
  // is what the caller already knows of the entry's required bytes in the line.
  template <typename OnHit>
  void Test(const char* line, std::size_t length, bool first_only, MatchSpan& span, OnHit&& on_hit,
            EntryHint hint = {}) const {
    const char* cursor = line;
    if (!usable_) return;
    if (start_only_) {
      span = MatchSpan{1, line, line};
      on_hit(span);
      return;
    }
    if ((anchored_ || *cursor != '\0') && !required_.In(line, length, hint.presence)) {
      span.matched = 0;  // what the attempt would have found
      return;
    }
    if (whole_) {
      TestWhole(line, length, first_only, span, on_hit, hint);
      return;
    }
    if (anchored_) {
      // Only a match from the line start is a hit; a conjunctive one may begin later.
      if (Attempt(span, cursor) && span.start == line) {
        on_hit(span);
      } else {
        span.matched = 0;
      }
      return;
    }
    while (*cursor != '\0') {
      // An attempt that does not match leaves the line: a conjunctive entry without terms would
      // otherwise be tried again from the same place for ever.
      if (!Attempt(span, cursor, line + length, cursor == line ? hint.place : kPlaceUnknown)) {
        return;
      }
      on_hit(span);
      if (span.start == span.end || first_only) return;
    }
  }

 private:
  // An entry that is its bytes matches where they begin a character, and over them only.
  template <typename OnHit>
  void TestWhole(const char* line, std::size_t length, bool first_only, MatchSpan& span,
                 OnHit&& on_hit, EntryHint hint) const {
    const std::size_t size = required_.size();
    if (anchored_) {
      if (length >= size && required_.At(reinterpret_cast<const unsigned char*>(line))) {
        span = MatchSpan{1, line, line + size};
        on_hit(span);
      } else {
        span.matched = 0;
      }
      return;
    }
    std::size_t k = hint.place != kPlaceUnknown ? hint.place : 0;
    bool known = hint.presence == Presence::kAtFirst;
    while (line[0] != '\0') {  // an empty line gets no attempt, and the span stays as it was
      if (!known) k = k < length ? required_.FindCharStart(line, length, k) : length;
      known = false;
      if (k >= length) {
        span = MatchSpan{0, line + length, line + length};
        return;
      }
      span = MatchSpan{1, line + k, line + k + size};
      on_hit(span);
      if (first_only) return;
      k += size;
    }
  }

  // The entry's matcher, compiled without the leading '^': a fault it finds is placed in the
  // entry's text.
  static Matcher AfterAnchor(const char* text, bool anchored, const MatchOptions& options) {
    if (!anchored) return Matcher(text, options);
    try {
      return Matcher(text + 1, options);
    } catch (const PatternError& e) {
      throw PatternError(e.position() + 1, e.what());
    }
  }

  bool Attempt(MatchSpan& span, const char*& cursor, const char* end = nullptr,
               std::size_t first = kPlaceUnknown) const {
    if constexpr (std::is_same_v<Matcher, Pattern>) {
      if (anchored_) return MatchAt(span, cursor, pattern_).matched;
    } else if (anchored_) {
      return MatchConjunctive(span, cursor, pattern_).matched;
    }
    // No match starts before the first place of its bytes, less the characters before them:
    // the starts there get no attempt.
    const char* no_start_before = nullptr;
    if (end != nullptr && chars_before_ != Pattern::kVaries) {
      const std::size_t rest = static_cast<std::size_t>(end - cursor);
      const std::size_t k = first != kPlaceUnknown ? first : required_.Find(cursor, rest);
      const std::size_t back = 2 * chars_before_;  // at most two bytes a character
      no_start_before = k >= rest ? end : cursor + (k > back ? k - back : 0);
    }
    if constexpr (std::is_same_v<Matcher, Pattern>) {
      return MatchScan(span, cursor, pattern_, no_start_before).matched;
    } else {
      return MatchConjunctive(span, cursor, pattern_, no_start_before).matched;
    }
  }

  bool usable_;
  bool anchored_;
  bool start_only_;  // '^' alone, under MatchOptions::strict: a zero-width hit at every line start
  Matcher pattern_;
  std::size_t chars_before_ = Pattern::kVaries;  // set while required_ is made
  bool whole_ = false;                           // the same
  ByteFinder required_;
};

using LinePattern = AnchoredEntry<Pattern>;
using LineConjunctive = AnchoredEntry<Conjunctive>;

// A literal entry, taken as it stands ('^' included). Its hits are whole lines, and the searches
// count lines with a hit rather than tests.
class LineInclusion {
 public:
  static constexpr bool kWholeLinesOnly = true;
  static constexpr bool kCountsHitLines = true;

  explicit LineInclusion(const char* text, const MatchOptions& options = {});
  const ByteFinder& required() const { return required_; }
  ByteRuns RequiredIn(const FormsIn& in, bool* whole = nullptr) const {
    return pattern_.RequiredBytes(nullptr, whole, in);
  }
  const Inclusion& pattern() const { return pattern_; }

  template <typename OnHit>
  void Test(const char* line, std::size_t length, bool /*first_only*/, MatchSpan& span,
            OnHit&& on_hit, EntryHint hint = {}) const {
    const std::size_t first = hint.place;
    if (hint.presence == Presence::kAbsent) {
      span.matched = 0;
      return;
    }
    if (whole_) {
      // Included exactly where its bytes begin a character.
      // A place past a NUL inside the line is no match, as the search from it would find.
      const std::size_t k =
          hint.presence == Presence::kAtFirst
              ? (first < length ? first : length)
              : required_.FindCharStart(line, length, first != kPlaceUnknown ? first : 0);
      span =
          MatchSpan{k < length ? 1 : 0, line + k, line + k + (k < length ? pattern_.bytes() : 0)};
      if (span.matched) on_hit(span);
      return;
    }
    // No inclusion starts before the first place of its bytes, less the characters before them.
    const char* no_start_before = nullptr;
    if (!required_.empty()) {
      const std::size_t k = first != kPlaceUnknown ? first : required_.Find(line, length);
      if (k >= length) {
        span.matched = 0;
        return;
      }
      const std::size_t back = 2 * chars_before_;  // at most two bytes a character
      no_start_before = line + (k > back ? k - back : 0);
    }
    if (FindInclusion(span, line, pattern_, no_start_before) != 0) {
      // A line's hit covers the characters compared, not the pattern's bytes, so that matched
      // parts (and the search for the next one) never cut a character.
      span.end = pattern_.ComparedEnd(span.start);
      on_hit(span);
    }
  }

 private:
  Inclusion pattern_;
  std::size_t chars_before_ = 0;  // set while required_ is made
  bool whole_ = false;            // the same
  ByteFinder required_;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_LIST_ENTRY_H_
