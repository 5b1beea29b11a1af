// The generated variant kanji table: the pairs names and addresses need, a closed table of
// ideographs, and the code page 932 lookup against the Unicode one on every double-byte code.
#include "mbchar/variants.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mbchar/encoding.h"

namespace kensaku {
namespace {

bool IsIdeograph(char32_t u) {
  return (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
         (u >= 0xF900 && u <= 0xFAFF) || (u >= 0x20000 && u <= 0x3134F);
}

std::string Named(char32_t u) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(u));
  return name;
}

TEST(VariantsTest, Pairs) {
  const struct {
    char32_t variant, common;
  } kPairs[] = {
      // clang-format off
      // kakasi's dictionary
      {U'邊', U'辺'}, {U'邉', U'辺'}, {U'齋', U'斎'}, {U'齊', U'斉'}, {U'濱', U'浜'}, {U'廣', U'広'},
      // the extension rows: Unihan's one form, a canonical decomposition (福 U+FA1B)
      {U'髙', U'高'}, {U'\uFA1B', U'福'},
      // the hand-checked list
      {U'﨑', U'崎'}, {U'驒', U'騨'}, {U'德', U'徳'}, {U'擧', U'挙'}, {U'歐', U'欧'},
      // clang-format on
  };
  for (const auto& p : kPairs) {
    EXPECT_EQ(CommonKanjiOf(p.variant), p.common) << Named(p.variant);
    EXPECT_EQ(CommonKanjiOf(p.common), p.common) << Named(p.common);
  }
  // Pairs the sources would merge that Japanese text keeps apart.
  EXPECT_NE(CommonKanjiOf(U'齋'), CommonKanjiOf(U'齊'));
  EXPECT_EQ(CommonKanjiOf(U'壱'), U'壱');
  EXPECT_EQ(CommonKanjiOf(U'濾'), U'濾');
  EXPECT_EQ(CommonKanjiOf(U'晳'), U'晳');
}

TEST(VariantsTest, ClosedOverIdeographs) {
  int variants = 0;
  for (char32_t u = 0; u <= 0x10FFFF; ++u) {
    const char32_t common = CommonKanjiOf(u);
    if (common == u) continue;
    ++variants;
    EXPECT_TRUE(IsIdeograph(u) && IsIdeograph(common)) << Named(u) << " " << Named(common);
    EXPECT_EQ(CommonKanjiOf(common), common) << Named(u) << " " << Named(common);
  }
  EXPECT_GT(variants, 0);
}

TEST(VariantsTest, Cp932AgreesWithUnicode) {
  for (unsigned code = 0x8140; code <= 0xFCFC; ++code) {
    if (!IsDoubleCode(code)) continue;
    const char32_t u = UnicodeOfCp932(static_cast<Code>(code));
    const Code got = CommonKanjiOfCp932(static_cast<Code>(code));
    const char32_t common = u == 0 ? 0 : CommonKanjiOf(u);
    if (got == code) {
      // Not a variant, or its common form is not in code page 932.
      EXPECT_TRUE(common == u || Cp932OfUnicode(common) == 0) << std::hex << code;
    } else {
      EXPECT_EQ(UnicodeOfCp932(got), common) << std::hex << code;
      EXPECT_EQ(got, Cp932OfUnicode(common)) << std::hex << code;  // the code Windows writes
      EXPECT_EQ(CommonKanjiOfCp932(got), got) << std::hex << code;
    }
  }
  // 髙 at its NEC-selected and its IBM code.
  EXPECT_EQ(CommonKanjiOfCp932(0xEEE0), 0x8D82);
  EXPECT_EQ(CommonKanjiOfCp932(0xFBFC), 0x8D82);
  EXPECT_EQ(CommonKanjiOfCp932(0x8D82), 0x8D82);
  EXPECT_EQ(CommonKanjiOfCp932('A'), 'A');
}

}  // namespace
}  // namespace kensaku
