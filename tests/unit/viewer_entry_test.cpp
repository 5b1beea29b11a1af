// The viewer list's entry texts and the 22-viewer limit.
#include "ui/viewer_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kensaku::ui {
namespace {

TEST(ViewerEntry, HandleRightAlignedThenTitle) {
  char buffer[kEntryBufferSize];
  EXPECT_STREQ(FormatViewerEntry(buffer, 0x2B4, "a.txt"), "     2b4# a.txt");
  EXPECT_STREQ(FormatViewerEntry(buffer, 0xDEADBEEF, "x"), "deadbeef# x");
  EXPECT_STREQ(FormatViewerEntry(buffer, 0x10, nullptr), "      10# ");
  EXPECT_STREQ(FormatViewerEntry(buffer, 0, ""), "       0# ");
}

TEST(ViewerEntry, LongTitleCutTo501BytesAndBufferZeroFilled) {
  char buffer[kEntryBufferSize];
  std::memset(buffer, 'z', sizeof buffer);
  const std::string title(600, 'T');
  FormatViewerEntry(buffer, 0x1234, title.c_str());
  EXPECT_EQ(std::strlen(buffer), 511u);
  EXPECT_EQ(std::string(buffer + 10), std::string(501, 'T'));
  FormatViewerEntry(buffer, 0x1234, "short");
  for (std::size_t i = std::strlen(buffer); i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0) << i;
}

TEST(ViewerEntry, ShiftJisTitleKeptByteForByte) {
  char buffer[kEntryBufferSize];
  // "表示.txt": the trail byte 0x5C of the first character stays as it is.
  FormatViewerEntry(buffer, 0xABC, "\x95\x5C\x8E\xA6.txt");
  EXPECT_STREQ(buffer, "     abc# \x95\x5C\x8E\xA6.txt");
  // A title that is itself a hexadecimal number does not disturb the reading back.
  FormatViewerEntry(buffer, 0x7F, "ffff");
  EXPECT_EQ(ReadViewerEntry(buffer), 0x7Fu);
}

TEST(ViewerEntry, ReadsBackEveryHandleItWrote) {
  char buffer[kEntryBufferSize];
  for (std::uint32_t handle : {0u, 1u, 0x2B4u, 0x10086u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    FormatViewerEntry(buffer, handle, "t");
    EXPECT_EQ(ReadViewerEntry(buffer), handle) << handle;
  }
  EXPECT_EQ(ReadViewerEntry("  ABCDEF#"), 0xABCDEFu);  // either case
  EXPECT_EQ(ReadViewerEntry("#"), 0u);
}

TEST(ViewerLimit, TwentySecondOpensTwentyThirdRefused) {
  EXPECT_TRUE(NextViewerAllowed(0));
  EXPECT_TRUE(NextViewerAllowed(21));
  EXPECT_FALSE(NextViewerAllowed(22));
  EXPECT_FALSE(NextViewerAllowed(-1));  // an unreadable count: say no
  EXPECT_FALSE(ViewerCountRefused(21));
  EXPECT_TRUE(ViewerCountRefused(22));
  EXPECT_TRUE(ViewerCountRefused(40));
  EXPECT_FALSE(ViewerCountRefused(-1));  // but it does not stop an opening
}

}  // namespace
}  // namespace kensaku::ui
