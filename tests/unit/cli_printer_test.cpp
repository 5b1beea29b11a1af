#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "patterns.h"
#include "printer.h"
#include "search/searcher.h"
#include "temp_dir.h"
#include "test_text.h"

namespace kensaku::cli {
namespace {

// What the tool asks of one file's search: the printer's part and the searcher's, set as main
// sets them from the options.
struct Config {
  Report report = Report::kLines;
  bool with_name = false;
  bool line_numbers = false;
  bool only_matching = false;
  bool invert = false;
  bool color = false;
  Colors colors;
  bool utf8 = false;
  bool binary = false;
  std::int64_t max_count = -1;
  int after = 0;
  int before = 0;
};

// Searches the lines, written to a file, with the patterns and a printer as the tool does.
class CliPrinterTest : public ::testing::Test {
 protected:
  std::string Run(const Config& c, const std::vector<std::string>& patterns,
                  const std::vector<std::string>& lines, const std::string& name = "f") {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteFile(dir_ / "in", text);
    std::string error;
    const std::unique_ptr<Query> query = BuildQuery(patterns, SearchKind::kMatch, 0);
    EXPECT_NE(query, nullptr) << error;
    PrintConfig print;
    print.report = c.report;
    print.with_name = c.with_name;
    print.line_numbers = c.line_numbers;
    print.only_matching = c.only_matching;
    print.color = c.color;
    print.colors = c.colors;
    print.invert = c.invert;
    if (c.utf8) print.output = Encoding::kUtf8;
    print.binary = c.binary;
    Selection selection;
    selection.invert = c.invert;
    selection.max_count = c.max_count;
    const bool context = c.report == Report::kLines && !c.only_matching;
    selection.after = context ? c.after : 0;
    selection.before = context ? c.before : 0;
    selection.parts = c.report == Report::kLines && (c.only_matching || c.color);
    selection.numbered = c.line_numbers;
    std::string out;
    int drains = 0;
    RunOutput output(print);
    const std::unique_ptr<FileSink> sink = output.SinkFor(
        print, name, out, [&] { ++drains; }, &stop_);
    InputFile in((dir_ / "in").c_str());
    Search(*query, in, *sink, selection);
    // The lines the search read: those that end before where it stopped.
    read_ = static_cast<int>(std::count(text.begin(), text.begin() + in.position(), '\n'));
    selected_ = sink->selected();
    note_ = sink->note();
    EXPECT_GE(drains, 1);
    return out;
  }

