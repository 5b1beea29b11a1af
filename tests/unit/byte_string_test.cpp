#include "frame/byte_string.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace kensaku {
namespace {

TEST(ByteString, CapacityRule) {
  const std::string longest(kMaxByteString, 'x');
  EXPECT_EQ(ByteString(longest.c_str()).length(), kMaxByteString);
  EXPECT_TRUE(ByteString((longest + "x").c_str()).empty());
  EXPECT_TRUE(ByteString("").empty());
  EXPECT_TRUE(ByteString(static_cast<const char*>(nullptr)).empty());
  for (int bad : {0, -1, kMaxByteString + 1}) {
    ByteString s(bad);
    EXPECT_TRUE(s.empty()) << bad;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.text(), nullptr);
  }
  ByteString buffer(1024);
  ASSERT_NE(buffer.text(), nullptr);
  EXPECT_EQ(buffer.length(), 1024);
  EXPECT_EQ(std::string(buffer.text(), 1025), std::string(1025, '\0'));
}

TEST(ByteString, AssignKeepsTextOnNullOrEmptySource) {
  ByteString s("old");
  s = static_cast<const char*>(nullptr);
  EXPECT_STREQ(s.text(), "old");
  s = ByteString();
  EXPECT_STREQ(s.text(), "old");
  s = s;
  EXPECT_STREQ(s.text(), "old");
  s = "";
  EXPECT_TRUE(s.empty());
  s = "new text";
  EXPECT_STREQ(s.text(), "new text");
  EXPECT_EQ(s.length(), 8);
}

TEST(ByteString, CopyKeepsCapacity) {
  ByteString work(64);
  std::snprintf(work.text(), 65, "%d", 42);
  ByteString copy(work);
  EXPECT_EQ(copy.length(), 64);
  EXPECT_STREQ(copy.text(), "42");
  EXPECT_TRUE(ByteString(ByteString()).empty());
  EXPECT_EQ(copy.Reset(0), nullptr);
  EXPECT_TRUE(copy.empty());
}

TEST(ByteString, Concatenate) {
  const ByteString blank = ByteString::Concatenate(ByteString(), " ");
  EXPECT_STREQ(blank.text(), " ");
  EXPECT_EQ(blank.length(), 1);
  EXPECT_STREQ(ByteString::Concatenate(ByteString("notepad"), " ").text(), "notepad ");
  EXPECT_TRUE(ByteString::Concatenate(ByteString(), "").empty());
  const std::string half(kMaxByteString / 2 + 1, 'h');
  EXPECT_TRUE(ByteString::Concatenate(ByteString(half.c_str()), half.c_str()).empty());
  EXPECT_EQ(ByteString::Concatenate(ByteString(half.c_str()), "x").length(),
            static_cast<int>(half.size()) + 1);
}

TEST(ByteString, WritesTextUpToItsNul) {
  std::ostringstream out;
  ByteString wide(10);
  wide.text()[0] = 'a';
  out << wide << ByteString() << ByteString("b");
  EXPECT_EQ(out.str(), "ab");
}

}  // namespace
}  // namespace kensaku
