#include "match/inclusion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "match/match_options.h"
#include "mbchar/char_array.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"
#include "sjis_gen.h"
#include "test_text.h"

namespace kensaku {
namespace {

int Inc(const char* line, const char* pattern, const MatchOptions& options = {}) {
  MatchSpan span;
  return FindInclusion(span, line, Inclusion(pattern, options));
}

int HeadInc(const char* line, const char* pattern, const MatchOptions& options = {}) {
  MatchSpan span;
  return IncludesAt(span, line, Inclusion(pattern, options));
}

TEST(InclusionTest, PositionsAreOneBasedBytes) {
  EXPECT_EQ(Inc("abcabc", "ca"), 3);
  EXPECT_EQ(Inc("abcabc", "abc"), 1);
  EXPECT_EQ(Inc("abcabc", "x"), 0);
  EXPECT_EQ(Inc("\x82\xA0" "ab", "b"), 4);
  EXPECT_EQ(Inc("a.c", "."), 2);
  EXPECT_EQ(Inc("abc", "."), 0);
  EXPECT_EQ(Inc("x[*\\", "[*\\"), 2);
  EXPECT_EQ(Inc("\x82\x63" "c", "c"), 3);  // never the trail byte of full-width C
  EXPECT_EQ(Inc("\x83\x5C", "\\"), 0);
}

TEST(InclusionTest, HeadAndEmptyTexts) {
  EXPECT_EQ(HeadInc("abc", "ab"), 1);
  EXPECT_EQ(HeadInc("abc", "bc"), 0);
  EXPECT_EQ(HeadInc("abc", "abcd"), 0);
  EXPECT_EQ(HeadInc("", ""), 1);
  EXPECT_EQ(HeadInc("", "a"), 0);
  EXPECT_EQ(HeadInc("abc", ""), 0);
  EXPECT_EQ(Inc("abc", ""), 0);
  EXPECT_EQ(Inc("", ""), 0);
  EXPECT_EQ(HeadInc(nullptr, "a"), 0);
  EXPECT_EQ(HeadInc("a", nullptr), 0);
  EXPECT_EQ(Inc(nullptr, "a"), 0);
  EXPECT_EQ(Inc("a", nullptr), 0);
}

TEST(InclusionTest, Folded) {
  EXPECT_EQ(Inc("xABC", "abc", FoldToUpper), 2);
  EXPECT_EQ(Inc("xABC", "abc", 0), 0);
  // Full-width characters count two bytes.
  EXPECT_EQ(Inc("\x82\xA0\x82\x60"
                "B",
                "AB", FoldToHalfWidth),
            3);
  EXPECT_EQ(Inc("\x82\xAA", "\xB6", FoldToHalfWidth), 1);
  EXPECT_EQ(Inc("x\x82\x60\x82\x61", "AB", FoldToFullWidth), 2);
}

TEST(InclusionTest, SpanEndIsPatternLength) {
  const char line[] = "\x82\x60\x82\x61" "z";
  MatchSpan span;
  ASSERT_EQ(FindInclusion(span, line, Inclusion("AB", FoldToHalfWidth)), 1);
  EXPECT_EQ(span.start, line);
  EXPECT_EQ(span.end, line + 2);  // the pattern's two bytes, not the four of the line
}

// Decision: the byte position is counted in 32 bits.
TEST(InclusionTest, PositionsBeyond32767AreTrue) {
  for (int offset : {32766, 32767, 40000, 70000}) {
    const std::string line = std::string(offset, 'a') + "xyz";
    EXPECT_EQ(Inc(line.c_str(), "xyz"), offset + 1) << offset;
  }
}

// Decision: a pattern longer than a character array holds is compared in full.
TEST(InclusionTest, PatternsBeyondArrayCapacityAreComparedInFull) {
  const std::string pattern = std::string(MaxChars, 'a') + "b";
  EXPECT_EQ(Inc("a", pattern.c_str()), 0);
  EXPECT_EQ(HeadInc(std::string(MaxChars + 5, 'a').c_str(), pattern.c_str()), 0);
  EXPECT_EQ(Inc(("zz" + pattern + "q").c_str(), pattern.c_str()), 3);
  EXPECT_EQ(Inc(("zz" + pattern.substr(1)).c_str(), pattern.c_str()), 0);
}

TEST(InclusionTest, MalformedPatternsFollowTheArrays) {
  // "\x81 x": the primitives count two characters, the walk three, so "\x81" and " " are kept;
  // written back they are one character again, and a line must end right after a "\x81".
  for (const char* line : {"\x81", "a\x81", "\x81 ", "\x81 x"}) {
    EXPECT_EQ(Inc(line, "\x81 x"), reference::FindInclusion(line, "\x81 x")) << line;
  }
  EXPECT_EQ(Inc("a\x81", "\x81 x"), 2);
  EXPECT_EQ(Inc("\x81 x", "\x81 x"), 0);
  // A lone lead byte at the end of the pattern is not counted by the primitives.
  EXPECT_EQ(Inc("ab", "ab\x81"), 1);
}

TEST(InclusionTest, AgreesWithCharacterArraysOnGeneratedText) {
  testing_gen::Generator gen(99);
  int hits = 0;
  for (int i = 0; i < 30000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(testing_gen::SubjectPieces(), 10);
    const std::string pattern = gen.Text(testing_gen::SubjectPieces(), 3);
    const int fast = Inc(line.c_str(), pattern.c_str(), flags);
    ASSERT_EQ(fast, reference::FindInclusion(line.c_str(), pattern.c_str(), flags))
        << "flags " << flags << " pattern '" << pattern << "' line '" << line << "'";
    ASSERT_EQ(HeadInc(line.c_str(), pattern.c_str(), flags),
              reference::IncludesAt(line.c_str(), pattern.c_str(), flags));
    hits += fast != 0;
  }
  EXPECT_GT(hits, 1000);
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// The one-pass search for long patterns agrees with the character arrays, and with the attempts
// on lines that make attempts costly.
TEST(InclusionTest, LinearSearchAgreesWithCharacterArrays) {
  std::size_t misses = 0;
  // Every scan the linear way, or with a huge budget never.
  const auto linear_way = [&misses](int flags) {
    return MatchOptions(flags, ScanLimits{0, &misses});
  };
  const auto attempts_only = [&misses](int flags) {
    return MatchOptions(flags, ScanLimits{SIZE_MAX / 32, &misses});
  };
  testing_gen::Generator gen(5150);
  int hits = 0;
  for (int i = 0; i < 30000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(testing_gen::SubjectPieces(), 12);
    const std::string pattern = gen.Text(testing_gen::SubjectPieces(), 4);
    const int fast = Inc(line.c_str(), pattern.c_str(), linear_way(flags));
    ASSERT_EQ(fast, reference::FindInclusion(line.c_str(), pattern.c_str(), flags))
        << "flags " << flags << " pattern " << Shown(pattern) << " line " << Shown(line);
    hits += fast != 0;
  }
  EXPECT_GT(hits, 1000);
  const int flags = FoldToHalfWidth | FoldToUpper;
  const std::string run(5000, 'a');
  for (const auto& [line, pattern] : std::vector<std::pair<std::string, std::string>>{
           {run + "b", std::string(1000, 'a') + "b"},
           {run, std::string(1000, 'a') + "b"},
           {run + "\x82\x81" "B", std::string(999, 'A') + "ab"},  // full-width a, then B
           {run + "ab", "aab\x81"},  // read back shorter: only at the end of the line
       }) {
    const int linear = Inc(line.c_str(), pattern.c_str(), linear_way(flags));
    EXPECT_EQ(linear, Inc(line.c_str(), pattern.c_str(), attempts_only(flags)))
        << Shown(pattern.substr(0, 20));
  }
  // Literal texts over two letters: borders and overlaps of every kind.
  const std::vector<std::string> letters = {"a", "b", "\x82\xA0"};
  for (int i = 0; i < 20000; ++i) {
    const std::string l = gen.Text(letters, 16);
    const std::string p = gen.Text(letters, 6);
    ASSERT_EQ(Inc(l.c_str(), p.c_str(), linear_way(0)),
              reference::FindInclusion(l.c_str(), p.c_str()))
        << Shown(p) << " in " << Shown(l);
  }
  EXPECT_EQ(misses, 0u);  // every place found was an inclusion
}

}  // namespace
}  // namespace kensaku