  TempDir dir_;
  std::atomic<bool> stop_{false};
  std::int64_t selected_ = 0;
  int read_ = 0;
  std::string note_;
};

const std::vector<std::string> kLines = {"a1", "b", "a2", "c", "d", "e", "a3", "f"};

TEST_F(CliPrinterTest, PrefixesAndParts) {
  Config c;
  EXPECT_EQ(Run(c, {"a"}, kLines), "a1\na2\na3\n");
  EXPECT_EQ(selected_, 3);
  c.with_name = true;
  c.line_numbers = true;
  EXPECT_EQ(Run(c, {"a"}, kLines, "dir/f"), "dir/f:1:a1\ndir/f:3:a2\ndir/f:7:a3\n");
  // Matched parts in line order whatever the pattern order; overlaps go to the leftmost.
  c = Config{};
  c.only_matching = true;
  EXPECT_EQ(Run(c, {"cd", "ab", "bcd"}, {"xabcdx", "zz"}), "ab\ncd\n");
  EXPECT_EQ(Run(c, {"a.", "[0-9]"}, {"a1 a2 3"}), "a1\na2\n3\n");
}

TEST_F(CliPrinterTest, ReportsOtherThanLines) {
  Config c;
  c.report = Report::kCount;
  EXPECT_EQ(Run(c, {"a"}, kLines), "3\n");
  c.with_name = true;
  c.max_count = 2;
  EXPECT_EQ(Run(c, {"a"}, kLines), "f:2\n");
  c = Config{};
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
  Config c;
  c.invert = true;
  EXPECT_EQ(Run(c, {"a"}, kLines), "b\nc\nd\ne\nf\n");
  c.max_count = 2;
  EXPECT_EQ(Run(c, {"a"}, kLines), "b\nc\n");
  c = Config{};
  c.max_count = 0;
  EXPECT_EQ(Run(c, {"a"}, kLines), "");
  EXPECT_EQ(read_, 0);
}

TEST_F(CliPrinterTest, Context) {
  Config c;
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
  Config c;
  c.color = true;
  c.with_name = true;
  c.line_numbers = true;
  EXPECT_EQ(Run(c, {"a"}, {"xaya"}),
            "\33[35m\33[Kf\33[m\33[K\33[36m\33[K:\33[m\33[K\33[32m\33[K1\33[m\33[K"
            "\33[36m\33[K:\33[m\33[Kx\33[01;31m\33[Ka\33[m\33[Ky\33[01;31m\33[Ka\33[m\33[K\n");
  // Selected lines of -v hold no match to show.
  c = Config{};
  c.color = true;
  c.invert = true;
  EXPECT_EQ(Run(c, {"a"}, {"a", "b"}), "b\n");

  // Line colours around the matches, none left open before a CR that ends the line; ne drops
  // the clearing; an empty colour leaves its part plain.
  c = Config{};
  c.color = true;
  c.line_numbers = true;
  ReadGrepColors("sl=1:cx=2:ms=4:ln=:se=35", c.colors);
  c.after = 1;
  EXPECT_EQ(Run(c, {"b"}, {"abcb\r", "d"}),
            "1\33[35m\33[K:\33[m\33[K\33[1m\33[Ka\33[4m\33[Kb\33[m\33[K\33[1m\33[Kc\33[4m\33[K"
            "b\33[m\33[K\r\n"
            "2\33[35m\33[K-\33[m\33[K\33[2m\33[Kd\33[m\33[K\n");
  c = Config{};
  c.color = true;
  ReadGrepColors("ne:ms=:sl=7", c.colors);
  EXPECT_EQ(Run(c, {"b"}, {"abc"}), "\33[7mabc\33[m\n");
  // Under -v the context lines are the ones with matches, shown in mc, before and after.
  c = Config{};
  c.color = true;
  c.invert = true;
  c.before = 1;
  c.after = 1;
  ReadGrepColors("mc=4:ms=5", c.colors);
  EXPECT_EQ(Run(c, {"a"}, {"xa", "b", "aya", "c"}),
            "x\33[4m\33[Ka\33[m\33[K\nb\n\33[4m\33[Ka\33[m\33[Ky\33[4m\33[Ka\33[m\33[K\nc\n");
  // rv: with -v the selected lines take cx.
  c = Config{};
  c.color = true;
  c.invert = true;
  ReadGrepColors("sl=1:cx=2:rv", c.colors);
  EXPECT_EQ(Run(c, {"a"}, {"b"}), "\33[2m\33[Kb\33[m\33[K\n");
}

TEST(CliColorsTest, GrepColorsReadAsGrepReadsThem) {
  const struct {
    const char* value;
    const char* parts;  // ms mc sl cx fn ln se, then rv and ne as 0/1
  } kRows[] = {
      {"", "01;31 01;31 - - 35 32 36 0 0"},
      {"mt=7", "7 7 - - 35 32 36 0 0"},
      {"ms=4:mt", "4 4 - - 35 32 36 0 0"},  // mt without a value copies ms
      {"mt=7:ms=4", "4 7 - - 35 32 36 0 0"},
      {"fn=:ln=;;", "01;31 01;31 - - - ;; 36 0 0"},
      {"rv:ne", "01;31 01;31 - - 35 32 36 1 1"},
      {"ne=5:ln=33", "01;31 01;31 - - 35 33 36 0 1"},         // a flag's value is no matter
      {"fn=34:ms:ln=33", "01;31 01;31 - - 34 33 36 0 0"},     // no value: nothing set
      {"ln=33:fn=3x:se=35", "01;31 01;31 - - 35 33 36 0 0"},  // ends at a bad value
      {"ln=33:fn=3=4:se=35", "01;31 01;31 - - 35 33 36 0 0"},
      {"=34:ln=33", "01;31 01;31 - - 35 32 36 0 0"},         // and at a value without a name
      {"RV:f n=34::ln=33", "01;31 01;31 - - 35 33 36 0 0"},  // unknown names passed over
  };
  for (const auto& row : kRows) {
    Colors colors;
    ReadGrepColors(row.value, colors);
    std::string parts;
    for (const std::string* part :
         {&colors.selected_match, &colors.context_match, &colors.selected_line,
          &colors.context_line, &colors.file_name, &colors.line_number, &colors.separator}) {
      parts += (part->empty() ? "-" : *part) + " ";
    }
    parts += std::string(colors.reverse ? "1" : "0") + " " + (colors.erase ? "0" : "1");
    EXPECT_EQ(parts, row.parts) << row.value;
  }

  Colors colors;
  EXPECT_TRUE(ReadGrepColor("01;4", colors));
  EXPECT_EQ(colors.selected_match, "01;4");
  EXPECT_EQ(colors.context_match, "01;4");
  for (const char* bad : {"", "4 ", "x", "1m"}) {
    EXPECT_FALSE(ReadGrepColor(bad, colors)) << bad;
    EXPECT_EQ(colors.selected_match, "01;4");
  }
}

TEST_F(CliPrinterTest, ShiftJisText) {
  // "ソ" (0x83 0x5C) holds no backslash; the text converts to UTF-8, the name stays as it is.
  Config c;
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
  Config c;
  c.binary = true;
  EXPECT_EQ(Run(c, {"a"}, kLines, "bin"), "");
  EXPECT_EQ(note_, "bin: binary file matches");
  EXPECT_EQ(read_, 1);
  c.report = Report::kCount;
  EXPECT_EQ(Run(c, {"a"}, kLines, "bin"), "3\n");
  EXPECT_EQ(note_, "");
}

// A line with several hits is one selected line.
TEST_F(CliPrinterTest, HitsFromTheSearcherCountOncePerLine) {
  Config c;
  c.line_numbers = true;
  EXPECT_EQ(Run(c, {"a"}, {"x", "x", "x", "aaa", "x", "x", "x", "x", "xa"}), "4:aaa\n9:xa\n");
  EXPECT_EQ(selected_, 2);
}

// The line --stats gives the names passed over: every reason with a count, in one order, each
// worded for one or many; and the JSON object with every reason.
TEST(CliStatsTest, SkippedNamesByReason) {
  Skipped none;
  EXPECT_EQ(SkippedLine(none), "0 files skipped");
  EXPECT_EQ(SkippedJson(none),
            R"({"binary":0,"unreadable":0,"excluded":0,"not_regular":0,"symlink":0})");
  Skipped some;
  some.Add(Skip::kLink, 2);
  some.Add(Skip::kNotRegular, 2);
  some.Add(Skip::kBinary);
  EXPECT_EQ(SkippedLine(some), "5 files skipped: 1 binary, 2 not regular files, 2 symbolic links");
  Skipped each;
  for (const Skip why : {Skip::kLink, Skip::kNotRegular, Skip::kExcluded, Skip::kBinary}) {
    each.Add(why);
  }
  each.Add(Skip::kUnreadable, 3);
  EXPECT_EQ(SkippedLine(each),
            "7 files skipped: 1 binary, 3 unreadable, 1 excluded, 1 not a regular file, 1 symbolic "
            "link");
  EXPECT_EQ(SkippedJson(each),
            R"({"binary":1,"unreadable":3,"excluded":1,"not_regular":1,"symlink":1})");
}

}  // namespace
}  // namespace kensaku::cli
