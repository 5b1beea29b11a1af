#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "match/pattern_error.h"
#include "mbchar/fold.h"
#include "patterns.h"
#include "search/query.h"
#include "temp_dir.h"

namespace kensaku::cli {
namespace {

std::vector<std::string> Parts(const Query& g, const std::string& line) {
  std::vector<LineSpan> spans;
  g.MatchedParts(line.c_str(), line.size(), spans);
  std::vector<std::string> out;
  for (const LineSpan& s : spans) out.push_back(line.substr(s.start, s.end - s.start));
  return out;
}

using Strings = std::vector<std::string>;

TEST(CliPatternsTest, GroupsBeyondSixty) {
  std::vector<std::string> patterns;
  for (int i = 0; i < 130; ++i)
    patterns.push_back(std::string("w").append(std::to_string(i)).append("x"));
  std::string error;
  const auto g = BuildQuery(patterns, SearchKind::kMatch, 0);
  ASSERT_NE(g, nullptr) << error;
  EXPECT_EQ(g->groups().size(), 3u);
  for (const char* line : {"w0x", "w59x", "w60x", "w129x", "..w125x.."}) {
    EXPECT_TRUE(g->Selects(line, std::strlen(line))) << line;
  }
  EXPECT_FALSE(g->Selects("w130x", 5));
  EXPECT_EQ(Parts(*g, "w1x w129x w60x"), (Strings{"w1x", "w129x", "w60x"}));
}

TEST(CliPatternsTest, LiteralPartsAreEveryOccurrence) {
  std::string error;
  const auto g = BuildQuery({"ab", "^"}, SearchKind::kInc, 0);
  ASSERT_NE(g, nullptr) << error;
  EXPECT_EQ(Parts(*g, "ab^ab-ab"), (Strings{"ab", "^", "ab", "ab"}));
  // Folded: with case ignored, every form is found.
  const auto folded = BuildQuery({"ab"}, SearchKind::kInc, FoldToUpper);
  ASSERT_NE(folded, nullptr) << error;
  EXPECT_EQ(Parts(*folded, "Ab aB"), (Strings{"Ab", "aB"}));
}

// Mended: a literal hit whose pattern bytes run past the line (here widened by folding) was read
// and printed past the line's end.
TEST(CliPatternsTest, LiteralPartsEndInTheLine) {
  auto spans_of = [](const Query& g, const char* text) {
    const std::size_t n = std::strlen(text);
    std::unique_ptr<char[]> line(new char[n + 1]);  // exactly the line, for the sanitizers
    std::memcpy(line.get(), text, n + 1);
    std::vector<LineSpan> spans;
    g.MatchedParts(line.get(), n, spans);
    for (const LineSpan& s : spans) EXPECT_LE(s.end, n) << text;
    return spans.size();
  };
  std::string error;
  const auto wide = BuildQuery({"ab"}, SearchKind::kInc, FoldToFullWidth);
  ASSERT_NE(wide, nullptr) << error;
  EXPECT_EQ(spans_of(*wide, "xab"), 1u);
  EXPECT_EQ(spans_of(*wide, "ab ab"), 2u);  // each hit covers the characters compared
  // A half-width pattern on a full-width character covers the whole character.
  const auto narrow = BuildQuery({"a"}, SearchKind::kInc, FoldToFullWidth);
  ASSERT_NE(narrow, nullptr) << error;
  std::vector<LineSpan> spans;
  narrow->MatchedParts("x\x82\x81", 3, spans);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].start, 1u);
  EXPECT_EQ(spans[0].end, 3u);
}

TEST(CliPatternsTest, ConjunctiveTerms) {
  std::string error;
  const auto g = BuildQuery({"ab&cd"}, SearchKind::kMatchs, 0);
  ASSERT_NE(g, nullptr) << error;
  EXPECT_TRUE(g->Selects("xx ab yy cd", 11));
  EXPECT_FALSE(g->Selects("cd ab", 5));
}

// What only a regular expression means, outside sets, in whole characters: a Shift_JIS trail
// byte that looks like '|' or a backslash is none.
TEST(CliPatternsTest, RegexSyntaxIsFound) {
  const std::vector<std::pair<std::string, bool>> rows = {
      {"a|b", true},       {"colou?r", true},    {"[0-9]{3}", true},  {"(ab)", true},
      {"end$", true},      {"a\\sb", true},      {"\\bword", true},   {"\\d", true},
      {"a\\|b", true},     {"a\\(b\\)", true},   {"[(]x", false},     {"[a|b]", false},
      {"[]?]", true},      {"a\\$", false},      {"a\\tb", false},    {"a#b*.[^x]", false},
      {"\x83\x7C", false}, {"\x83\x5Cs", false}, {"\x83\x7B", false}, {"", false},
      {"[[?]", false},     {"[(", true},
  };
  for (const auto& [pattern, holds] : rows) {
    EXPECT_EQ(HoldsRegexSyntax(pattern), holds) << pattern;
  }
}

