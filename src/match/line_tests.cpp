#include "match/line_tests.h"

#include <cstring>

#include "frame/find_byte.h"
#include "match/byte_finder.h"
#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/pattern.h"
#include "match/pattern_list.h"

namespace kensaku {
namespace {

// Tries the entries in list order until one gives a non-zero result.
template <typename Test>
int FirstResult(const char* list, int fold_flags, Test test) {
  const ListText entries(list, fold_flags);
  int result = 0;
  for (const char* entry : entries) {
    result = test(entry);
    if (result != 0) break;
  }
  return result;
}

// False when the line lacks the bytes every match of the pattern holds: no decoding needed then.
template <typename Matcher>
bool MayMatch(const char* line, const Matcher& pattern) {
  if (line == nullptr) return true;  // the matchers answer for themselves
  const ByteFinder required(pattern.RequiredBytes());
  return required.In(line, TextBytes(line));
}

}  // namespace

int LineHeadMatch(const char* line, const char* pattern, int fold_flags) {
  MatchSpan span;
  const char* cursor = line;
  return MatchAt(span, cursor, Pattern(pattern, fold_flags)).matched;
}

int LineMatch(const char* line, const char* pattern, int fold_flags) {
  const Pattern compiled(pattern, fold_flags);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  const char* cursor = line;
  return MatchScan(span, cursor, compiled).matched;
}

int LineMatchs(const char* line, const char* pattern, int fold_flags) {
  const Conjunctive compiled(pattern, fold_flags);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  const char* cursor = line;
  return MatchConjunctive(span, cursor, compiled).matched;
}

int LineHeadInc(const char* line, const char* text, int fold_flags) {
  MatchSpan span;
  return IncludesAt(span, line, Inclusion(text, fold_flags));
}

int LineInc(const char* line, const char* text, int fold_flags) {
  const Inclusion compiled(text, fold_flags);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  return FindInclusion(span, line, compiled);
}

int LineMatchesList(const char* line, const char* list, int fold_flags) {
  return FirstResult(list, fold_flags,
                     [&](const char* entry) { return LineMatch(line, entry, fold_flags); });
}

int LineMatchesConjunctiveList(const char* line, const char* list, int fold_flags) {
  return FirstResult(list, fold_flags,
                     [&](const char* entry) { return LineMatchs(line, entry, fold_flags); });
}

int LineInclusionOfList(const char* line, const char* list, int fold_flags) {
  return FirstResult(list, fold_flags,
                     [&](const char* entry) { return LineInc(line, entry, fold_flags); });
}

}  // namespace kensaku
