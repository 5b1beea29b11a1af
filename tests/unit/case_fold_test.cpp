// The generated simple case folding: the letters that show its choices, and the inverse lookup
// against a slow twin built from CaseFoldOf over every scalar.
#include "mbchar/case_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kensaku {
namespace {

std::string Named(char32_t u) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(u));
  return name;
}

TEST(CaseFoldTest, Folds) {
  const struct {
    char32_t u, folded;
  } kFolds[] = {
      // clang-format off
      // Latin-1 and beyond
      {U'É', U'é'}, {U'é', U'é'}, {U'Ç', U'ç'},
      // all three sigmas
      {U'Σ', U'σ'}, {U'σ', U'σ'}, {U'ς', U'σ'},
      // a compatibility letter folds to the ASCII one
      {U'\u212A', U'k'}, {U'K', U'k'},
      // simple folding keeps ß one letter; the capital ẞ folds to it
      {U'ß', U'ß'}, {U'\u1E9E', U'ß'},
      // title case folds like the capital
      {U'Ǆ', U'ǆ'}, {U'ǅ', U'ǆ'}, {U'ǆ', U'ǆ'},
      // the Turkic i's are left to the language: İ and ı stay
      {U'I', U'i'}, {U'\u0130', U'\u0130'}, {U'\u0131', U'\u0131'},
      // no case
      {U'1', U'1'}, {U'あ', U'あ'},
      // clang-format on
  };
  for (const auto& f : kFolds) EXPECT_EQ(CaseFoldOf(f.u), f.folded) << Named(f.u);

  EXPECT_EQ(CaseVariantsOf(U'σ'), (std::vector<char32_t>{U'Σ', U'ς', U'σ'}));
  EXPECT_EQ(CaseVariantsOf(U'k'), (std::vector<char32_t>{U'K', U'k', U'\u212A'}));
  EXPECT_EQ(CaseVariantsOf(U'ß'), (std::vector<char32_t>{U'ß', U'\u1E9E'}));
  EXPECT_TRUE(CaseVariantsOf(U'1').empty());  // stands only for itself
  EXPECT_TRUE(CaseVariantsOf(U'A').empty());  // no fold
}

TEST(CaseFoldTest, VariantsInvertTheFoldOverEveryScalar) {
  // The slow twin: every scalar that folds to something else, under its fold, in order.
  std::map<char32_t, std::vector<char32_t>> others;
  int folding = 0;
  for (char32_t u = 0; u <= 0x10FFFF; ++u) {
    if (u == 0xD800) u = 0xE000;
    const char32_t f = CaseFoldOf(u);
    EXPECT_EQ(CaseFoldOf(f), f) << Named(u);
    if (f == u) continue;
    ++folding;
    others[f].push_back(u);
  }
  EXPECT_GT(folding, 1000);

  for (char32_t u = 0; u <= 0x10FFFF; ++u) {
    if (u == 0xD800) u = 0xE000;
    std::vector<char32_t> want;
    if (const auto it = others.find(u); CaseFoldOf(u) == u && it != others.end()) {
      want = it->second;
      want.insert(std::lower_bound(want.begin(), want.end(), u), u);
    }
    ASSERT_EQ(CaseVariantsOf(u), want) << Named(u);
  }
}

}  // namespace
}  // namespace kensaku
