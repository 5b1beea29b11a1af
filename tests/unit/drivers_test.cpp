#include "search/drivers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/settings.h"
#include "mbchar/fold.h"
#include "temp_dir.h"

namespace kensaku {
namespace {

class DriversTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFoldFlags(0);
    SetOutputMode(1);
    SetLineMode(0);
    WriteFile(in_, "alpha\nbeta\ngamma\n");
  }
  void TearDown() override {
    SetOutputMode(0);
    SetLineMode(0);
  }

  // The settings of the moment, as an export takes them when its search starts.
  static ExportSettings Settings() { return {GetFoldFlags(), GetOutputMode(), GetLineMode()}; }

  static std::string TenLines() {
    std::string s;
    for (int i = 0; i < 10; ++i) s.append("line ").append(std::to_string(i)).append("\n");
    return s;
  }

  TempDir dir_;
  const std::string in_ = dir_ / "in.txt";
  const std::string out_ = dir_ / "out.txt";
};

TEST_F(DriversTest, ResultBufferSearches) {
  const char* r = SearchFileInc(in_.c_str(), "eta\r\nmm", Settings(), ResultBuffer());
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, "beta\ngamma\n");
  EXPECT_EQ(r, ResultBuffer());
  SetOutputMode(0);
  // Inclusion writes whole lines.
  EXPECT_STREQ(SearchFileInc(in_.c_str(), "eta", Settings(), ResultBuffer()), "beta\n");
  EXPECT_STREQ(SearchFileMatchs(in_.c_str(), "a&a", Settings(), ResultBuffer()),
               "alpha\r\namma\r\n");
  SetLineMode(1);
  SetOutputMode(1);
  EXPECT_STREQ(SearchFileMatchs(in_.c_str(), "^g", Settings(), ResultBuffer()), "    3 gamma\n");
}

TEST_F(DriversTest, ResultBufferFailures) {
  ASSERT_STREQ(SearchFileInc(in_.c_str(), "beta", Settings(), ResultBuffer()), "beta\n");
  EXPECT_EQ(SearchFileMatchs((dir_ / "missing").c_str(), "a", Settings(), ResultBuffer()), nullptr);
  EXPECT_STREQ(ResultBuffer(), "beta\n");  // left as it was
  EXPECT_EQ(SearchFileMatchs(nullptr, "a", Settings(), ResultBuffer()), nullptr);
  EXPECT_EQ(SearchFileMatchs(in_.c_str(), "", Settings(), ResultBuffer()), nullptr);
  EXPECT_STREQ(ResultBuffer(), "");  // emptied
  EXPECT_EQ(SearchFileInc(in_.c_str(), nullptr, Settings(), ResultBuffer()), nullptr);
  EXPECT_EQ(SearchFileInc(in_.c_str(), std::string(kMaxByteString + 1, 'a').c_str(), Settings(),
                          ResultBuffer()),
            nullptr);
  EXPECT_STREQ(SearchFileInc(in_.c_str(), "\r\n\r\n", Settings(), ResultBuffer()), "");
  WriteFile(dir_ / "empty.txt", "");
  const char* r = SearchFileInc((dir_ / "empty.txt").c_str(), "a", Settings(), ResultBuffer());
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, "");
}

TEST_F(DriversTest, ResultBufferOverflowStopsTheSearch) {
  std::string big;
  for (int i = 0; i < 5000; ++i) {
    big.append("hit line number ").append(std::to_string(i)).append("\n");
  }
  WriteFile(in_, big);
  ScanState state;
  InputFile in(in_.c_str());
  const char* r = StreamIncMult(state, in, "hit", Settings(), ResultBuffer());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::strlen(r), kResultCapacity);
  EXPECT_EQ(std::string(r, kResultCapacity), big.substr(0, kResultCapacity));
  EXPECT_LT(state.lines, 5000);  // reading stopped where the output ran full
  EXPECT_GT(state.lines, 1500);
}

