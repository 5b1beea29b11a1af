#include "match/line_tests.h"

#include <cstring>

#include "match/byte_finder.h"
#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/pattern.h"
#include "match/pattern_list.h"

namespace kensaku {
namespace {

// Tries the entries in list order until one gives a non-zero result.
template <typename Test>
int FirstResult(const char* list, Test test) {
  const ListText entries(list);
  int result = 0;
  for (int i = 0; result == 0 && i < kMaxPatterns && entries.entries()[i] != nullptr; ++i) {
    result = test(entries.entries()[i]);
  }
  return result;
}

// False when the line lacks the bytes every match of the pattern holds: no decoding needed then.
template <typename Matcher>
bool MayMatch(const char* line, const Matcher& pattern) {
  if (line == nullptr) return true;  // the matchers answer for themselves
  const ByteFinder required(pattern.RequiredBytes());
  return required.In(line, std::strlen(line));
}

}  // namespace

int LineHeadMatch(const char* line, const char* pattern) {
  MatchSpan span;
  const char* cursor = line;
  return MatchAt(span, cursor, Pattern(pattern)).matched;
}

int LineMatch(const char* line, const char* pattern) {
  const Pattern compiled(pattern);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  const char* cursor = line;
  return MatchScan(span, cursor, compiled).matched;
}

int LineMatchs(const char* line, const char* pattern) {
  const Conjunctive compiled(pattern);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  const char* cursor = line;
  return MatchConjunctive(span, cursor, compiled).matched;
}

int LineHeadInc(const char* line, const char* text) {
  MatchSpan span;
  return IncludesAt(span, line, Inclusion(text));
}

int LineInc(const char* line, const char* text) {
  const Inclusion compiled(text);
  if (!MayMatch(line, compiled)) return 0;
  MatchSpan span;
  return FindInclusion(span, line, compiled);
}

int LineMatchesList(const char* line, const char* list) {
  return FirstResult(list, [&](const char* entry) { return LineMatch(line, entry); });
}

int LineMatchesConjunctiveList(const char* line, const char* list) {
  return FirstResult(list, [&](const char* entry) { return LineMatchs(line, entry); });
}

int LineInclusionOfList(const char* line, const char* list) {
  return FirstResult(list, [&](const char* entry) { return LineInc(line, entry); });
}

}  // namespace kensaku
