#include "mbchar/char_array.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "mbchar/fold.h"

namespace kensaku {
namespace {

class CharArrayTest : public ::testing::Test {
 protected:
  static std::vector<Code> Codes(const CharArray& a) {
    std::vector<Code> v;
    for (int i = 0; i < a.count(); ++i) v.push_back(a.At(i).code);
    return v;
  }
  static std::string Written(const CharArray& a) {
    std::ostringstream out;
    out << a;
    return out.str();
  }
};

TEST_F(CharArrayTest, CapacityBounds) {
  for (int bad : {0, -1, MaxChars + 1}) {
    CharArray a(bad);
    EXPECT_EQ(a.count(), 0) << bad;
    EXPECT_FALSE(a.owns());
    EXPECT_EQ(a.At(0).code, kNoneCode);
    EXPECT_EQ(a.Fill('x'), 0);
    EXPECT_EQ(a.CountChars(), 0);
    EXPECT_EQ(Written(a), "");
  }
  CharArray full(MaxChars);
  EXPECT_EQ(full.count(), MaxChars);
  EXPECT_EQ(full.At(MaxChars - 1).code, kNoneCode);
  EXPECT_EQ(CharArray("").count(), 0);
  EXPECT_EQ(CharArray(std::string(MaxChars + 1, 'a').c_str()).count(), 0);
  EXPECT_EQ(CharArray(std::string(MaxChars, 'a').c_str()).CountChars(), MaxChars);
}

TEST_F(CharArrayTest, BuiltFromText) {
  CharArray a("A\x82\xA0" "B");
  EXPECT_EQ(a.count(), 3);
  EXPECT_EQ(Codes(a), (std::vector<Code>{0x41, 0x82A0, 0x42}));
  EXPECT_EQ(a.ByteLength(), 4);
  EXPECT_EQ(a.CountChars(), 3);
  // The capacity counts any byte after a lead byte, the walk does not: the space is dropped.
  CharArray odd("\x81 x");
  EXPECT_EQ(Codes(odd), (std::vector<Code>{0x81, ' '}));
}

TEST_F(CharArrayTest, AssignFillsUpToCapacity) {
  CharArray a(3);
  a.Assign("abcde");
  EXPECT_EQ(Codes(a), (std::vector<Code>{'a', 'b', 'c'}));
  a.Assign("z");
  EXPECT_EQ(Codes(a), (std::vector<Code>{'z', kNoneCode, kNoneCode}));
  a.Assign(nullptr);
  EXPECT_EQ(a.At(0).code, 'z');
}

TEST_F(CharArrayTest, OutOfRangeReadsTheSpare) {
  CharArray a("ab");
  a.At(-1).code = 'x';
  a.At(2).code = 'y';
  EXPECT_EQ(a.At(-1).code, kNoneCode);
  EXPECT_EQ(a.At(2).code, kNoneCode);
  EXPECT_EQ(Codes(a), (std::vector<Code>{'a', 'b'}));
}

TEST_F(CharArrayTest, EqualsIgnoringNullsFoldsBothSides) {
  CharArray upper("ABC"), lower("abc");
  EXPECT_FALSE(upper.EqualsIgnoringNulls(lower));
  CharArray folded_upper("ABC", FoldToLower), folded_lower("abc", FoldToLower);
  EXPECT_TRUE(folded_upper.EqualsIgnoringNulls(folded_lower));
  EXPECT_TRUE(folded_lower.EqualsIgnoringNulls(folded_upper));
  CharArray ab("ab"), abc("abc");
  EXPECT_FALSE(ab.EqualsIgnoringNulls(abc));
  EXPECT_FALSE(abc.EqualsIgnoringNulls(ab));
  CharArray gap("axb");
  gap.At(1).code = kNullCode;
  EXPECT_TRUE(gap.EqualsIgnoringNulls(ab));
  EXPECT_TRUE(ab.EqualsIgnoringNulls(gap));
  CharArray empty(0), nulls("x");
  nulls.At(0).code = kNullCode;
  EXPECT_TRUE(empty.EqualsIgnoringNulls(nulls));
  EXPECT_FALSE(empty.EqualsIgnoringNulls(ab));
}

TEST_F(CharArrayTest, CopyIsFoldedAndReRead) {
  const int flags = FoldToFullWidth;
  CharArray ab("AB", flags);
  EXPECT_EQ(Written(ab), "\x82\x60\x82\x61");
  EXPECT_EQ(ab.ByteLength(), 2);
  CharArray copy(ab);
  EXPECT_EQ(Codes(copy), (std::vector<Code>{0x8260, 0x8261}));
  // A lone lead byte merges with the folded bytes written after it.
  CharArray lone(2, flags);
  lone.At(0).code = 0x81;
  lone.At(1).code = ' ';
  CharArray merged(lone);
  EXPECT_EQ(Codes(merged), (std::vector<Code>{0x8181, 0x40}));
}

TEST_F(CharArrayTest, WriteToSkipsNullsAndStopsAtNone) {
  CharArray a("abcd");
  a.At(1).code = kNullCode;
  a.At(2).code = kNoneCode;
  EXPECT_EQ(Written(a), "a");
  std::ostringstream failed;
  failed.setstate(std::ios::badbit);
  a.WriteTo(failed);
  EXPECT_EQ(failed.str(), "");
}

TEST_F(CharArrayTest, FurtherWriters) {
  CharArray a("a\x82\xA0" "bc");
  std::ostringstream first, from, range, reversed, ascii;
  EXPECT_EQ(a.WriteFirst(first, 2), 3);
  EXPECT_EQ(first.str(), "a\x82\xA0");
  EXPECT_EQ(a.WriteFrom(from, 3), 2);
  EXPECT_EQ(from.str(), "bc");
  EXPECT_EQ(a.WriteRange(range, 2, 2), 3);
  EXPECT_EQ(range.str(), "\x82\xA0" "b");
  EXPECT_EQ(a.WriteRange(range, 0, 2), 0);
  EXPECT_EQ(a.WriteReversed(reversed), 5);
  EXPECT_EQ(reversed.str(), "cb\x82\xA0" "a");
  EXPECT_EQ(a.WriteAscii(ascii), 3);
  EXPECT_EQ(ascii.str(), "abc");
}

TEST_F(CharArrayTest, FurtherReaders) {
  CharArray until(10);
  std::istringstream in1("ab\x82\xA0;rest");
  until.ReadUntil(in1, ";");
  EXPECT_EQ(Written(until), "ab\x82\xA0");

  CharArray classified(10);
  std::istringstream in2(std::string("a\x01" "b\xB1\x81", 5));
  classified.ReadClassified(in2, ";");
  EXPECT_EQ(Codes(classified)[0], 'a');
  EXPECT_EQ(Codes(classified)[1], 'b');
  EXPECT_EQ(Codes(classified)[2], 0xB1);
  EXPECT_EQ(Codes(classified)[3], kNoneCode);  // 0x01 and the lone lead byte are dropped

  CharArray counted(10);
  std::istringstream in3("\x82\xA0xyz");
  EXPECT_EQ(counted.ReadCount(in3, 2), 3);
  EXPECT_EQ(Written(counted), "\x82\xA0x");

  CharArray width(10);
  std::istringstream in4("\x82\xA0xyz");
  in4.width(3);
  in4 >> width;
  EXPECT_EQ(Written(width), "\x82\xA0x");
  EXPECT_EQ(in4.width(), 0);
}

TEST_F(CharArrayTest, SearchTrimCopyFoldAndPrefix) {
  CharArray a("ab\x82\xA0" "c");
  EXPECT_EQ(a.IndexOf(MbChar(0x82A0)), 2);
  EXPECT_EQ(a.IndexOf(MbChar('z')), -1);
  EXPECT_EQ(a.IndexInRange(MbChar('c'), MbChar('b')), 1);
  EXPECT_EQ(a.IndexInRange(MbChar('x'), MbChar('z')), -1);

  CharArray padded(" \x81\x40" "ab \t");
  EXPECT_EQ(padded.TrimLeading(), 2);
  EXPECT_EQ(padded.TrimTrailing(), 3);
  EXPECT_EQ(Written(padded), "ab");
  CharArray blank("  ");
  EXPECT_EQ(blank.TrimTrailing(), -1);

  CharArray packed(5);
  packed.CopyNonNull(padded);
  EXPECT_EQ(Codes(packed), (std::vector<Code>{'a', 'b', kNoneCode, kNoneCode, kNoneCode}));

  CharArray upper("ABC", FoldToUpper), lower("abx", FoldToUpper);
  EXPECT_TRUE(lower.StartsWith(upper, 2));
  EXPECT_FALSE(lower.StartsWith(upper, 3));
  EXPECT_FALSE(lower.StartsWith(upper, 0));
  lower.FoldAll();
  EXPECT_EQ(Codes(lower), (std::vector<Code>{'A', 'B', 'X'}));
}

TEST_F(CharArrayTest, OverCallerStorage) {
  MbChar storage[3] = {MbChar('x'), MbChar('y'), MbChar(kNoneCode)};
  {
    CharArray a(storage, 3);
    EXPECT_FALSE(a.owns());
    EXPECT_EQ(Written(a), "xy");
    a.Assign("q");
  }
  EXPECT_EQ(storage[0].code, 'q');  // still there after the array is gone
}

}  // namespace
}  // namespace kensaku
