#include "mbchar/mbchar.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kensaku {
namespace {

std::vector<Code> Walk(const char* text) {
  std::vector<Code> codes;
  for (const char* p = text; *p != '\0';) {
    const MbChar c = DecodeText(p);
    codes.push_back(c.code);
    p += c.ByteCount();
  }
  return codes;
}

TEST(ByteClasses, BoundariesOfCodePage932) {
  struct Row {
    unsigned byte;
    bool lead;
    bool trail;
  };
  const Row rows[] = {
      {0x00, false, false}, {0x3F, false, false}, {0x40, false, true},  {0x7E, false, true},
      {0x7F, false, false}, {0x80, false, true},  {0x81, true, true},   {0x9F, true, true},
      {0xA0, false, true},  {0xDF, false, true},  {0xE0, true, true},   {0xFC, true, true},
      {0xFD, false, false}, {0xFF, false, false}, {0x15C, false, true},  // low 8 bits only
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsLeadByte(r.byte), r.lead) << std::hex << r.byte;
    EXPECT_EQ(IsTrailByte(r.byte), r.trail) << std::hex << r.byte;
  }
  int leads = 0, trails = 0;
  for (unsigned b = 0; b < 256; ++b) {
    leads += IsLeadByte(b);
    trails += IsTrailByte(b);
  }
  EXPECT_EQ(leads, 31 + 29);
  EXPECT_EQ(trails, 63 + 125);
}

TEST(DoubleCode, NeedsLeadHighAndTrailLow) {
  EXPECT_TRUE(IsDoubleCode(0x82A0));
  EXPECT_TRUE(IsDoubleCode(0x1835C));  // low 16 bits only
  EXPECT_FALSE(IsDoubleCode(0x8120));
  EXPECT_FALSE(IsDoubleCode(0x00FF));
  EXPECT_FALSE(IsDoubleCode(0xFFFF));
  EXPECT_EQ(MbChar().code, kNoneCode);
  EXPECT_EQ(MbChar().ByteCount(), 1);
  EXPECT_TRUE(MbChar(0x41).IsSingle());
  EXPECT_FALSE(MbChar(0x82A0).IsSingle());
}

TEST(DecodeText, FirstCharacterOfAString) {
  struct Row {
    const char* text;
    Code code;
    int bytes;
  };
  const Row rows[] = {
      {nullptr, kNoneCode, 1},
      {"", kNullCode, 1},
      {"\x82\xA0", 0x82A0, 2},
      {"\x81", 0x0081, 1},        // lead byte before the terminator
      {"\x81\x20", 0x0081, 1},    // lead byte before a non-trail byte
      {"\xB1", 0x00B1, 1},        // half-width katakana
      {"\x83\x5C" "x", 0x835C, 2},  // the trail byte 0x5C is no backslash
      {"\xFD\x40", 0x00FD, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(DecodeText(r.text).code, r.code) << (r.text ? r.text : "(null)");
    EXPECT_EQ(DecodeText(r.text).ByteCount(), r.bytes);
  }
}

TEST(DecodeText, WalkingSplitsMalformedLeadBytes) {
  EXPECT_EQ(Walk("\x81\x20"), (std::vector<Code>{0x81, 0x20}));
  EXPECT_EQ(Walk("a\x82\xA0" "b\x81"), (std::vector<Code>{'a', 0x82A0, 'b', 0x81}));
  EXPECT_EQ(Walk("\x81\x81\x81"), (std::vector<Code>{0x8181, 0x81}));
  EXPECT_EQ(Walk("\x82\x63" "c"), (std::vector<Code>{0x8263, 'c'}));
}

TEST(ReadChar, StreamsDecodeLikeStrings) {
  std::istringstream in(std::string("A\x82\xA0\x81\x20\x81", 6));
  std::vector<Code> codes;
  MbChar c;
  while (ReadChar(in, c), c.code != kNoneCode) codes.push_back(c.code);
  EXPECT_EQ(codes, (std::vector<Code>{'A', 0x82A0, 0x81, 0x20, 0x81}));
  // The end of input sets only the end-of-file bit, and a stream in any state reads nothing.
  EXPECT_TRUE(in.eof());
  EXPECT_FALSE(in.fail());
  std::istringstream failed("abc");
  failed.setstate(std::ios::failbit);
  ReadChar(failed, c);
  EXPECT_EQ(c.code, kNoneCode);
  failed.clear();
  EXPECT_EQ(failed.get(), 'a');
}

TEST(PeekChar, LeavesTheStreamWhereItWas) {
  std::istringstream in("\x82\xA0" "b");
  EXPECT_EQ(PeekChar(in).code, 0x82A0);
  EXPECT_EQ(PeekChar(in).code, 0x82A0);
  MbChar c;
  in >> c;
  EXPECT_EQ(c.code, 0x82A0);
  in >> c;
  EXPECT_EQ(PeekChar(in).code, kNoneCode);
  EXPECT_TRUE(in.good());  // the failed read was undone
}

TEST(ToJis, RowCellMapping) {
  EXPECT_EQ(ToJis(0x8140), 0x2121);
  EXPECT_EQ(ToJis(0x82A0), 0x2422);
  EXPECT_EQ(ToJis(0x889F), 0x3021);
  EXPECT_EQ(ToJis(0xE040), 0x5F21);
  EXPECT_EQ(ToJis(0x9FFC), 0x5E7E);
  EXPECT_EQ(ToJis(0xEFFC), 0x7E7E);
  for (std::uint32_t bad : {0x41u, 0xFFFFu, 0xF040u, 0x8120u, 0x817Fu, 0x18140u}) {
    EXPECT_EQ(ToJis(bad), 0) << std::hex << bad;
  }
  // Every double-byte code below lead 0xF0 lands on its own cell of the 94 x 94 grid.
  std::set<std::int32_t> seen;
  for (unsigned lead = 0x81; lead < 0xF0; ++lead) {
    if (!IsLeadByte(lead)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrailByte(trail)) continue;
      const std::int32_t j = ToJis(lead << 8 | trail);
      ASSERT_GE(j >> 8, 0x21);
      ASSERT_LE(j >> 8, 0x7E);
      ASSERT_GE(j & 0xFF, 0x21);
      ASSERT_LE(j & 0xFF, 0x7E);
      seen.insert(j);
    }
  }
  EXPECT_EQ(seen.size(), 94u * 94u);
}

