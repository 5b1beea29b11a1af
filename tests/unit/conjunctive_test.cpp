#include "match/conjunctive.h"

#include <gtest/gtest.h>

#include <string>

#include "mbchar/fold.h"
#include "reference_matcher.h"
#include "sjis_gen.h"
#include "test_text.h"

namespace kensaku {
namespace {

int Matchs(const char* line, const char* pattern, int flags = 0) {
  MatchSpan span;
  const char* cursor = line;
  return MatchConjunctive(span, cursor, Conjunctive(pattern, flags)).matched;
}

int Match(const char* line, const char* pattern, int flags = 0) {
  MatchSpan span;
  const char* cursor = line;
  return MatchScan(span, cursor, Pattern(pattern, flags)).matched;
}

std::vector<std::string> Terms(const char* text) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%s", text);
  TermList list{};
  SplitTerms(list, buffer);
  std::vector<std::string> terms;
  for (char* t : list) {
    if (t == nullptr) break;
    terms.emplace_back(t);
  }
  return terms;
}

TEST(Conjunctive, TermsMatchInOrder) {
  struct Row {
    const char* pattern;
    const char* line;
    int expected;
  };
  const Row rows[] = {
      {"a&b", "xaxb", 1}, {"a&b", "ab", 1},    {"a&b", "ba", 0},     {"a&b", "a", 0},
      {"ab&b", "ab", 0},  {"@ab&b", "ab", 1},  {"a&&b", "ab", 1},    {"&a&b&", "ab", 1},
      {"&", "&", 0},      {"[&]", "x&", 1},    {"\\&", "&", 1},      {"x\\&&y", "x&y", 1},
      {"x\\&&y", "xy", 0}, {"[a][&]", "a&", 1}, {"[\\]&]", "]&]", 0}, {"a", "", 0},
      {"", "", 0},        {"", "a", 0},        {"\x1A" "a", "a", 1}, {"\x1A", "x", 0},
      {"x&.", "x", 0},    {"\x83\x5C&a", "\x83\x5C" "a", 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Matchs(r.line, r.pattern), r.expected) << r.pattern << " / " << r.line;
  }
  EXPECT_EQ(Matchs("\x81", "\x81"), 0);  // a lone lead byte makes no term
  EXPECT_EQ(Match("\x81", "\x81"), 1);
  EXPECT_EQ(Matchs(nullptr, "a"), 0);
  EXPECT_EQ(Matchs("a", nullptr), 0);
}

TEST(Conjunctive, SpanRunsFromFirstTermToLastAndCursorFollows) {
  const char line[] = "zaxbq";
  MatchSpan span;
  const char* cursor = line;
  MatchConjunctive(span, cursor, Conjunctive("a&b"));
  EXPECT_EQ(span.matched, 1);
  EXPECT_EQ(span.start, line + 1);
  EXPECT_EQ(span.end, line + 4);
  EXPECT_EQ(cursor, line + 4);
  const char line2[] = "ab";
  cursor = line2;
  MatchConjunctive(span, cursor, Conjunctive("@ab&b"));
  EXPECT_EQ(span.start, line2);
  EXPECT_EQ(span.end, line2 + 2);
}

TEST(Conjunctive, SplittingProtectsBracketsAndEscapes) {
  EXPECT_EQ(Terms("a&&b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Terms("&a"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(Terms("x\\&&y"), (std::vector<std::string>{"x\\&", "y"}));
  EXPECT_EQ(Terms("[a][&]"), (std::vector<std::string>{"[a][&]"}));
  EXPECT_EQ(Terms("[\\]&]"), (std::vector<std::string>{"[\\]", "]"}));
  EXPECT_EQ(Terms("[&"), (std::vector<std::string>{"["}));  // no ']': the '[' protects nothing
  EXPECT_EQ(Terms("\\"), (std::vector<std::string>{"\\"}));
  EXPECT_EQ(Terms("&&"), (std::vector<std::string>{}));
  // The trail byte 0x5C of katakana so escapes nothing; a bracket trail byte opens nothing.
  EXPECT_EQ(Terms("\x83\x5C&b"), (std::vector<std::string>{"\x83\x5C", "b"}));
  EXPECT_EQ(Terms("\x81\x5B&]"), (std::vector<std::string>{"\x81\x5B", "]"}));
}

TEST(Conjunctive, LimitsOf255BytesAnd60Terms) {
  std::string cut(254, 'a');
  cut += "bX";  // the X is byte 256
  EXPECT_EQ(Matchs((std::string(254, 'a') + "b").c_str(), cut.c_str()), 1);
  EXPECT_EQ(Match((std::string(254, 'a') + "b").c_str(), cut.c_str()), 0);
  std::string sixty_one;
  for (int i = 0; i < 61; ++i) sixty_one += (i < 60 ? "a&" : "q");
  EXPECT_EQ(Matchs(std::string(60, 'a').c_str(), sixty_one.c_str()), 1);  // the 'q' is ignored
  EXPECT_EQ(Matchs(std::string(59, 'a').c_str(), sixty_one.c_str()), 0);
  // A cut inside a double-byte character leaves a lone lead byte as the last character.
  std::string wide(254, 'a');
  wide += "\x82\xA0";
  EXPECT_EQ(Matchs((std::string(254, 'a') + "\x82").c_str(), wide.c_str()), 1);
}

TEST(Conjunctive, AgreesWithReferenceAndWithSinglePatterns) {
  testing_gen::Generator gen(7);
  for (int i = 0; i < 30000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(testing_gen::SubjectPieces(), 12);
    std::string pattern = gen.Text(testing_gen::PatternPieces(), 6);
    if (gen.Int(0, 20) == 0) pattern = std::string(250, 'a') + pattern;
    MatchSpan fast, ref;
    const char* fast_cursor = line.c_str();
    const char* ref_cursor = line.c_str();
    MatchConjunctive(fast, fast_cursor, Conjunctive(pattern.c_str(), flags));
    reference::Matcher(flags).Conjunctive(ref, ref_cursor, pattern.c_str());
    ASSERT_EQ(fast.matched, ref.matched) << "pattern " << Shown(pattern) << " line " << Shown(line);
    if (ref.matched) {
      ASSERT_EQ(fast.start, ref.start);
      ASSERT_EQ(fast.end, ref.end);
      ASSERT_EQ(fast_cursor, ref_cursor);
    }
    // Without separators a conjunctive pattern is a single scan, on non-empty lines; a pattern
    // that is one lone lead byte yields no term at all.
    const bool lone_lead = pattern.size() == 1 && IsLeadByte(static_cast<unsigned char>(pattern[0]));
    if (!line.empty() && pattern.size() <= 255 && pattern.find('&') == std::string::npos &&
        pattern.find('\x1A') == std::string::npos && !lone_lead) {
      ASSERT_EQ(fast.matched, Match(line.c_str(), pattern.c_str(), flags))
          << "pattern " << Shown(pattern) << " line " << Shown(line);
    }
  }
}

}  // namespace
}  // namespace kensaku