// A pattern its syntax cannot read is named by its place among those given, and the byte at
// fault by its place in the pattern given: whatever the query leaves out (an empty pattern or
// '^' under a bound), the groups of 60, a kana joined with its mark. Beside an empty pattern,
// which selects every line, it is an error still.
TEST(CliPatternsTest, PatternErrorsNameThePatternGiven) {
  struct Row {
    Strings patterns;
    SearchKind kind;
    Bound bound;
    int flags;
    std::size_t pattern, position;
  };
  Strings many(64, "w");
  many.push_back("a[b");
  const int width = FoldAsRead | FoldToHalfWidth;
  const std::vector<Row> rows = {
      {{"x", "a[b"}, SearchKind::kMatch, Bound::kNone, 0, 1, 1},
      {{"", "a[b"}, SearchKind::kMatch, Bound::kNone, 0, 1, 1},
      {{"", "a[b"}, SearchKind::kMatch, Bound::kWord, 0, 1, 1},
      {{"^", "ok", "^#"}, SearchKind::kMatch, Bound::kLine, 0, 2, 1},
      {{"^", "x", "y&z#"}, SearchKind::kMatchs, Bound::kWord, 0, 2, 3},
      {many, SearchKind::kMatch, Bound::kNone, 0, 64, 1},
      {{"\x83\x4A\x81\x4A[b"}, SearchKind::kMatch, Bound::kNone, width, 0, 4},  // カ゛, joined
  };
  for (const Row& row : rows) {
    std::size_t pattern = 99, position = 99;
    try {
      BuildQueries(row.patterns, row.kind, row.flags, nullptr, row.bound);
    } catch (const PatternError& e) {
      pattern = e.pattern();
      position = e.position();
    }
    EXPECT_EQ(pattern, row.pattern) << row.patterns.back();
    EXPECT_EQ(position, row.position) << row.patterns.back();
  }
}

// Patterns are as typed: blanks and quotes count, and an empty one selects every line.
TEST(CliPatternsTest, PatternsAsTyped) {
  const Queries every = BuildQueries({"", "  "}, SearchKind::kMatch, 0, nullptr);
  EXPECT_TRUE(every.every_line);
  EXPECT_EQ(every.decoded->size(), 0u);
  const Queries typed = BuildQueries({"line 5 ", "\"a\""}, SearchKind::kInc, 0, nullptr);
  EXPECT_FALSE(typed.every_line);
  for (const char* line : {"line 5 x", "say \"a\""}) {
    EXPECT_TRUE(typed.sjis->Selects(line, std::strlen(line))) << line;
  }
  for (const char* line : {"line 50", "line 5", "say a"}) {
    EXPECT_FALSE(typed.sjis->Selects(line, std::strlen(line))) << line;
  }
}

TEST(CliPatternsTest, CollectingAndConverting) {
  TempDir dir;
  // あ (its CR LF dropped), " b" as typed, an empty line, c; the last LF ends c
  WriteFile(dir / "list", "\xE3\x81\x82\r\n b\n\nc\n");
  Options o;
  o.patterns = {{"x\ny", false}, {dir / "list", true}, {"z\n", false}, {"", false}};
  std::vector<std::string> patterns;
  std::string error;
  ExtraChars extras;
  int flags = 0;
  ASSERT_TRUE(CollectPatterns(o, patterns, extras, flags, error)) << error;
  // As grep reads -e: a LF at the end of one begins an empty pattern.
  EXPECT_EQ(patterns, (Strings{"x", "y", "\x82\xA0", " b", "", "c", "z", "", ""}));

  // A character Shift_JIS lacks is given a code of its own, the same in every pattern.
  o.patterns = {{"a\xF0\x9F\x98\x80", false}, {"\xF0\x9F\x98\x80\xE2\x82\xAC", false}};
  patterns.clear();
  ASSERT_TRUE(CollectPatterns(o, patterns, extras, flags, error)) << error;
  ASSERT_EQ(patterns.size(), 2u);
  EXPECT_EQ(ExtraCharsIn(patterns[0], extras), std::vector<char32_t>{0x1F600});
  EXPECT_EQ(ExtraCharsIn(patterns[1], extras), (std::vector<char32_t>{0x1F600, 0x20AC}));
  EXPECT_EQ(patterns[1].substr(0, 2), patterns[0].substr(1));
  // Text that is no UTF-8 is named; raw patterns pass as bytes.
  WriteFile(dir / "bad", "ok\n\xE2\x82\n");
  o.patterns = {{dir / "bad", true}};
  EXPECT_FALSE(CollectPatterns(o, patterns, extras, flags, error));
  EXPECT_EQ(error, dir / "bad" +
                       ": line 2: is not UTF-8 text (use --pattern-encoding=sjis for Shift_JIS "
                       "bytes)");
  o.patterns = {{"\x83\x5C", false}};
  o.pattern_encoding = Charset::kSjis;
  patterns.clear();
  ASSERT_TRUE(CollectPatterns(o, patterns, extras, flags, error)) << error;
  EXPECT_EQ(patterns, Strings{"\x83\x5C"});
}

TEST(CliPatternsTest, ListFilesAreBounded) {
  TempDir dir;
  std::string text, error;
  EXPECT_FALSE(ReadListFile(dir / "missing", text, error));
  EXPECT_EQ(error, dir / "missing" + ": No such file or directory");
  EXPECT_FALSE(ReadListFile(dir / "", text, error));
  EXPECT_NE(error.find(": Is a directory"), std::string::npos) << error;
  WriteFile(dir / "big", std::string(kMaxListFileBytes + 1, 'a'));
  EXPECT_FALSE(ReadListFile(dir / "big", text, error));
  EXPECT_EQ(error, dir / "big" + ": a pattern list may hold at most 4 MiB");
  WriteFile(dir / "edge", std::string(kMaxListFileBytes, 'a'));
  EXPECT_TRUE(ReadListFile(dir / "edge", text, error)) << error;
  EXPECT_EQ(text.size(), kMaxListFileBytes);
}

}  // namespace
}  // namespace kensaku::cli
