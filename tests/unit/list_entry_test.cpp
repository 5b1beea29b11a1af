#include "match/list_entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "mbchar/fold.h"
#include "search/hit_writer.h"
#include "search/line_reader.h"
#include "search/query.h"
#include "sjis_gen.h"
#include "temp_dir.h"
#include "test_text.h"

namespace kensaku {
namespace {

// A line of text as the reader leaves it.
void SetLine(ScanState& state, const char* text) {
  state.line = text;
  state.length = std::strlen(text);
  state.text_length = state.length;
}

// The line tests as the searcher makes them, each entry's hits written by the hit writer in the
// form given (literal entries always write whole lines).
template <typename Entry>
void TestLine(ScanState& state, Output& out, const Entry& entry, OutputForm form) {
  if (Entry::kWholeLinesOnly) form.whole_lines = true;
  HitWriter writer(out, form);
  entry.Test(state.line, state.text_length, form.whole_lines, state.span,
             [&](const MatchSpan& span) {
               FoundLine line;
               line.number = state.lines;
               line.text = state.line;
               line.length = state.length;
               line.hit = span;
               writer.Matched(line);
             });
}

class LineScanTest : public ::testing::Test {
 protected:
  void TestLineMatch(ScanState& s, Output& out, const LinePattern& e) {
    TestLine(s, out, e, form_);
  }
  void TestLineMatchs(ScanState& s, Output& out, const LineConjunctive& e) {
    TestLine(s, out, e, form_);
  }
  void TestLineInc(ScanState& s, Output& out, const LineInclusion& e) {
    TestLine(s, out, e, form_);
  }

  // Every line of the bytes as ReadNextLine delivers them, with its number.
  std::vector<std::pair<int, std::string>> Lines(const std::string& bytes) {
    WriteFile(dir_ / "in.txt", bytes);
    InputFile in((dir_ / "in.txt").c_str());
    ScanState state;
    std::vector<std::pair<int, std::string>> lines;
    while (in.good()) {
      ReadNextLine(state, in);
      if (!in.failed()) lines.emplace_back(state.lines, state.line);
    }
    return lines;
  }

  // What TestLineMatch writes for each line of the bytes.
  std::string MatchOutput(const std::string& bytes, const char* pattern) {
    WriteFile(dir_ / "in.txt", bytes);
    InputFile in((dir_ / "in.txt").c_str());
    char buffer[4096];
    Output out(buffer, sizeof buffer);
    ScanState state;
    const LinePattern compiled(pattern);
    while (in.good()) {
      ReadNextLine(state, in);
      if (!in.failed()) TestLineMatch(state, out, compiled);
    }
    return std::string(buffer, out.size());
  }

