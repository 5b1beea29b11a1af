#include "mbchar/fold.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "mbchar/convert.h"
#include "mbchar/fold_tables.h"
#include "mbchar/required_bytes.h"

namespace kensaku {
namespace {

class FoldTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFoldFlags(0); }
  void TearDown() override { SetFoldFlags(0); }
  static Code F(Code c, int flags) { return FoldTable::For(flags).Fold(MbChar(c)).code; }
};

TEST_F(FoldTest, Setters) {
  EXPECT_EQ(SetFoldFlags(0x05), 0x05);
  EXPECT_EQ(OrFoldFlags(0x30), 0x35);
  EXPECT_EQ(ResetFoldFlags(0), 0x35);  // 0 reads the flags
  EXPECT_EQ(ResetFoldFlags(0x11), 0x24);
  EXPECT_EQ(GetFoldFlags(), 0x24);
  EXPECT_EQ(SetFoldFlags(-1), -1);
  EXPECT_EQ(ResetFoldFlags(0x7F), ~0x7F);
  ClearFoldFlags();
  EXPECT_EQ(GetFoldFlags(), 0);
}

TEST_F(FoldTest, OrderAndPrecedence) {
  struct Row {
    int flags;
    Code in;
    Code out;
  };
  const Row rows[] = {
      // kana: 0x02 wins over 0x01
      {0x01, 0x8341, 0x82A0},
      {0x02, 0x82A0, 0x8341},
      {0x03, 0x8341, 0x8341},
      {0x03, 0x82A0, 0x8341},
      // case: 0x04 wins over 0x08, full-width letters never change case
      {0x04, 'a', 'A'},
      {0x08, 'A', 'a'},
      {0x0C, 'a', 'A'},
      {0x0C, 0x8281, 0x8281},
      // width: 0x10 switches the case step off, 0x20 wins over 0x10
      {0x1C, 'a', 0x8281},
      {0x1C, 'A', 0x8260},
      {0x10, 'A', 0x8260},
      {0x30, 0x8260, 'A'},
      {0x30, 'a', 'a'},
      {0x20, 0x82AA, 0xB6},  // voiced hiragana ga
      {0x20, 0x834B, 0xB6},
      {0x20, 0x834A, 0xB6},
      {0x20, 0x815B, 0xB0},  // long vowel mark
      {0x20, 0x8140, ' '},
      {0x11, 0xB1, 0x82A0},  // half-width a, full width, then hiragana
      // numeric: applied last, undoes the width step for digits and symbols only
      {0x40, 0x824F, '0'},
      {0x40, 0x818F, '\\'},
      {0x40, 0x8260, 0x8260},
      {0x50, '5', '5'},
      {0x50, '+', '+'},
      {0x50, 'A', 0x8260},
      {0x48, 0x8197, '@'},
      // null and none are fixed points; other bits change nothing
      {0x7F, 0, 0},
      {0x7F, kNoneCode, kNoneCode},
      {0x80, 'a', 'a'},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(F(r.in, r.flags), r.out) << std::hex << "flags " << r.flags << " code " << r.in;
  }
}

TEST_F(FoldTest, SingleConversions) {
  EXPECT_EQ(ToHalfWidth(0x837F), 0x837Fu);
  EXPECT_EQ(KatakanaToHiragana(0x8394), 0x8394u);
  EXPECT_EQ(KatakanaToHiragana(0x837E), 0x82DDu);
  EXPECT_EQ(KatakanaToHiragana(0x8380), 0x82DEu);
  EXPECT_EQ(HiraganaToKatakana(0x82DD), 0x837Eu);
  EXPECT_EQ(HiraganaToKatakana(0x82F1), 0x8393u);
  EXPECT_EQ(ToFullWidth(0x7F), 0x7Fu);
  EXPECT_EQ(ToFullWidth(0xA0), 0xA0u);
  EXPECT_EQ(ToFullWidth(0x8260), 0x8260u);
  EXPECT_EQ(ToHalfWidth(0x8397), 0x8397u);
  EXPECT_EQ(ToHalfWidth(0x41), 0x41u);
  EXPECT_EQ(ToHalfWidth(0x82F1), 0xDDu);  // hiragana n
  EXPECT_EQ(ToLowerAscii(0x5B), 0x5Bu);
  EXPECT_EQ(ToUpperAscii(0x7B), 0x7Bu);
}