TEST(ExactLookups, InSetAndSeekChar) {
  const char set[] = "a\x82\xA0" "b";
  EXPECT_TRUE(InSet(MbChar(0x82A0), set));
  EXPECT_TRUE(InSet(MbChar('b'), set));
  EXPECT_FALSE(InSet(MbChar(0xA0), set));  // a trail byte of the set is no member
  EXPECT_FALSE(InSet(MbChar(0), set));
  EXPECT_FALSE(InSet(MbChar('a'), nullptr));
  EXPECT_FALSE(InSet(MbChar('a'), ""));

  const char text[] = "x\x82\x63" "c";
  const char* cursor = text;
  EXPECT_TRUE(SeekChar(MbChar('c'), &cursor));
  EXPECT_EQ(cursor, text + 3);  // not the trail byte 0x63 at offset 2
  cursor = text;
  EXPECT_FALSE(SeekChar(MbChar('z'), &cursor));
  EXPECT_EQ(cursor, text);
  EXPECT_FALSE(SeekChar(MbChar(0), &cursor));
  const char* none = nullptr;
  EXPECT_FALSE(SeekChar(MbChar('a'), &none));
}

TEST(Primitives, FindChar) {
  const char text[] = "a\x82\x63" "c";
  EXPECT_EQ(TextFindChar(text, 'c'), text + 3);
  EXPECT_EQ(TextFindChar(text, 0x8263), text + 1);
  EXPECT_EQ(TextFindChar(text, 0), text + 4);
  EXPECT_EQ(TextFindChar(text, 'z'), nullptr);
  const char lone[] = "ab\x81";
  EXPECT_EQ(TextFindChar(lone, 0), lone + 3);
  EXPECT_EQ(TextFindChar(lone, 0x81), nullptr);
  // Any non-zero byte goes with a lead byte here, unlike in DecodeText.
  const char odd[] = "\x81\x20";
  EXPECT_EQ(TextFindChar(odd, 0x8120), odd);
  EXPECT_EQ(TextFindChar(odd, 0x20), nullptr);
}

TEST(Primitives, CompareAndCount) {
  EXPECT_EQ(TextCompare("abc", "abc\x81"), 0);
  EXPECT_EQ(TextCompare("A", "\x82\x60"), -1);
  EXPECT_EQ(TextCompare("\x82\x60", "A"), 1);
  EXPECT_EQ(TextCompare("abc", "abd"), -1);
  EXPECT_EQ(TextCompare("ab", "abc"), -1);
  EXPECT_EQ(TextCompare("", ""), 0);
  EXPECT_EQ(TextCompare("\xDF", "\x81\x40"), -1);  // every one-byte code sorts first

  EXPECT_EQ(TextCharCount("\x81\x20"), 1);
  EXPECT_EQ(Walk("\x81\x20").size(), 2u);
  EXPECT_EQ(TextCharCount("a\x82\xA0" "b"), 3);
  EXPECT_EQ(TextCharCount("ab\x81"), 2);
  EXPECT_EQ(TextCharCount(""), 0);
}

TEST(Primitives, FindAnyAndSkipAny) {
  const char text[] = "ab\x82\x63" "c";
  EXPECT_EQ(TextFindAny(text, "c"), text + 4);
  EXPECT_EQ(TextFindAny(text, "\x82\x63"), text + 2);
  EXPECT_EQ(TextFindAny(text, "z"), nullptr);
  EXPECT_EQ(TextSkipAny(text, "ab"), text + 2);
  EXPECT_EQ(TextSkipAny("aaa", "a"), nullptr);
  const char lone[] = "a\x81";
  EXPECT_EQ(TextSkipAny(lone, "a"), lone + 1);
  EXPECT_EQ(TextFindAny(lone, "\x81"), nullptr);
}

TEST(TextToken, SplitsRunsOfDelimitersInPlace) {
  char* rest = nullptr;  // where each split goes on
  char text[] = "a\r\n\r\nb";
  EXPECT_STREQ(TextToken(text, "\r\n", &rest), "a");
  EXPECT_STREQ(TextToken(nullptr, "\r\n", &rest), "b");
  EXPECT_EQ(TextToken(nullptr, "\r\n", &rest), nullptr);

  char leading[] = "\n\nxy\n";
  EXPECT_STREQ(TextToken(leading, "\n", &rest), "xy");
  EXPECT_EQ(TextToken(nullptr, "\n", &rest), nullptr);

  // A double-byte delimiter is cleared whole; its trail byte 0x40 never splits alone.
  char wide[] = "p\x81\x40q@r";
  EXPECT_STREQ(TextToken(wide, "\x81\x40", &rest), "p");
  EXPECT_EQ(wide[2], '\0');
  EXPECT_STREQ(TextToken(nullptr, "\x81\x40", &rest), "q@r");

  char only[] = "\n\n";
  EXPECT_EQ(TextToken(only, "\n", &rest), nullptr);
  char lone[] = "\x81";
  EXPECT_EQ(TextToken(lone, "\n", &rest), nullptr);
}

}  // namespace
}  // namespace kensaku