  TempDir dir_;
  OutputForm form_;  // the output form of the searches, set per test
};

TEST_F(LineScanTest, LinesAreCutAt4095Bytes) {
  using L = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(Lines(std::string(4095, 'a') + "\nb"),
            (L{{1, std::string(4095, 'a')}, {2, ""}, {3, "b"}}));
  EXPECT_EQ(Lines(std::string(4094, 'a') + "\nb"), (L{{1, std::string(4094, 'a')}, {2, "b"}}));
  const auto long_line = Lines(std::string(10000, 'x') + "\n");
  ASSERT_EQ(long_line.size(), 3u);
  EXPECT_EQ(long_line[0].second.size(), 4095u);
  EXPECT_EQ(long_line[1].second.size(), 4095u);
  EXPECT_EQ(long_line[2], (std::pair<int, std::string>{3, std::string(1810, 'x')}));
  // Exactly 4095 bytes at the end of the file: no empty line after them.
  EXPECT_EQ(Lines(std::string(4095, 'z')), (L{{1, std::string(4095, 'z')}}));
}

TEST_F(LineScanTest, LineEndsAndEndOfFile) {
  using L = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(Lines("a\nb"), (L{{1, "a"}, {2, "b"}}));
  EXPECT_EQ(Lines("a\nb\n"), (L{{1, "a"}, {2, "b"}}));
  EXPECT_EQ(Lines("a\r\n\r\nb\r\n"), (L{{1, "a\r"}, {2, "\r"}, {3, "b\r"}}));
  EXPECT_EQ(Lines("\n\n"), (L{{1, ""}, {2, ""}}));
  EXPECT_EQ(Lines(""), L{});
  EXPECT_EQ(Lines(std::string("ab\0cd\nx", 7)), (L{{1, "ab"}, {2, "x"}}));
}

TEST_F(LineScanTest, CutFallsBetweenLeadAndTrailByte) {
  std::string bytes(4094, 'a');
  bytes +=
      "\x82\xA0"
      "z\n";
  const auto lines = Lines(bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].second.back(), '\x82');
  EXPECT_EQ(lines[1].second, "\xA0z");
  EXPECT_EQ(MatchOutput(bytes, "\x82\xA0"), "");  // the character is in neither piece
}

TEST_F(LineScanTest, MissingInputReadsNothing) {
  InputFile in((dir_ / "missing.txt").c_str());
  EXPECT_TRUE(in.failed());
  ScanState state;
  SetLine(state, "old");
  ReadNextLine(state, in);
  EXPECT_STREQ(state.line, "");
  EXPECT_EQ(state.lines, 0);
  EXPECT_TRUE(InputFile(nullptr).failed());
  EXPECT_TRUE(InputFile(std::string(dir_ / "").c_str()).failed());  // a folder cannot be read
}

TEST_F(LineScanTest, WorkedExample) {
  const std::string input = "abc\r\nxyz abc abc\r\n";
  form_.line_numbers = true;
  form_.whole_lines = true;
  EXPECT_EQ(MatchOutput(input, "abc"), "    1 abc\r\n    2 xyz abc abc\r\n");
  form_.whole_lines = false;
  EXPECT_EQ(MatchOutput(input, "abc"), "abc\r\nabc\r\nabc\r\n");
}

TEST_F(LineScanTest, LineNumbers) {
  form_.line_numbers = true;
  form_.whole_lines = true;
  EXPECT_EQ(MatchOutput("x\ny\nhit\n", "hit"), "    3 hit\n");
  char buffer[64];
  for (const auto& [n, text] : std::vector<std::pair<int, std::string>>{
           {7, "    7 "}, {12345, "12345 "}, {123456, "123456 "}}) {
    Output out(buffer, sizeof buffer);
    ScanState state;
    state.lines = n;
    WriteLineNumber(state.lines, out);
    EXPECT_EQ(std::string(buffer, out.size()), text);
  }
  form_.line_numbers = false;
  EXPECT_EQ(MatchOutput("x\ny\nhit\n", "hit"), "hit\n");
}

TEST_F(LineScanTest, EmptyLinesAndAnchors) {
  form_.whole_lines = true;
  form_.line_numbers = true;
  EXPECT_EQ(MatchOutput("\nab\n", "^"), "");
  EXPECT_EQ(MatchOutput("\nab\n", "^."), "    1 \n    2 ab\n");  // '.' matches the empty line's end
  EXPECT_EQ(MatchOutput("\nab\n", "."), "    2 ab\n");
  EXPECT_EQ(MatchOutput("xab\nab\n", "^ab"), "    2 ab\n");
  EXPECT_EQ(MatchOutput("x^ab\n", "\\^ab"), "    1 x^ab\n");
  form_.whole_lines = false;
  EXPECT_EQ(MatchOutput("abab\n", "@ab"), "");  // zero-width hits write nothing
  EXPECT_EQ(MatchOutput("aXbaYb\n", "a.b"), "aXb\r\naYb\r\n");
}

TEST_F(LineScanTest, ConjunctiveHits) {
  char buffer[256];
  Output out(buffer, sizeof buffer);
  ScanState state;
  SetLine(state, "xa1b a2b");
  TestLineMatchs(state, out, LineConjunctive("a&b"));
  EXPECT_EQ(std::string(buffer, out.size()), "a1b\r\na2b\r\n");
  // Anchored: a match that starts later is no hit and clears the flag.
  TestLineMatchs(state, out, LineConjunctive("^a&b"));
  EXPECT_EQ(state.span.matched, 0);
  SetLine(state, "a1b");
  TestLineMatchs(state, out, LineConjunctive("^a&b"));
  EXPECT_EQ(state.span.matched, 1);
  SetLine(state, "");
  TestLineMatchs(state, out, LineConjunctive("^a&b"));
  EXPECT_EQ(state.span.matched, 0);
}

TEST_F(LineScanTest, NoAttemptLeavesTheSpanAlone) {
  form_.whole_lines = true;  // so that the hit is the last attempt on the line
  char buffer[256];
  Output out(buffer, sizeof buffer);
  ScanState state;
  SetLine(state, "abc");
  TestLineMatch(state, out, LinePattern("b"));
  ASSERT_EQ(state.span.matched, 1);
  SetLine(state, "");
  TestLineMatch(state, out, LinePattern("b"));
  EXPECT_EQ(state.span.matched, 1);
  TestLineMatchs(state, out, LineConjunctive("b"));
  EXPECT_EQ(state.span.matched, 1);
  SetLine(state, "abc");
  TestLineMatch(state, out, LinePattern(""));
  TestLineMatch(state, out, LinePattern(nullptr));
  EXPECT_EQ(state.span.matched, 1);
  TestLineInc(state, out, LineInclusion("q"));
  EXPECT_EQ(state.span.matched, 0);
}

// Decision: an unanchored conjunctive entry that yields no term leaves the line.
TEST_F(LineScanTest, TermlessConjunctiveEntriesEndTheLine) {
  char buffer[256];
  Output out(buffer, sizeof buffer);
  ScanState state;
  SetLine(state, "any line");
  for (const char* entry : {"&", "&&&", "\x1A", "\x81"}) {
    TestLineMatchs(state, out, LineConjunctive(entry));
    EXPECT_EQ(state.span.matched, 0) << entry;
  }
  EXPECT_EQ(out.size(), 0u);
}

TEST_F(LineScanTest, InclusionWritesWholeLines) {
  form_.whole_lines = false;
  form_.line_numbers = true;
  char buffer[256];
  Output out(buffer, sizeof buffer);
  ScanState state;
  state.lines = 4;
  SetLine(state, "a^bc");
  TestLineInc(state, out, LineInclusion("^b"));
  EXPECT_EQ(std::string(buffer, out.size()), "    4 a^bc\n");
  SetLine(state, "");
  TestLineInc(state, out, LineInclusion(""));
  EXPECT_EQ(state.span.matched, 0);
}

TEST_F(LineScanTest, BoundedOutputDropsWhatDoesNotFit) {
  char buffer[5];
  Output out(buffer, sizeof buffer);
  out.Write("abc", 3);
  EXPECT_TRUE(out.good());
  out.Write("de", 2);
  EXPECT_TRUE(out.good());  // exactly full is still good
  out.Write("f", 1);
  EXPECT_TRUE(out.failed());
  out.Write("g", 1);
  EXPECT_EQ(std::string(buffer, out.size()), "abcde");
}

// A pattern entry gives no attempt to the starts before its bytes less the characters before
// them; its hits must be those of a scan that tries every start, on runs after repeats, skips,
// sets and wild characters over lines of one- and two-byte characters.
TEST_F(LineScanTest, PassedOverStartsHoldNoMatch) {
  testing_gen::Generator gen(808);
  // 0x83 0x9F and 0x82 0x40 pair the bytes of small a in katakana and hiragana the other way.
  const std::vector<std::string> units = {"a",        "b", "aa", "\x83\x40", "\x83\x5C",
                                          "\x82\xA0", "x", "\\", "\x83\x9F", "\x82\x40"};
  // Sets of double-byte characters, plain or folded, which may make the pattern its bytes.
  const std::vector<std::string> heads = {
      "a*", "#a", ".", "[ab]", "\x83\x40*", "[^x]", "a", "", "[\x83\x40-\x83\x5C]", "[a\x82\xA0]"};
  // Repeats and skips before the bytes: the leftmost match starts well before them.
  const std::vector<std::pair<std::string, std::string>> fixed = {
      {"a*bb", "xaaaaaabb"},
      {"#abb", "xaaaabb"},
      {"\x83\x40*\x82\xA0\x82\xA0", "x\x83\x40\x83\x40\x83\x40\x82\xA0\x82\xA0"},
      {"[ab].bb", "\x83\x40" "abbb"},
      {"#\x83\x40" "bb", "\x82\xA0\x83\x40" "bb"}};
  int hits = 0;
  for (std::size_t round = 0; round < fixed.size() + 3000; ++round) {
    std::string text, line;
    int flags = 0;
    if (round < fixed.size()) {
      std::tie(text, line) = fixed[round];
    } else {
      flags = gen.Pick(testing_gen::FlagChoices());
      // The literal part of the pattern is planted in most lines, after a stretch of anything.
      const std::string core = gen.Pick(units) + gen.Pick(units) + gen.Text(units, 2);
      text = gen.Text(heads, 3) + core;
      line = gen.Text(units, 12) + (gen.Int(0, 3) != 0 ? core : "") + gen.Text(units, 12);
    }
    const LinePattern entry(text.c_str(), flags);
    std::vector<std::pair<std::size_t, std::size_t>> got, want;
    MatchSpan span;
    entry.Test(line.c_str(), line.size(), false, span, [&](const MatchSpan& s) {
      got.emplace_back(s.start - line.c_str(), s.end - line.c_str());
    });
    const Pattern pattern(text.c_str(), flags);
    const char* cursor = line.c_str();
    while (*cursor != '\0') {
      MatchSpan every;
      if (!MatchScan(every, cursor, pattern).matched) break;
      want.emplace_back(every.start - line.c_str(), every.end - line.c_str());
      if (every.start == every.end) break;
    }
    ASSERT_EQ(got, want) << "round " << round << " pattern " << Shown(text) << " line "
                         << Shown(line);
    hits += static_cast<int>(want.size());
  }
  EXPECT_GT(hits, 800);
}

}  // namespace
}  // namespace kensaku