TEST_F(FoldTest, FullToHalfWidthRoundTripForEveryByte) {
  for (unsigned x = 0x20; x <= 0xDF; ++x) {
    if (x > 0x7E && x < 0xA1) continue;
    const unsigned full = ToFullWidth(x);
    EXPECT_TRUE(IsDoubleCode(full)) << std::hex << x;
    EXPECT_EQ(ToHalfWidth(full), x) << std::hex << x;
  }
}

// Each table is checked entry by entry against what its entries must be, not copied.
TEST_F(FoldTest, FullWidthAsciiTableEntries) {
  std::set<unsigned> codes;
  for (unsigned c = 0x20; c <= 0x7E; ++c) {
    const unsigned full = FullWidthAsciiTable[c - 0x20];
    codes.insert(full);
    if (c >= '0' && c <= '9') EXPECT_EQ(full, 0x824F + (c - '0'));
    else if (c >= 'A' && c <= 'Z') EXPECT_EQ(full, 0x8260 + (c - 'A'));
    else if (c >= 'a' && c <= 'z') EXPECT_EQ(full, 0x8281 + (c - 'a'));
    else EXPECT_EQ(full >> 8, 0x81u) << std::hex << c;  // symbols sit in row 1
  }
  EXPECT_EQ(codes.size(), 95u);
  EXPECT_EQ(FullWidthAsciiTable[' ' - 0x20], 0x8140);
  EXPECT_EQ(FullWidthAsciiTable['"' - 0x20], 0x8168);
  EXPECT_EQ(FullWidthAsciiTable['\'' - 0x20], 0x8166);
  EXPECT_EQ(FullWidthAsciiTable['`' - 0x20], 0x8165);
  EXPECT_EQ(FullWidthAsciiTable['\\' - 0x20], 0x818F);
  EXPECT_EQ(FullWidthAsciiTable['~' - 0x20], 0x8150);
}

TEST_F(FoldTest, KanaTablesEntries) {
  // Half width to full width gives plain katakana (or the separate marks); the way back lands on
  // the same byte.
  for (unsigned b = 0xA1; b <= 0xDF; ++b) {
    const unsigned full = FullWidthKanaTable[b - 0xA1];
    EXPECT_EQ(ToHalfWidth(full), b) << std::hex << b;
  }
  EXPECT_EQ(FullWidthKanaTable[0xDE - 0xA1], 0x814A);
  EXPECT_EQ(FullWidthKanaTable[0xDF - 0xA1], 0x814B);
  // Every full-width katakana maps to the half-width form of itself without its mark: the same
  // letter, one before it (voiced) or two before it (semi-voiced), or its plain big letter.
  const struct {
    unsigned code;
    unsigned plain;
  } specials[] = {{0x838E, 0x838F}, {0x8390, 0x8343}, {0x8391, 0x8347},
                  {0x8394, 0x8345}, {0x8395, 0x834A}, {0x8396, 0x8350}};
  for (unsigned k = 0x8340; k <= 0x8396; ++k) {
    const unsigned half = HalfWidthKanaTable[k - 0x8340];
    if (k == 0x837F) {
      EXPECT_EQ(half, 0u);
      continue;
    }
    ASSERT_GE(half, 0xA6u) << std::hex << k;
    ASSERT_LE(half, 0xDDu) << std::hex << k;
    const unsigned back = FullWidthKanaTable[half - 0xA1];
    unsigned expected_plain = 0;
    for (const auto& s : specials) {
      if (s.code == k) expected_plain = s.plain;
    }
    if (expected_plain != 0) {
      EXPECT_EQ(back, expected_plain) << std::hex << k;
    } else {
      EXPECT_TRUE(back == k || back == k - 1 || back == k - 2) << std::hex << k << " " << back;
    }
  }
  EXPECT_EQ(HalfWidthKanaTable[0x834B - 0x8340], 0xB6);
  EXPECT_EQ(HalfWidthKanaTable[0x834A - 0x8340], 0xB6);
  EXPECT_EQ(HalfWidthKanaTable[0x838E - 0x8340], 0xDC);
  const unsigned punct[][2] = {{0x8142, 0xA1}, {0x8175, 0xA2}, {0x8176, 0xA3}, {0x8141, 0xA4},
                               {0x8145, 0xA5}, {0x815B, 0xB0}, {0x814A, 0xDE}, {0x814B, 0xDF}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(HalfWidthPunctTable[i].full, punct[i][0]);
    EXPECT_EQ(HalfWidthPunctTable[i].half, punct[i][1]);
  }
}