TEST_F(DriversTest, CountsOfFileSearches) {
  WriteFile(in_, TenLines());
  const char* three = "x\r\ny\r\nz";
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), three, Settings()), 30);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatchs, in_.c_str(), out_.c_str(), three, Settings()),
            30);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), three, Settings()), 0);
  EXPECT_EQ(ReadFile(out_), "");
  EXPECT_EQ(
      SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "line\ny\nz", Settings()),
      10);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), "q\nline", Settings()),
            10);
  SetOutputMode(0);
  EXPECT_EQ(
      SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "line\ny\nz", Settings()),
      30);
}

TEST_F(DriversTest, OutputAccumulatesAndNumbersRestart) {
  SetLineMode(1);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), "a", Settings()), 3);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), "beta", Settings()), 1);
  EXPECT_EQ(ReadFile(out_), "    1 alpha\n    2 beta\n    3 gamma\n    2 beta\n");
}

TEST_F(DriversTest, FileSearchFailures) {
  EXPECT_EQ(
      SearchFileToFile(SearchKind::kInc, (dir_ / "missing").c_str(), out_.c_str(), "a", Settings()),
      0);
  EXPECT_FALSE(std::filesystem::exists(out_));
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatchs, in_.c_str(), (dir_ / "no/out.txt").c_str(), "a",
                             Settings()),
            0);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "", Settings()), 0);
  EXPECT_TRUE(std::filesystem::exists(out_));  // created all the same
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "\n\n", Settings()), 0);
}

TEST_F(DriversTest, SixtyPatternsAtMost) {
  std::string list, input;
  for (int i = 10; i < 80; ++i) {
    list += '<';
    list += std::to_string(i);
    list += ">\r\n";
    input += list.substr(list.size() - 6, 4) + "\n";
  }
  WriteFile(in_, input);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), list.c_str(), Settings()),
            60);
}

TEST_F(DriversTest, WriteErrorsStopTheScan) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "hit\n";
  WriteFile(in_, big);
  const std::int32_t count =
      SearchFileToFile(SearchKind::kInc, in_.c_str(), "/dev/full", "hit", Settings());
  EXPECT_GT(count, 0);
  EXPECT_LT(count, 100000);
}

