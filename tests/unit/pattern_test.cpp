#include "match/pattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "match/conjunctive.h"
#include "match/list_entry.h"
#include "match/match_options.h"
#include "match/pattern_error.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"
#include "sjis_gen.h"
#include "test_text.h"

namespace kensaku {
namespace {

int Head(const char* line, const char* pattern, const MatchOptions& options = {}) {
  MatchSpan span;
  const char* cursor = line;
  return MatchAt(span, cursor, Pattern(pattern, options)).matched;
}

int Scan(const char* line, const char* pattern, const MatchOptions& options = {}) {
  MatchSpan span;
  const char* cursor = line;
  return MatchScan(span, cursor, Pattern(pattern, options)).matched;
}

// The pattern compiled; under the tool's rules, refused (empty) exactly where the twin finds it at
// fault.
std::optional<Pattern> CompiledOrRefused(const std::string& pattern, const MatchOptions& options) {
  const long fault = options.strict ? reference::StrictFault(pattern.c_str()) : -1;
  try {
    std::optional<Pattern> compiled(std::in_place, pattern.c_str(), options);
    EXPECT_EQ(fault, -1) << "not refused: " << Shown(pattern);
    return compiled;
  } catch (const PatternError& e) {
    EXPECT_EQ(static_cast<long>(e.position()), fault) << "refused: " << Shown(pattern);
    return std::nullopt;
  }
}

struct Case {
  const char* pattern;
  const char* line;
  int scan;  // matches anywhere
};

void ExpectScans(const std::vector<Case>& cases, int flags = 0) {
  for (const Case& c : cases) {
    EXPECT_EQ(Scan(c.line, c.pattern, flags), c.scan)
        << "pattern '" << c.pattern << "' line '" << c.line << "'";
  }
}

TEST(PatternTest, EmptyLinesAndPatterns) {
  EXPECT_EQ(Scan("", ""), 1);
  EXPECT_EQ(Scan("abc", ""), 0);
  EXPECT_EQ(Scan("", "a"), 0);
  EXPECT_EQ(Scan("", "."), 0);  // no attempt starts at the terminator
  EXPECT_EQ(Head("abc", ""), 0);
  EXPECT_EQ(Head("", ""), 0);
  EXPECT_EQ(Head("", "."), 1);  // '.' matches the end
  EXPECT_EQ(Head("", "@"), 0);
  EXPECT_EQ(Scan("abc", "@*"), 0);
  EXPECT_EQ(Scan(nullptr, "a"), 0);
  EXPECT_EQ(Scan("a", nullptr), 0);
  EXPECT_EQ(Head(nullptr, "a"), 0);
}

// The tool's rules: '.' and sets take neither the line's end nor a broken character (a lead
// byte without its trail byte, or 0xFF, what text in another encoding reads a broken sequence
// as); the exports' rules take both.
TEST(PatternTest, StrictRulesRefuseBrokenCharactersAndTheEnd) {
  MatchOptions strict;
  strict.strict = true;
  const std::vector<std::pair<const char*, const char*>> refused = {
      {"x.y", "x\xFFy"}, {"x. ", "x\x82 "}, {"x[^a]y", "x\xFFy"}, {"a.", "a"},
      {"a[^x]", "a"},    {"a#.", "a\x82"},  {".", "\xFF"},        {"[\x81-\xFF]", "\xFF"}};
  for (const auto& [pattern, line] : refused) {
    EXPECT_EQ(Scan(line, pattern, strict), 0) << Shown(pattern) << " in " << Shown(line);
    EXPECT_EQ(Scan(line, pattern), 1) << Shown(pattern) << " in " << Shown(line);
  }
  EXPECT_EQ(Scan("x\x82\xA0y", "x.y", strict), 1);  // a whole character
  EXPECT_EQ(Scan("xay", "x[^b]y", strict), 1);
  EXPECT_EQ(Head("", ".", strict), 0);
}

// What the language cannot mean is refused under the tool's rules, at the byte at fault, in a
// pattern and in the entries made of one ('^' taken off, terms of a conjunctive one cut apart);
// the exports' rules read the same texts as they always have (BracketSets, RepeatAndSkip).
TEST(PatternTest, StrictRulesRefuseWhatTheLanguageCannotMean) {
  enum Form { kPattern, kUpper /* a pattern under FoldToUpper */, kEntry, kConjunctive };
  struct Row {
    Form form;
    const char* text;
    long fault;  // -1: none
  };
  // Meant (-1): a skip before an element, escapes, sets holding '#' or '-', an empty set; a
  // range whose ends folding turns ("[Z-a]" under FoldToUpper) and one without its end ("[a-]",
  // from the null to 'a' as always: grep's "[X-]" case relies on it).
  const std::vector<Row> rows = {
      {kPattern, "[", 0}, {kPattern, "a[b", 1}, {kPattern, "[[x", 0}, {kPattern, "[a\\]", 0},
      {kPattern, "#[b", 1}, {kPattern, "[a-c][z-a", 5}, {kPattern, "#", 0}, {kPattern, "^#", 1},
      {kPattern, "a##", 1}, {kPattern, "@#", 1}, {kPattern, "*#", 1}, {kPattern, "[a-c]x#", 6},
      {kPattern, "[z-a]", 1}, {kPattern, "x[^c-a]", 3}, {kPattern, "[\x82\xA0-a]", 1},
      {kPattern, "[b\x82\xA0-a]", 2}, {kPattern, "[\\r-\\t]", 1}, {kUpper, "[a-Z]", 1},
      {kPattern, "a#b", -1}, {kPattern, "#a", -1}, {kPattern, "\\#", -1}, {kPattern, "a#\\", -1},
      {kPattern, "[#]", -1}, {kPattern, "[-a]", -1}, {kPattern, "[a\\]]", -1}, {kPattern, "[]", -1},
      {kPattern, "[^]", -1}, {kPattern, "[a-a]", -1}, {kPattern, "]", -1}, {kPattern, "a\\", -1},
      {kPattern, "[\\t-\\r]", -1}, {kPattern, "[\x83\x5C-\x83\x5D]", -1}, {kUpper, "[Z-a]", -1},
      {kPattern, "[a-]", -1}, {kEntry, "^#", 1}, {kEntry, "^a[b", 2}, {kEntry, "a[b", 1},
      {kEntry, "^", -1}, {kConjunctive, "ab&c[d", 4}, {kConjunctive, "^a&b#", 4},
      {kConjunctive, "&&a#", 3}, {kConjunctive, "[a&b", 0}, {kConjunctive, "a[&]b#&c", 5},
      {kConjunctive, "a[b&c]", -1},
  };
  for (const Row& row : rows) {
    for (bool strict : {true, false}) {
      MatchOptions options(row.form == kUpper ? FoldToUpper : 0);
      options.strict = strict;
      long fault = -1;
      try {
        if (row.form <= kUpper) static_cast<void>(Pattern(row.text, options));
        if (row.form == kEntry) static_cast<void>(LinePattern(row.text, options));
        if (row.form == kConjunctive) static_cast<void>(LineConjunctive(row.text, options));
      } catch (const PatternError& e) {
        fault = static_cast<long>(e.position());
      }
      EXPECT_EQ(fault, strict ? row.fault : -1) << Shown(row.text) << " strict " << strict;
    }
  }
}

TEST(PatternTest, RepeatAndSkip) {
  ExpectScans({
      {"ab*c", "abc", 1},  {"ab*c", "abbbc", 1}, {"ab*c", "ac", 0},     {"a*a", "aaaa", 0},
      {"x.*y", "xaxxy", 1}, {"x.*y", "xaby", 0},  {"a#bc", "abc", 1},    {"a#bc", "axbc", 1},
      {"a#bc", "axxbc", 0}, {"ab#", "ab", 1},     {"ab#", "abc", 1},     {"[abc]*d", "bbd", 1},
      {"[abc]*d", "cxd", 0}, {"*abc", "xabc", 1}, {"**a", "a", 1},       {"a##c", "abc", 1},
      {"a#*c", "ac", 1},   {"a#[xy]c", "abyc", 1}, {"a#[xy]c", "abc", 0}, {"a.", "a", 1},
  });
}

TEST(PatternTest, RepeatAfterSetRepeatsOnlyTheMatchedCharacter) {
  EXPECT_EQ(Head("bbd", "[abc]*d"), 1);
  EXPECT_EQ(Head("bcd", "[abc]*d"), 0);
}

TEST(PatternTest, SpanOfSkipAndZeroWidth) {
  const char line[] = "abc";
  MatchSpan span;
  const char* cursor = line;
  MatchScan(span, cursor, Pattern("ab#"));
  EXPECT_EQ(span.end, line + 3);
  EXPECT_EQ(cursor, line + 3);

  const char line2[] = "xabc";
  cursor = line2;
  MatchScan(span, cursor, Pattern("@abc"));
  EXPECT_EQ(span.matched, 1);
  EXPECT_EQ(span.start, line2 + 1);
  EXPECT_EQ(span.end, line2 + 1);
  EXPECT_EQ(cursor, line2 + 1);
  EXPECT_EQ(SpanText(span).text(), nullptr);

  cursor = line2;
  MatchScan(span, cursor, Pattern("b."));
  EXPECT_EQ(std::string(SpanText(span).text()), "bc");
  // A failed scan leaves the cursor at the terminator.
  cursor = line2;
  MatchScan(span, cursor, Pattern("q"));
  EXPECT_EQ(cursor, line2 + 4);
}

TEST(PatternTest, BracketSets) {
  ExpectScans({
      {"abc.", "xxabc", 1},   {"a[^b]", "a", 1},    {"a[^b]", "ab", 0},    {"[]", "]", 0},
      {"[]", "", 0},          {"[^]", "q", 1},      {"[z-a]", "m", 1},     {"[z-a]", "A", 0},
      {"[[x]", "x", 1},       {"[[x]", "[", 0},     {"[a\\]]", "]", 1},    {"[a\\]]", "a", 1},
      {"[a\\]]", "\\", 0},    {"[-a]", "-", 1},     {"x[a-]", "x\x01", 1}, {"[a-]", "b", 0},
      {"[abc", "abc", 0},     {"a[bc", "ab", 0},    {"#[b", "b", 0},       {"[\\t]", "\t", 1},
      {"[\\^a]", "^", 1},     {"[a-c]x", "bx", 1},  {"[^a-c]", "abc", 0},
  });
}

TEST(PatternTest, EscapesAndOrdinaryCharacters) {
  ExpectScans({
      {"\\t", "a\tb", 1}, {"\\r", "a\r", 1},   {"\\.", ".", 1},    {"\\.", "a", 0},
      {"\\q", "q", 1},    {"a\\", "xa", 1},    {"a\\", "ab", 0},   {"^a", "x^a", 1},
      {"^a", "ab", 0},    {"a&b", "a&b", 1},   {"@", "abc", 0},    {"x@", "x@", 1},
      {"\\*", "*", 1},    {"\\*", "a", 0},     {"\\#", "#", 1},
  });
}

TEST(PatternTest, FoldedComparisons) {
  ExpectScans({{"abc", "ABC", 1}, {"abc", "aBc", 1}, {"[A-D]", "b", 1}, {"[a-d]", "B", 1}},
              FoldToUpper);
  ExpectScans({{"abc", "ABC", 0}, {"[A-D]", "b", 0}}, 0);
  ExpectScans({{"\x82\x60", "A", 1}, {"\xB6", "\x82\xAA", 1}, {"a*", "a\x82\x81\x82\x81", 1}},
              FoldToHalfWidth);
  // A double-byte range covers every hiragana between its ends.
  for (unsigned c = 0x829F; c <= 0x82F1; ++c) {
    const char line[3] = {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF), 0};
    EXPECT_EQ(Scan(line, "[\x82\x9F-\x82\xF1]"), 1) << std::hex << c;
  }
  EXPECT_EQ(Scan("\x83\x41", "[\x82\x9F-\x82\xF1]"), 0);
}

TEST(PatternTest, ShiftJisHazards) {
  ExpectScans({
      {"\x83\x5C", "x\x83\x5C", 1},   // katakana so is no escape
      {"\x83\x5Cq", "\x83\x5Cq", 1},
      {"\x81\x5B", "\x81\x5B", 1},    // long vowel mark opens no set
      {"\x81\x5B" "a]", "\x81\x5B" "a]", 1},
      {"c", "\x82\x63", 0},           // 'c' is the trail byte of full-width C
      {"\\", "\x83\x5C", 0},
      {"[", "\x81\x5B", 0},
      {".c", "\x82\x63" "c", 1},
      {"*", "\x81\x2A", 0},
      {"a\x81\x2A", "a\x81\x2A", 1},  // lone lead then '*' repeats the lone lead byte
      {"a\x81*b", "a\x81\x81\x81" "b", 0},
      {"\x81", "x\x81", 1},           // lone lead byte in pattern and line
      {"\x81 ", "\x81 ", 1},
      {"\x81@", "\x81@", 1},          // 0x81 0x40 is one character, and so is the pattern's
      {"@", "\x81@", 0},
      {"#", "\x81\x40", 1},
      {"[\x83\x5C]", "\x83\x5C", 1},
      {"[\x83\x5C]", "\\", 0},
  });
}

// Decision: every attempt starts with nothing to repeat, whatever an earlier call left.
TEST(PatternTest, RepeatStartsFreshInEveryAttempt) {
  ASSERT_EQ(Scan("xxx", "x"), 1);  // leaves an 'x' behind in a matcher that kept it
  EXPECT_EQ(Head("axxb", ".*b"), 0);
  EXPECT_EQ(Head("xxb", "**b"), 0);
  EXPECT_EQ(Scan("zaxxb", ".*b"), 1);  // found where the character before "b" starts
  EXPECT_EQ(Head("xaxxy", "x.*y"), 1);  // within an attempt '*' repeats the 'x' before '.'
}

// Decision: a run of '#' is evaluated without recursion, so no pattern exhausts the stack.
TEST(PatternTest, ThousandsOfSkipsDoNotExhaustTheStack) {
  const std::string hashes(32000, '#');
  EXPECT_EQ(Scan("ab", (hashes + "b").c_str()), 1);
  EXPECT_EQ(Scan("abc", (hashes + "c").c_str()), 1);
  EXPECT_EQ(Head("abc", (hashes + "c").c_str()), 0);  // one skip only, as with a single '#'
  EXPECT_EQ(Scan("x", hashes.c_str()), 1);
  std::string alternating;
  for (int i = 0; i < 8000; ++i) alternating += "#.";
  EXPECT_EQ(Head(std::string(8000, 'q').c_str(), alternating.c_str()), 1);
}

// The compiled matcher agrees with the literal one on random texts, malformed ones included.
TEST(PatternTest, AgreesWithReferenceOnGeneratedText) {
  testing_gen::Generator gen(20261207);
  int matches = 0, refused = 0;
  for (int i = 0; i < 40000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(testing_gen::SubjectPieces(), 12);
    const std::string pattern = gen.Text(testing_gen::PatternPieces(), 5);
    // The tool's rules too: '.' and sets refuse broken characters and the line's end.
    const bool strict = i % 3 == 0;
    MatchOptions options(flags);
    options.strict = strict;
    const std::optional<Pattern> compiled = CompiledOrRefused(pattern, options);
    ASSERT_FALSE(HasFailure());
    if (!compiled) {
      ++refused;
      continue;
    }
    reference::Matcher ref(flags, strict);
    for (bool anchored : {true, false}) {
      MatchSpan fast_span, ref_span;
      const char* fast_cursor = line.c_str();
      const char* ref_cursor = line.c_str();
      if (anchored) {
        MatchAt(fast_span, fast_cursor, *compiled);
        ref.At(ref_span, ref_cursor, pattern.c_str());
      } else {
        MatchScan(fast_span, fast_cursor, *compiled);
        ref.Scan(ref_span, ref_cursor, pattern.c_str());
      }
      ASSERT_EQ(fast_span.matched, ref_span.matched)
          << "flags " << flags << " strict " << strict << " anchored " << anchored << " pattern '"
          << pattern << "' line '" << line << "'";
      if (ref_span.matched || !anchored) {
        ASSERT_EQ(fast_cursor, ref_cursor) << "pattern " << Shown(pattern) << " line " << Shown(line);
      }
      if (ref_span.matched) {
        ++matches;
        ASSERT_EQ(fast_span.start, ref_span.start) << "pattern '" << pattern << "'";
        ASSERT_EQ(fast_span.end, ref_span.end) << "pattern '" << pattern << "'";
      }
    }
  }
  EXPECT_GT(matches, 3000);  // the generator exercises matches, not only failures
  EXPECT_GT(refused, 500);   // and the patterns the tool's rules refuse
}

TEST(PatternTest, PatternReadingPrimitives) {
  const char* p = "\\r\\t\\\\\\x\\";
  EXPECT_EQ(ReadPatternChar(p).code, '\r');
  EXPECT_EQ(ReadPatternChar(p).code, '\t');
  EXPECT_EQ(ReadPatternChar(p).code, '\\');
  EXPECT_EQ(ReadPatternChar(p).code, 'x');
  EXPECT_EQ(ReadPatternChar(p).code, kNullCode);
  EXPECT_EQ(*p, '\0');
  const char* none = nullptr;
  EXPECT_EQ(NextChar(none).code, kNullCode);
  const char set[] = "a\\]b]c";
  EXPECT_EQ(FindClassEnd(set), set + 4);
  EXPECT_EQ(FindClassEnd("ab"), nullptr);
  const char wide[] = "\x81\x5D]";
  EXPECT_EQ(FindClassEnd(wide), wide + 2);
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// Options that send every scan of a pattern the linear way (or, with a huge budget, never), and
// count the starts that way found where the attempt found no match.
MatchOptions LinearWay(int flags, std::size_t* misses) {
  return MatchOptions(flags, ScanLimits{0, misses});
}
MatchOptions AttemptsOnly(int flags, std::size_t* misses) {
  return MatchOptions(flags, ScanLimits{SIZE_MAX / 32, misses});
}

// The scan that finds the first start without trying them one by one agrees with the literal
// matcher: starts, ends, cursors, on generated text and patterns of every element.
TEST(PatternTest, LinearScanAgreesWithReference) {
  std::size_t misses = 0;
  testing_gen::Generator gen(777);
  int matches = 0;
  for (int i = 0; i < 40000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(testing_gen::SubjectPieces(), 14);
    const std::string pattern = gen.Text(testing_gen::PatternPieces(), 6);
    const bool strict = i % 3 == 0;
    MatchOptions options = LinearWay(flags, &misses);
    options.strict = strict;
    const std::optional<Pattern> compiled = CompiledOrRefused(pattern, options);
    ASSERT_FALSE(HasFailure());
    if (!compiled) continue;
    reference::Matcher ref(flags, strict);
    MatchSpan fast_span, ref_span;
    const char* fast_cursor = line.c_str();
    const char* ref_cursor = line.c_str();
    MatchScan(fast_span, fast_cursor, *compiled);
    ref.Scan(ref_span, ref_cursor, pattern.c_str());
    ASSERT_EQ(fast_span.matched, ref_span.matched) << "flags " << flags << " strict " << strict
                                                   << " pattern " << Shown(pattern) << " line "
                                                   << Shown(line);
    ASSERT_EQ(fast_cursor, ref_cursor) << "pattern " << Shown(pattern) << " line " << Shown(line);
    if (ref_span.matched) {
      ++matches;
      ASSERT_EQ(fast_span.start, ref_span.start) << "pattern " << Shown(pattern);
      ASSERT_EQ(fast_span.end, ref_span.end) << "pattern " << Shown(pattern);
    }
  }
  EXPECT_GT(matches, 2000);
  // Literal patterns over two letters: borders and overlaps of every kind.
  const std::vector<std::string> letters = {"a", "b", "\x82\xA0"};
  for (int i = 0; i < 20000; ++i) {
    const std::string line = gen.Text(letters, 16);
    const std::string pattern = gen.Text(letters, 6);
    const Pattern compiled(pattern.c_str(), LinearWay(0, &misses));
    reference::Matcher ref;
    MatchSpan fast_span, ref_span;
    const char* fast_cursor = line.c_str();
    const char* ref_cursor = line.c_str();
    MatchScan(fast_span, fast_cursor, compiled);
    ref.Scan(ref_span, ref_cursor, pattern.c_str());
    ASSERT_EQ(fast_span.matched, ref_span.matched) << Shown(pattern) << " in " << Shown(line);
    if (ref_span.matched) {
      ASSERT_EQ(fast_span.start, ref_span.start) << Shown(pattern);
    }
  }
  // Every start the linear way found was a match.
  EXPECT_EQ(misses, 0u);
}

// Lines where trying every start costs the line's length each time: the linear way and the
// attempts agree (the attempts alone are slow here, but these lines are short enough).
TEST(PatternTest, CostlyScansAgreeWithTheAttempts) {
  const std::string run(6000, 'a');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a*b", run},
      {"a*b", run + "b"},
      {"a*c", run + "b" + run + "c"},
      {std::string(3000, 'a') + "b", run + "b"},
      {std::string(3000, 'a') + "b", run},
      {"[a-z]" + std::string(200, '.') + "b", run + "b"},
      {"#a" + std::string(100, 'a') + "#c", run + "c"},
      {"a*" + std::string(50, '.') + "c", std::string(3000, 'a') + "c"},
      {"[ab]*." + std::string(40, 'a') + "q", run + "q"},
      {"\x82\xA0*\x82\xA2", std::string(4000, '\x82') + "\xA0\x82\xA2"},
  };
  std::size_t misses = 0;
  for (int flags : {0, FoldToUpper | FoldKanaToKatakana}) {
    for (const auto& [pattern, line] : cases) {
      const Pattern linear(pattern.c_str(), LinearWay(flags, &misses));
      const Pattern attempts(pattern.c_str(), AttemptsOnly(flags, &misses));
      MatchSpan linear_span, attempt_span;
      const char* linear_cursor = line.c_str();
      const char* attempt_cursor = line.c_str();
      MatchScan(linear_span, linear_cursor, linear);
      MatchScan(attempt_span, attempt_cursor, attempts);
      const std::string shown = pattern.substr(0, 40);
      ASSERT_EQ(linear_span.matched, attempt_span.matched) << shown;
      EXPECT_EQ(linear_cursor, attempt_cursor) << shown;
      if (attempt_span.matched) {
        EXPECT_EQ(linear_span.start - line.c_str(), attempt_span.start - line.c_str()) << shown;
        EXPECT_EQ(linear_span.end - line.c_str(), attempt_span.end - line.c_str()) << shown;
      }
    }
  }
  EXPECT_EQ(misses, 0u);
}

// Literals and sets take part in the required run, one alternative for each length their
// characters have, and a pattern whose run is all of it, in one alternative, is whole: its
// matches are exactly where the run begins a character.
TEST(PatternRequiredBytes, SetsAndFoldedFormsJoinTheRun) {
  struct Case {
    const char* pattern;
    int flags;
    std::size_t alternatives;  // 0: no run
    std::size_t sets;          // of the shortest alternative
    std::size_t chars_before;
    bool whole;
  };
  const std::size_t V = Pattern::kVaries;
  const Case cases[] = {
      // katakana, the long vowel mark, katakana: 0x83 then a trail byte, twice
      {"[\x83\x40-\x83\x96]\x81\x5B[\x83\x40-\x83\x96]", 0, 1, 6, 0, true},
      // under kana folding hiragana match too: the pairs of the sets are more than the characters
      {"[\x83\x40-\x83\x96]\x81\x5B", FoldKanaToHiragana, 1, 4, 0, false},
      {"[a-z]b", 0, 1, 2, 0, true},
      {"[a-z]b", FoldToUpper, 1, 2, 0, true},
      {"[a\x83\x40]b", 0, 2, 2, 0, false},  // one byte or two: an alternative each
      {"[^a]b", 0, 1, 1, 1, false},
      {".ab", 0, 1, 2, 1, false},
      {"a#bc", 0, 1, 1, 0, false},  // the run before the skip
      {"ab*", 0, 1, 2, 0, false},
      {"@ab", 0, 1, 2, V, false},
      {"[\x81-\x83 ]b", 0, 1, 2, 0, false},  // a lone lead byte is no character before a trail byte
      {"[b-]", 0, 0, 0, V, false},           // the set reaches the terminator
      // Folded forms of two lengths: katakana ka (half-width 0xB6, or two bytes) then b (or the
      // full-width b).
      {"\x83\x4A\x62", FoldToHalfWidth, 4, 2, 0, false},
      // Digits of both widths: eight alternatives at most, so three of the four characters.
      {"2000", FoldNumeric, 8, 3, 0, false},
  };
  for (const Case& c : cases) {
    const Pattern p(c.pattern, c.flags);
    std::size_t before = 0;
    bool whole = !c.whole;
    const ByteRuns runs = p.RequiredBytes(&before, &whole);
    EXPECT_EQ(runs.size(), c.alternatives) << Shown(c.pattern);
    std::size_t shortest = runs.empty() ? 0 : runs[0].size();
    for (const ByteSets& run : runs) shortest = std::min(shortest, run.size());
    EXPECT_EQ(shortest, c.sets) << Shown(c.pattern);
    if (c.sets != 0) {
      EXPECT_EQ(before, c.chars_before) << Shown(c.pattern);
    }
    EXPECT_EQ(whole, c.whole) << Shown(c.pattern);
  }
  const ByteRuns katakana = Pattern("[\x83\x40-\x83\x96]").RequiredBytes();
  ASSERT_EQ(katakana.size(), 1u);
  ASSERT_EQ(katakana[0].size(), 2u);
  EXPECT_TRUE(katakana[0][0][0x83]);
  EXPECT_FALSE(katakana[0][0][0x82]);
  EXPECT_TRUE(katakana[0][1][0x40] && katakana[0][1][0x96]);
  EXPECT_FALSE(katakana[0][1][0x7F]);  // not a trail byte: 0x83 0x7F is two characters
  EXPECT_FALSE(katakana[0][1][0x97]);
}

}  // namespace
}  // namespace kensaku