TEST_F(FoldTest, NumericSymbolsFoldToAscii) {
  const char ascii[] = ",.+-/*=#$%\\@()[]";
  int n = 0;
  for (const char* p = NumericSymbolSet; *p != '\0'; p += 2, ++n) {
    MbChar c = DecodeText(p);
    ASSERT_TRUE(c.IsDouble());
    NumericToHalf(c);
    EXPECT_EQ(c.code, static_cast<Code>(ascii[n])) << n;
  }
  EXPECT_EQ(n, 16);
  MbChar letter(0x8260);
  NumericToHalf(letter);
  EXPECT_EQ(letter.code, 0x8260);
  MbChar colon(0x8146);  // full-width but not numeric
  NumericToHalf(colon);
  EXPECT_EQ(colon.code, 0x8146);
}

// The map the matchers use agrees with the step-by-step fold for every code and flag value, the
// exports' and as read, and folding twice changes nothing.
TEST_F(FoldTest, MapMatchesStepsAndIsIdempotentEverywhere) {
  for (int flags = 0; flags <= kFoldBits; ++flags) {
    for (const int as_read : {0, FoldAsRead, FoldAsRead | FoldVariants}) {
      const Code* map = FoldTable::For(flags | as_read | 0x1000).map();  // 0x1000 means nothing
      for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const Code once = FoldCode(static_cast<Code>(c), flags | as_read);
        ASSERT_EQ(map[c], once) << std::hex << flags << " " << c;
        ASSERT_EQ(map[once], once) << std::hex << (flags | as_read) << " " << c;
      }
    }
  }
}

TEST_F(FoldTest, FoldedLookups) {
  const FoldTable& upper = FoldTable::For(FoldToUpper);
  EXPECT_TRUE(InSetFolded(MbChar('a'), "xA", upper));
  EXPECT_FALSE(InSetFolded(MbChar(0), "xA", upper));
  EXPECT_FALSE(InSetFolded(MbChar('a'), "", upper));
  const char text[] = "\x82\x61" "zB";
  const char* cursor = text;
  EXPECT_TRUE(SeekCharFolded(MbChar('b'), &cursor, upper));
  EXPECT_EQ(cursor, text + 3);
  cursor = text;
  EXPECT_FALSE(SeekCharFolded(MbChar('b'), &cursor, FoldTable::For(0)));
  EXPECT_EQ(cursor, text);
}

TEST_F(FoldTest, WriteCharWritesTheFoldedBytes) {
  std::ostringstream out;
  const FoldTable& full = FoldTable::For(FoldToFullWidth);
  WriteChar(out, MbChar('A'), full);
  WriteChar(out, MbChar(0), full);
  WriteChar(out, MbChar(0xB1), full);
  const FoldTable& half = FoldTable::For(FoldToHalfWidth);
  WriteChar(out, MbChar(0x8260), half);
  WriteChar(out, MbChar(0x81), half);
  EXPECT_EQ(out.str(), "\x82\x60\x83\x41" "A\x81");
}

