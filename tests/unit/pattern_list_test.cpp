#include "match/pattern_list.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "match/line_tests.h"
#include "mbchar/char_array.h"
#include "mbchar/fold.h"
#include "sjis_gen.h"
#include "test_text.h"

namespace kensaku {
namespace {

std::vector<std::string> Entries(const char* text, int flags = 0) {
  std::vector<std::string> out;
  const ListText list(text, flags);
  for (const char* e : list.entries()) {
    if (e == nullptr) break;
    out.emplace_back(e);
  }
  return out;
}

class PatternListTest : public ::testing::Test {};

TEST_F(PatternListTest, SplittingAndTrimming) {
  EXPECT_EQ(Entries("abc\r\nxyz"), (std::vector<std::string>{"abc", "xyz"}));
  EXPECT_EQ(Entries("\r\n\r\nabc\r\n"), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(Entries("abc  \t\r\nd\te"), (std::vector<std::string>{"abc", "d\te"}));
  EXPECT_EQ(Entries("abc\x81\x40\nq\b"), (std::vector<std::string>{"abc", "q"}));
  EXPECT_EQ(Entries("\"abc\""), (std::vector<std::string>{"\"abc"}));
  EXPECT_EQ(Entries("abc \""), (std::vector<std::string>{"abc "}));
  EXPECT_EQ(Entries("a\"\" "), (std::vector<std::string>{"a\""}));
  EXPECT_EQ(Entries(""), (std::vector<std::string>{}));
  EXPECT_EQ(Entries(nullptr), (std::vector<std::string>{}));
  EXPECT_FALSE(ListText("", 0).ok());
  EXPECT_FALSE(ListText(std::string(kMaxByteString + 1, 'a').c_str(), 0).ok());
  // The trail byte 0x40 of the ideographic space is no blank of its own.
  EXPECT_EQ(Entries("a\x81\x40"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(Entries("\x82\x40"), (std::vector<std::string>{"\x82\x40"}));
}

TEST_F(PatternListTest, AtMostSixtyEntries) {
  std::string text;
  for (int i = 10; i < 80; ++i) {
    text += '<';
    text += std::to_string(i);
    text += ">\n";
  }
  const auto entries = Entries(text.c_str());
  ASSERT_EQ(entries.size(), 60u);
  EXPECT_EQ(entries.back(), "<69>");
  EXPECT_EQ(LineMatchesList("<70>", text.c_str(), 0), 0);
  EXPECT_EQ(LineMatchesList("<69>", text.c_str(), 0), 1);
}

// Decision: a line left empty by trimming is passed over; the lines after it are still used.
TEST_F(PatternListTest, BlankLinesDoNotEndTheList) {
  EXPECT_EQ(Entries("abc\r\n   \r\nxyz"), (std::vector<std::string>{"abc", "xyz"}));
  EXPECT_EQ(LineMatchesList("xyz", "abc\r\n   \r\nxyz", 0), 1);
  EXPECT_EQ(LineMatchesList("", "abc\r\n   \r\nxyz", 0), 0);
  EXPECT_EQ(Entries(" \n\"\nq"), (std::vector<std::string>{"q"}));
  // Splitting takes any byte after a lead byte with it: a LF there ends no line.
  EXPECT_EQ(Entries("\x81\na"), (std::vector<std::string>{"\x81\n"}));
}

// Decision: a folded entry is kept whole even when folding made it longer than its line.
TEST_F(PatternListTest, WidenedEntriesAreKeptWhole) {
  const int flags = FoldToFullWidth;
  EXPECT_EQ(Entries("abcd", flags), (std::vector<std::string>{"\x82\x81\x82\x82\x82\x83\x82\x84"}));
  EXPECT_EQ(LineMatchesList("ab", "abcd", flags), 0);
  EXPECT_EQ(LineMatchesList("abcd", "abcd", flags), 1);
  EXPECT_EQ(LineMatchesList("\x82\x81\x82\x82\x82\x83\x82\x84", "abcd\nq", flags), 1);
  EXPECT_EQ(LineMatchesList("q", "abcd\nq", flags), 1);
}

// Decision: a line longer than a character array holds is still trimmed and folded.
TEST_F(PatternListTest, VeryLongLinesAreTrimmedAndFolded) {
  const std::string line = std::string(MaxChars + 10, 'a') + "  ";
  const auto entries = Entries(line.c_str(), FoldToUpper);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], std::string(MaxChars + 10, 'A'));
}

TEST_F(PatternListTest, EntriesAreStoredFolded) {
  // The escape for TAB becomes "\T", which matches the letter T.
  EXPECT_EQ(LineMatchesList("T", "\\t", FoldToUpper), 1);
  EXPECT_EQ(LineMatchesList("\t", "\\t", FoldToUpper), 0);
  EXPECT_EQ(LineMatchesList("\t", "\\t", 0), 1);
}

TEST_F(PatternListTest, SingleLineListTests) {
  EXPECT_EQ(LineMatchesList("xyz", "abc\r\nxyz", 0), 1);
  EXPECT_EQ(LineMatchesList("nothing", "abc\r\nxyz", 0), 0);
  EXPECT_EQ(LineMatchesList(nullptr, "abc", 0), 0);
  EXPECT_EQ(LineMatchesList("abc", nullptr, 0), 0);
  EXPECT_EQ(LineMatchesList("", "", 0), 0);
  // The first entry decides, not the leftmost.
  EXPECT_EQ(LineInclusionOfList("abc", "c\r\na", 0), 3);
  EXPECT_EQ(LineInclusionOfList("abc", "z\r\nb", 0), 2);
  EXPECT_EQ(LineInclusionOfList("abc", "z", 0), 0);
  EXPECT_EQ(LineMatchesConjunctiveList("ab", "a&b\r\nc", 0), 1);
  EXPECT_EQ(LineMatchesConjunctiveList("c", "a&b\r\nc", 0), 1);
  EXPECT_EQ(LineMatchesConjunctiveList("ba", "a&b\r\nc", 0), 0);
  EXPECT_EQ(LineMatchesConjunctiveList("", "a", 0), 0);
}

// Trimming agrees with a character array written back into the line's own bytes whenever the
// result fits there.
TEST_F(PatternListTest, TrimAgreesWithCharacterArrays) {
  testing_gen::Generator gen(3);
  std::vector<std::string> pieces;
  for (const std::string& p : testing_gen::SubjectPieces()) {
    if (p.find('\r') == std::string::npos) pieces.push_back(p);
  }
  for (const char* blank : {" ", "\t", "\b", "\x81\x40", "\""}) pieces.push_back(blank);
  for (int i = 0; i < 20000; ++i) {
    const int flags = gen.Pick(testing_gen::FlagChoices());
    const std::string line = gen.Text(pieces, 8);
    CharArray array(line.c_str(), flags);
    for (int k = array.count() - 1; k >= 0; --k) {
      const MbChar c = array.At(k);
      if (InSet(c, ListBlankSet)) {
        array.At(k).code = kNoneCode;
        continue;
      }
      if (c.code == '"') array.At(k).code = kNoneCode;
      break;
    }
    std::ostringstream written;
    array.WriteTo(written);
    std::string copy = line;
    EntryStore store;
    const std::string trimmed =
        line.empty() ? line : TrimListEntry(copy.data(), store, FoldTable::For(flags));
    if (line.empty() || line.size() > static_cast<std::size_t>(MaxChars)) continue;
    ASSERT_EQ(trimmed, written.str()) << Shown(line) << " flags " << flags;
  }
}

}  // namespace
}  // namespace kensaku
