#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "mbchar/fold.h"
#include "patterns.h"
#include "printer.h"
#include "test_text.h"

namespace kensaku::cli {
namespace {

// Drives a printer with lines as the line-by-line search does, the verdicts from the patterns.
class CliPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFoldFlags(0); }

  std::string Run(const PrintConfig& config, const std::vector<std::string>& patterns,
                  const std::vector<std::string>& lines, const std::string& name = "f") {
    read_ = 0;
    std::string error;
    PatternGroups groups;
    EXPECT_TRUE(groups.Build(patterns, SearchKind::kMatch, error)) << error;
    std::string out;
    int drains = 0;
    Printer printer(
        config, name, groups, out, [&] { ++drains; }, &stop_);
    for (std::size_t i = 0; i < lines.size() && printer.ok(); ++i) {
      const bool match = groups.Selects(lines[i].c_str(), lines[i].size());
      printer.Line(static_cast<std::int32_t>(i + 1), lines[i].c_str(), lines[i].size(),
                   match != config.invert);
      ++read_;
    }
    selected_ = printer.Finish();
    note_ = printer.note();
    EXPECT_GE(drains, 1);
    return out;
  }

  std::atomic<bool> stop_{false};
  std::int64_t selected_ = 0;
  int read_ = 0;
  std::string note_;
};

const std::vector<std::string> kLines = {"a1", "b", "a2", "c", "d", "e", "a3", "f"};

TEST_F(CliPrinterTest, PrefixesAndParts) {
  PrintConfig c;
  EXPECT_EQ(Run(c, {"a"}, kLines), "a1\na2\na3\n");
  EXPECT_EQ(selected_, 3);
  c.with_name = true;
  c.line_numbers = true;
  EXPECT_EQ(Run(c, {"a"}, kLines, "dir/f"), "dir/f:1:a1\ndir/f:3:a2\ndir/f:7:a3\n");
  // Matched parts in line order whatever the pattern order; overlaps go to the leftmost.
  c = PrintConfig{};
  c.only_matching = true;
  EXPECT_EQ(Run(c, {"cd", "ab", "bcd"}, {"xabcdx", "zz"}), "ab\ncd\n");
  EXPECT_EQ(Run(c, {"a.", "[0-9]"}, {"a1 a2 3"}), "a1\na2\n3\n");
}

TEST_F(CliPrinterTest, ReportsOtherThanLines) {
  PrintConfig c;
  c.report = Report::kCount;
  EXPECT_EQ(Run(c, {"a"}, kLines), "3\n");
  c.with_name = true;
  c.max_count = 2;
  EXPECT_EQ(Run(c, {"a"}, kLines), "f:2\n");
  c = PrintConfig{};
  c.report = Report::kFilesWith;
  EXPECT_EQ(Run(c, {"a"}, kLines), "f\n");
  EXPECT_EQ(read_, 1) << "stops at the first selected line";
  EXPECT_EQ(Run(c, {"zz"}, kLines), "");
  c.report = Report::kFilesWithout;
  EXPECT_EQ(Run(c, {"zz"}, kLines), "f\n");
  EXPECT_EQ(Run(c, {"b"}, kLines), "");
  c.report = Report::kQuiet;
  EXPECT_FALSE(stop_.load());
  EXPECT_EQ(Run(c, {"b"}, kLines), "");
  EXPECT_TRUE(stop_.load()) << "a selected line ends every search";
}

TEST_F(CliPrinterTest, InvertAndMaxCount) {
  PrintConfig c;
  c.invert = true;
  EXPECT_EQ(Run(c, {"a"}, kLines), "b\nc\nd\ne\nf\n");
  c.max_count = 2;
  EXPECT_EQ(Run(c, {"a"}, kLines), "b\nc\n");
  c = PrintConfig{};
  c.max_count = 0;
  EXPECT_EQ(Run(c, {"a"}, kLines), "");
  EXPECT_EQ(read_, 0);
}

TEST_F(CliPrinterTest, Context) {
  PrintConfig c;
  c.line_numbers = true;
  c.after = 1;
  c.before = 1;
  // Groups that touch are joined; others parted by "--".
  EXPECT_EQ(Run(c, {"a"}, kLines), "1:a1\n2-b\n3:a2\n4-c\n--\n6-e\n7:a3\n8-f\n");
  c.after = 0;
  c.before = 2;
  EXPECT_EQ(Run(c, {"a3"}, kLines), "5-d\n6-e\n7:a3\n");
  // After the last counted line, only its trailing context, selected lines included.
  c.before = 0;
  c.after = 2;
  c.max_count = 1;
  EXPECT_EQ(Run(c, {"a", "b"}, kLines), "1:a1\n2-b\n3-a2\n");
  EXPECT_EQ(read_, 3);
}

TEST_F(CliPrinterTest, Colour) {
  PrintConfig c;
  c.color = true;
  c.with_name = true;
  c.line_numbers = true;
  EXPECT_EQ(Run(c, {"a"}, {"xaya"}),
            "\33[35m\33[Kf\33[m\33[K\33[36m\33[K:\33[m\33[K\33[32m\33[K1\33[m\33[K"
            "\33[36m\33[K:\33[m\33[Kx\33[01;31m\33[Ka\33[m\33[Ky\33[01;31m\33[Ka\33[m\33[K\n");
  // Selected lines of -v hold no match to show.
  c = PrintConfig{};
  c.color = true;
  c.invert = true;
  EXPECT_EQ(Run(c, {"a"}, {"a", "b"}), "b\n");
}

TEST_F(CliPrinterTest, ShiftJisText) {
  // "ソ" (0x83 0x5C) holds no backslash; the text converts to UTF-8, the name stays as it is.
  PrintConfig c;
  c.utf8 = true;
  c.with_name = true;
  EXPECT_EQ(Run(c, {"\\\\"}, {"\x83\x5C", "\x83\x5C\\"}, "\xE5\x90\x8D"),
            "\xE5\x90\x8D:\xE3\x82\xBD\\\n");
  c.only_matching = true;
  c.with_name = false;
  EXPECT_EQ(Shown(Run(c, {"\x83\x5C"}, {"a\x83\x5C\x83\x5C"})),
            Shown("\xE3\x82\xBD\n\xE3\x82\xBD\n"));
}

TEST_F(CliPrinterTest, BinaryFileIsOneNote) {
  PrintConfig c;
  c.binary = true;
  EXPECT_EQ(Run(c, {"a"}, kLines, "bin"), "");
  EXPECT_EQ(note_, "bin: binary file matches");
  EXPECT_EQ(read_, 1);
  c.report = Report::kCount;
  EXPECT_EQ(Run(c, {"a"}, kLines, "bin"), "3\n");
  EXPECT_EQ(note_, "");
}

TEST_F(CliPrinterTest, HitsFromTheSearcherCountOncePerLine) {
  std::string error;
  PatternGroups groups;
  ASSERT_TRUE(groups.Build({"a"}, SearchKind::kMatch, error)) << error;
  PrintConfig c;
  c.line_numbers = true;
  std::string out;
  Printer printer(c, "f", groups, out, nullptr, nullptr);
  ScanState state;
  state.lines = 4;
  state.SetLine("aaa");
  printer.Hit(state);
  printer.Hit(state);
  state.lines = 9;
  state.SetLine("xa");
  printer.Hit(state);
  EXPECT_EQ(printer.Finish(), 2);
  EXPECT_EQ(out, "4:aaa\n9:xa\n");
}

}  // namespace
}  // namespace kensaku::cli
