// The RE2 that kensaku64.dll links, cross-built from Debian's sources: its three generated tables
// (Perl classes, Unicode groups, Unicode case folding) are made at set-up, so each is read here.
#include <gtest/gtest.h>
#include <re2/re2.h>

#include <string>

namespace {

struct Row {
  const char* pattern;
  const char* text;  // UTF-8
  bool found;
};

constexpr Row kRows[] = {
    // Perl and POSIX classes (perl_groups.cc)
    {R"(^\d\s\w$)", "7 _", true},
    {R"(\d)", "\xef\xbc\x97", false},  // ７: \d is ASCII only
    {"^[[:punct:]][[:alpha:]]$", "!z", true},
    {"[[:alpha:]]", "1 ", false},
    // Unicode scripts and categories (unicode_groups.cc), Unicode 15 as unicode-data has it
    {R"(^\p{Han}\p{Hiragana}\p{Katakana}$)", "検さク", true},
    {R"(\p{Han})", "\xf0\xb1\x8d\x90", true},  // U+31350, new in Unicode 15
    {R"(\p{Katakana})", "ｶ", true},            // half-width
    {R"(\p{Hiragana})", "カ", false},
    {R"(^\p{Nd}\p{Lu}\p{Ll}$)", "０Ａｂ", true},
    {R"(\p{Greek})", "a", false},
    // Case folding beyond ASCII (unicode_casefold.cc)
    {"(?i)^ａ$", "Ａ", true},
    {"(?i)^σ+$", "Σςσ", true},
    {"(?i)^k$", "\xe2\x84\xaa", true},  // KELVIN SIGN
    {"(?i)^ア$", "あ", false},
};

TEST(Re2Build, GeneratedTablesAnswer) {
  for (const Row& row : kRows) {
    RE2 re(row.pattern);
    ASSERT_TRUE(re.ok()) << row.pattern << ": " << re.error();
    EXPECT_EQ(RE2::PartialMatch(row.text, re), row.found) << row.pattern << " on " << row.text;
  }
}

TEST(Re2Build, SubmatchOffsetsAreBytes) {
  std::string word;
  EXPECT_TRUE(RE2::PartialMatch("正規表現 search", R"((\p{Han}+))", &word));
  EXPECT_EQ(word, "正規表現");
  re2::StringPiece text("ab検索cd"), match;
  RE2 re(R"(\p{Han}+)");
  ASSERT_TRUE(re.Match(text, 0, text.size(), RE2::UNANCHORED, &match, 1));
  EXPECT_EQ(match.data() - text.data(), 2);
  EXPECT_EQ(match.size(), 6u);
}

}  // namespace
