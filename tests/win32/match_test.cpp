// The single-line tests of kensaku.dll: pattern language, conjunctive patterns, inclusion and
// pattern lists, through the exports.
#include <gtest/gtest.h>

#include <string>

#include "dll_host.h"

namespace kensaku_test {
namespace {

class MatchExports : public ::testing::Test {
 protected:
  void SetUp() override { K(xSet)(0); }
  void TearDown() override { K(xSet)(0); }
};

TEST_F(MatchExports, PatternLanguage) {
  auto match = K(LinexMatch);
  auto head = K(LinexHeadMatch);
  EXPECT_EQ(match("", ""), 1);
  EXPECT_EQ(match("abc", ""), 0);
  EXPECT_EQ(head("", "."), 1);
  EXPECT_EQ(head("abc", ""), 0);
  EXPECT_EQ(match("abbbc", "ab*c"), 1);
  EXPECT_EQ(match("aaa", "a*a"), 0);
  EXPECT_EQ(match("xaxxy", "x.*y"), 1);
  EXPECT_EQ(match("axbc", "a#bc"), 1);
  EXPECT_EQ(match("axxbc", "a#bc"), 0);
  EXPECT_EQ(match("a", "a[^b]"), 1);
  EXPECT_EQ(match("]", "[]"), 0);
  EXPECT_EQ(match("]", "[a\\]]"), 1);
  EXPECT_EQ(match("a\tb", "\\t"), 1);
  EXPECT_EQ(match("x^a", "^a"), 1);
  EXPECT_EQ(head("xabc", "@abc"), 0);
  EXPECT_EQ(match("xabc", "@abc"), 1);
  EXPECT_EQ(match(nullptr, "a"), 0);
  EXPECT_EQ(match("a", nullptr), 0);
  K(xSet)(0x04);
  EXPECT_EQ(match("aBc", "abc"), 1);
  EXPECT_EQ(match("b", "[A-D]"), 1);
}

TEST_F(MatchExports, ShiftJisHazards) {
  auto match = K(LinexMatch);
  EXPECT_EQ(match("x\x83\x5C", "\x83\x5C"), 1);      // trail byte 0x5C is no escape
  EXPECT_EQ(match("\x81\x5B" "a]", "\x81\x5B" "a]"), 1);  // trail byte '[' opens no set
  EXPECT_EQ(match("\x82\x63", "c"), 0);              // 'c' is the trail byte of full-width C
  EXPECT_EQ(match("\x83\x5C", "\\"), 0);
  EXPECT_EQ(match("x\x81 y", "\x81 y"), 1);          // a lone lead byte before a non-trail byte
  EXPECT_EQ(K(LinexInc)("\x82\x63" "c", "c"), 3);
  EXPECT_EQ(K(LinexMatchs)("\x83\x5C&b", "\x83\x5C&b"), 1);
}

TEST_F(MatchExports, Decisions) {
  // Every attempt starts with nothing to repeat.
  ASSERT_EQ(K(LinexMatch)("xxx", "x"), 1);
  EXPECT_EQ(K(LinexHeadMatch)("axxb", ".*b"), 0);
  // A 32 KB run of '#' needs no recursion.
  const std::string hashes = std::string(32000, '#') + "b";
  EXPECT_EQ(K(LinexMatch)("ab", hashes.c_str()), 1);
  // Inclusion positions beyond 32767 are true.
  const std::string distant = std::string(40000, 'a') + "xyz";
  EXPECT_EQ(K(LinexInc)(distant.c_str(), "xyz"), 40001);
  // Long patterns are compared in full.
  const std::string long_pattern = std::string(10878, 'a') + "b";
  EXPECT_EQ(K(LinexInc)("a", long_pattern.c_str()), 0);
  // Blank list lines do not end the list; widened entries are kept whole.
  EXPECT_EQ(K(LinexMatchMult)("xyz", "abc\r\n   \r\nxyz"), 1);
  K(xSet)(0x10);
  EXPECT_EQ(K(LinexMatchMult)("ab", "abcd"), 0);
  EXPECT_EQ(K(LinexMatchMult)("abcd", "abcd"), 1);
}

TEST_F(MatchExports, Conjunctive) {
  auto matchs = K(LinexMatchs);
  EXPECT_EQ(matchs("xaxb", "a&b"), 1);
  EXPECT_EQ(matchs("ba", "a&b"), 0);
  EXPECT_EQ(matchs("ab", "ab&b"), 0);
  EXPECT_EQ(matchs("ab", "@ab&b"), 1);
  EXPECT_EQ(matchs("&", "&"), 0);
  EXPECT_EQ(matchs("x&", "[&]"), 1);
  EXPECT_EQ(matchs("", ""), 0);
  const std::string cut = std::string(254, 'a') + "bX";
  EXPECT_EQ(matchs((std::string(254, 'a') + "b").c_str(), cut.c_str()), 1);
}

TEST_F(MatchExports, Inclusion) {
  EXPECT_EQ(K(LinexInc)("abcabc", "ca"), 3);
  EXPECT_EQ(K(LinexInc)("a.c", "."), 2);
  EXPECT_EQ(K(LinexInc)("\x82\xA0" "ab", "b"), 4);
  EXPECT_EQ(K(LinexHeadinc)("abc", "ab"), 1);
  EXPECT_EQ(K(LinexHeadinc)("abc", "abcd"), 0);
  EXPECT_EQ(K(LinexHeadinc)("", ""), 1);
  EXPECT_EQ(K(LinexInc)("", ""), 0);
  K(xSet)(0x20);
  EXPECT_EQ(K(LinexInc)("\x82\xA0\x82\x60" "B", "AB"), 3);
}

TEST_F(MatchExports, Lists) {
  EXPECT_EQ(K(LinexMatchMult)("has xyz", "abc\r\nxyz"), 1);
  EXPECT_EQ(K(LinexMatchMult)("neither", "abc\r\nxyz"), 0);
  EXPECT_EQ(K(LinexMatchMult)("", ""), 0);
  EXPECT_EQ(K(LinexIncMult)("abc", "c\r\na"), 3);
  EXPECT_EQ(K(LinexMatchsMult)("ab", "a&b\r\nc"), 1);
  EXPECT_EQ(K(LinexMatchsMult)("ba", "a&b\r\nc"), 0);
  EXPECT_EQ(K(LinexMatchMult)("abc", "abc  \t"), 1);
  K(xSet)(0x04);
  EXPECT_EQ(K(LinexMatchMult)("T", "\\t"), 1);  // the escape letter is stored folded
  EXPECT_EQ(K(LinexMatch)("\t", "\\t"), 1);
}

}  // namespace
}  // namespace kensaku_test
