#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mbchar/fold.h"
#include "patterns.h"
#include "temp_dir.h"

namespace kensaku::cli {
namespace {

std::vector<std::string> Parts(const PatternGroups& g, const std::string& line) {
  std::vector<Span> spans;
  g.Matches(line.c_str(), line.size(), spans);
  std::vector<std::string> out;
  for (const Span& s : spans) out.push_back(line.substr(s.start, s.end - s.start));
  return out;
}

using Strings = std::vector<std::string>;

class CliPatternsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFoldFlags(0); }
  void TearDown() override { SetFoldFlags(0); }
};

TEST_F(CliPatternsTest, GroupsBeyondSixty) {
  std::vector<std::string> patterns;
  for (int i = 0; i < 130; ++i)
    patterns.push_back(std::string("w").append(std::to_string(i)).append("x"));
  PatternGroups g;
  std::string error;
  ASSERT_TRUE(g.Build(patterns, SearchKind::kMatch, error)) << error;
  EXPECT_EQ(g.size(), 3u);
  for (const char* line : {"w0x", "w59x", "w60x", "w129x", "..w125x.."}) {
    EXPECT_TRUE(g.Selects(line, std::strlen(line))) << line;
  }
  EXPECT_FALSE(g.Selects("w130x", 5));
  EXPECT_EQ(Parts(g, "w1x w129x w60x"), (Strings{"w1x", "w129x", "w60x"}));
}

TEST_F(CliPatternsTest, LiteralPartsAreEveryOccurrence) {
  PatternGroups g;
  std::string error;
  ASSERT_TRUE(g.Build({"ab", "^"}, SearchKind::kInc, error)) << error;
  EXPECT_EQ(Parts(g, "ab^ab-ab"), (Strings{"ab", "^", "ab", "ab"}));
  // Folded: with case ignored, every form is found.
  SetFoldFlags(FoldToUpper);
  PatternGroups folded;
  ASSERT_TRUE(folded.Build({"ab"}, SearchKind::kInc, error)) << error;
  EXPECT_EQ(Parts(folded, "Ab aB"), (Strings{"Ab", "aB"}));
}

// Mended: a literal hit whose pattern bytes run past the line (here widened by folding) was read
// and printed past the line's end.
TEST_F(CliPatternsTest, LiteralPartsEndInTheLine) {
  auto spans_of = [](const PatternGroups& g, const char* text) {
    const std::size_t n = std::strlen(text);
    std::unique_ptr<char[]> line(new char[n + 1]);  // exactly the line, for the sanitizers
    std::memcpy(line.get(), text, n + 1);
    std::vector<Span> spans;
    g.Matches(line.get(), n, spans);
    for (const Span& s : spans) EXPECT_LE(s.end, n) << text;
    return spans.size();
  };
  std::string error;
  SetFoldFlags(FoldToFullWidth);
  PatternGroups wide;
  ASSERT_TRUE(wide.Build({"ab"}, SearchKind::kInc, error)) << error;
  EXPECT_EQ(spans_of(wide, "xab"), 1u);
  EXPECT_EQ(spans_of(wide, "ab ab"), 1u);  // the first hit's bytes reach past the second
}

TEST_F(CliPatternsTest, ConjunctiveTerms) {
  PatternGroups g;
  std::string error;
  ASSERT_TRUE(g.Build({"ab&cd"}, SearchKind::kMatchs, error)) << error;
  EXPECT_TRUE(g.Selects("xx ab yy cd", 11));
  EXPECT_FALSE(g.Selects("cd ab", 5));
}

TEST_F(CliPatternsTest, EmptyPatternsAreRefused) {
  PatternGroups g;
  std::string error;
  EXPECT_FALSE(g.Build({"", "  "}, SearchKind::kMatch, error));
  EXPECT_EQ(error, "no pattern to search for (empty patterns are passed over)");
}

TEST_F(CliPatternsTest, CollectingAndConverting) {
  TempDir dir;
  WriteFile(dir / "list", "\xE3\x81\x82\r\nb\n\nc");  // あ, b, an empty line, c
  Options o;
  o.patterns = {{"x\ny", false}, {dir / "list", true}};
  std::vector<std::string> patterns;
  std::string error;
  ASSERT_TRUE(CollectPatterns(o, patterns, error)) << error;
  EXPECT_EQ(patterns, (Strings{"x", "y", "\x82\xA0", "b", "c"}));

  // A character Shift_JIS lacks is named; raw patterns pass as bytes.
  o.patterns = {{"a\xF0\x9F\x98\x80", false}};
  patterns.clear();
  EXPECT_FALSE(CollectPatterns(o, patterns, error));
  EXPECT_EQ(error,
            "pattern 'a\xF0\x9F\x98\x80': '\xF0\x9F\x98\x80' (U+1F600) has no Shift_JIS form");
  WriteFile(dir / "bad", "ok\n\xE2\x82\xAC\n");  // the euro sign on line 2
  o.patterns = {{dir / "bad", true}};
  EXPECT_FALSE(CollectPatterns(o, patterns, error));
  EXPECT_EQ(error, dir / "bad" + ": line 2: '\xE2\x82\xAC' (U+20AC) has no Shift_JIS form");
  o.patterns = {{"\x83\x5C", false}};
  o.pattern_encoding = Encoding::kSjis;
  patterns.clear();
  ASSERT_TRUE(CollectPatterns(o, patterns, error)) << error;
  EXPECT_EQ(patterns, Strings{"\x83\x5C"});
}

TEST_F(CliPatternsTest, ListFilesAreBounded) {
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