TEST_F(FoldTest, CharClass) {
  EXPECT_EQ(CharClass(MbChar(0x8140)), kClassBlankOrAscii);
  EXPECT_EQ(CharClass(MbChar('\t')), kClassBlankOrAscii);
  EXPECT_EQ(CharClass(MbChar(0x7F)), kClassBlankOrAscii);
  EXPECT_EQ(CharClass(MbChar(0xA0)), kClassHalfWidthKana);
  EXPECT_EQ(CharClass(MbChar(0xDF)), kClassHalfWidthKana);
  EXPECT_EQ(CharClass(MbChar(0x82A0)), kClassDouble);
  EXPECT_EQ(CharClass(MbChar(0x01)), 0);
  EXPECT_EQ(CharClass(MbChar(0x81)), 0);
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// Checked against a walk over every code that a text can hold.
TEST(FoldPreimages, AgreeWithAWalkOverAllCodes) {
  for (int flags : {0, 0x01, 0x0C, 0x10, 0x20, 0x23, 0x40, 0x7F, FoldAsRead, FoldAsRead | 0x0C}) {
    const FoldTable& table = FoldTable::For(flags);
    const Code* map = table.map();
    std::vector<std::vector<Code>> preimages(0x10000);
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
      if (c <= 0xFF || IsDoubleCode(c)) preimages[map[c]].push_back(static_cast<Code>(c));
    }
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
      if (map[c] != c || !(c <= 0xFF || IsDoubleCode(c))) continue;  // only folded codes
      ASSERT_EQ(table.Preimages(static_cast<Code>(c)), preimages[c])
          << std::hex << flags << " " << c;
      ASSERT_EQ(table.FromItselfOnly(static_cast<Code>(c)), preimages[c].size() == 1)
          << std::hex << flags << " " << c;
    }
  }
  EXPECT_TRUE(FoldTable::For(0).FromItselfOnly(0x8C9F));  // a kanji
  EXPECT_FALSE(FoldTable::For(FoldToLower).FromItselfOnly('a'));
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// NextCharStartIn jumps over bytes and recovers boundaries; the walk decodes every character.
TEST(NextCharStartIn, AgreesWithWalkingOnRandomBytes) {
  std::mt19937 rng(5);
  const unsigned char alphabet[] = {0x81, 0x82, 0x63, 0x5C, 0x40, 0x20, 0x9F, 0xE0, 0xA0, 0xFC, 'c'};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int n = rng() % 24; n > 0; --n) text.push_back(static_cast<char>(alphabet[rng() % 11]));
    FirstBytes firsts;
    for (int n = 1 + rng() % 3; n > 0; --n) {
      const unsigned b = alphabet[rng() % 11];
      if (!firsts.bytes[b]) ++firsts.count;
      firsts.bytes[b] = true;
      firsts.only = static_cast<int>(b);
    }
    if (firsts.count != 1) firsts.only = -1;
    const char* walk = text.c_str();
    for (const char* fast = text.c_str();; walk += CharLength(walk)) {
      while (*walk != '\0' && !firsts.bytes[static_cast<unsigned char>(*walk)]) {
        walk += CharLength(walk);
      }
      fast = NextCharStartIn(fast, firsts);
      ASSERT_EQ(fast, walk) << "round " << round;
      if (*walk == '\0') break;
      fast += CharLength(fast);
    }
  }
}

TEST(NextCharStartIn, TrailBytesAreNoStarts) {
  FirstBytes c;
  c.bytes['c'] = true;
  c.count = 1;
  c.only = 'c';
  const char text[] = "\x82\x63\x81\x81\x81" "c";  // 0x82 0x63, 0x81 0x81, 0x81 0x63
  EXPECT_EQ(NextCharStartIn(text, c), text + 6);
  const char text2[] = "\x81\x81" "c";
  EXPECT_EQ(NextCharStartIn(text2, c), text2 + 2);
}

}  // namespace
}  // namespace kensaku
