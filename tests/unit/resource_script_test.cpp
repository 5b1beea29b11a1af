// The resource script is Shift_JIS for code page 932. The resource compiler reads a backslash
// inside a quoted text as an escape even when it is the trail byte of a double-byte character
// (表 is 0x95 0x5C), so every such trail byte must be written doubled.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string Script() {
  std::ifstream in(KENSAKU_RC_FILE, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResourceScript, NoLoneBackslashTrailByte) {
  const std::string rc = Script();
  ASSERT_FALSE(rc.empty()) << KENSAKU_RC_FILE;
  int doubled = 0;
  int line = 1;
  for (std::size_t i = 0; i < rc.size(); ++i) {
    const unsigned char c = rc[i];
    if (c == '\n') ++line;
    if (!IsLead(c) || i + 1 >= rc.size()) continue;
    const unsigned char trail = rc[i + 1];
    ++i;
    if (trail != 0x5C) continue;
    ASSERT_TRUE(i + 1 < rc.size() && rc[i + 1] == 0x5C) << "lone 0x5C trail byte on line " << line;
    ++i;
    ++doubled;
  }
  EXPECT_GE(doubled, 2);  // 正規表現検索 and 貼り付け at least
}

TEST(ResourceScript, DeclaresItsCodePageAndJapaneseTexts) {
  const std::string rc = Script();
  EXPECT_NE(rc.find("#pragma code_page(932)"), std::string::npos);
  EXPECT_NE(rc.find("CAPTION \"#\x8C\x9F\x8D\xF5 Input Box\""), std::string::npos);
  // No UTF-8: the lead byte 0xE6 of 検 in UTF-8 would be followed by 0xA4.
  EXPECT_EQ(rc.find("\xE6\xA4\x9C"), std::string::npos);
}

}  // namespace