TEST_F(DriversTest, LongLinesAndCrLf) {
  WriteFile(in_, std::string(10000, 'a') + "b\r\nx\r\n");
  SetLineMode(1);
  // Two tests on each of the first two pieces, one on the third (a hit), two on the last.
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "ab\nx", Settings()),
            7);
  EXPECT_EQ(ReadFile(out_), "    3 " + std::string(1810, 'a') + "b\r\n    4 x\r\n");
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// Lines passed over in bulk are numbered and counted as the line reader cuts them.
TEST_F(DriversTest, PassedOverLinesAreCountedAsRead) {
  WriteFile(in_, "x\n" + std::string(10000, 'a') + "\n" + std::string(4095, 'b') + "\nhit\n\n");
  SetLineMode(1);
  for (SearchKind kind : {SearchKind::kMatch, SearchKind::kMatchs, SearchKind::kInc}) {
    std::filesystem::remove(out_);
    const std::int32_t count =
        SearchFileToFile(kind, in_.c_str(), out_.c_str(), "hit\nit", Settings());
    EXPECT_EQ(ReadFile(out_), "    7 hit\n") << static_cast<int>(kind);
    // Two entries on each of the 8 lines, but the hit ends its line's entries, and so does the
    // flag it leaves on the empty line after it, where no attempt is made.
    EXPECT_EQ(count, kind == SearchKind::kInc ? 1 : 14) << static_cast<int>(kind);
  }
  SetOutputMode(0);
  std::filesystem::remove(out_);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), "hit\nit", Settings()),
            16);
  EXPECT_EQ(ReadFile(out_), "hit\r\nit\r\n");
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// A long stretch without line feeds is read piece by piece, and the pieces still number right.
TEST_F(DriversTest, LongStretchWithoutLineFeeds) {
  const std::string big(3 * 1024 * 1024, 'a');
  WriteFile(in_, big + "\nneedle\n");
  SetLineMode(1);
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), out_.c_str(), "needle", Settings()), 1);
  const std::string pieces = std::to_string(big.size() / 4095 + 2);  // the line after the stretch
  EXPECT_EQ(ReadFile(out_), std::string(5 - pieces.size(), ' ') + pieces + " needle\n");
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// A search whose output is its own input reads only what the input held when it was opened, and
// appends the hits after it, as a separate output appended afterwards would.
TEST_F(DriversTest, OutputThatIsTheInputIsNotReadBack) {
  const std::string text = "abc\nxyz\nabc and abc\n";
  const std::string link = dir_ / "link.txt";
  for (SearchKind kind : {SearchKind::kInc, SearchKind::kMatch, SearchKind::kMatchs}) {
    WriteFile(in_, text);
    const std::int32_t count = SearchFileToFile(kind, in_.c_str(), in_.c_str(), "abc", Settings());
    EXPECT_EQ(count, kind == SearchKind::kInc ? 2 : 3);
    EXPECT_EQ(ReadFile(in_), text + "abc\nabc and abc\n") << static_cast<int>(kind);
  }
  // Larger than what the reader holds at once, so that what is appended would be read back;
  // numbered lines no longer match at their start, which keeps the old behaviour finite.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "abc line " + std::to_string(100000 + i) + " of the input\n";
  SetLineMode(1);
  for (SearchKind kind : {SearchKind::kMatch, SearchKind::kMatchs}) {
    WriteFile(in_, big);
    EXPECT_EQ(SearchFileToFile(kind, in_.c_str(), in_.c_str(), "^abc", Settings()), 20000);
    const std::string now = ReadFile(in_);
    ASSERT_EQ(now.size(), 2 * big.size() + 20000 * 6) << static_cast<int>(kind);
    EXPECT_EQ(now.substr(big.size(), 14), "    1 abc line");
  }
  SetLineMode(0);
  // Another name for the same file is the same file.
  WriteFile(in_, text);
  std::filesystem::create_hard_link(in_, link);
  SetOutputMode(0);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), link.c_str(), "abc", Settings()), 3);
  EXPECT_EQ(ReadFile(in_), text + "abc\r\nabc\r\nabc\r\n");
}

// Matched texts are buffered; when the bytes are lost only as the output is closed, the search
// says so instead of counting as if everything was written.
TEST_F(DriversTest, OutputLostAtTheEndCountsForNothing) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteFile(in_, "abc\nxyz\nabc\n");
  SetOutputMode(0);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), "/dev/full", "abc", Settings()), 0);
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatchs, in_.c_str(), "/dev/full", "a&c", Settings()), 0);
  // Whole lines are flushed hit by hit: a failure on the last line is seen only at the end too.
  SetOutputMode(1);
  WriteFile(in_, "xyz\nabc\n");
  EXPECT_EQ(SearchFileToFile(SearchKind::kInc, in_.c_str(), "/dev/full", "abc", Settings()), 0);
  // Nothing to write: nothing lost.
  EXPECT_EQ(SearchFileToFile(SearchKind::kMatch, in_.c_str(), "/dev/full", "q", Settings()), 2);
}

}  // namespace
}  // namespace kensaku

namespace kensaku {
namespace {

// 60 tests on each of 36 million lines pass 2^31: the count wraps as a 32-bit count does, and
// the line numbers go on (no signed overflow on the way).
TEST_F(DriversTest, CountsBeyondTwoToThe31Wrap) {
  std::string list;
  for (int i = 0; i < 60; ++i) {
    list += 'x';
    list += std::to_string(i);
    list += '\n';
  }
  WriteFile(in_, std::string(36000000, '\n') + "x7\n");
  SetLineMode(1);
  const std::uint32_t tests = 36000001u * 60u - 52u;  // the hit on the last line ends its entries
  EXPECT_EQ(
      SearchFileToFile(SearchKind::kMatch, in_.c_str(), out_.c_str(), list.c_str(), Settings()),
      static_cast<std::int32_t>(tests));
  EXPECT_EQ(ReadFile(out_), "36000001 x7\n");
}

}  // namespace
}  // namespace kensaku
