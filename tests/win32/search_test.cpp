// The file searches of kensaku.dll with real files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dll_host.h"
#include "win_files.h"

namespace kensaku_test {
namespace {

class SearchExports : public ::testing::Test {
 protected:
  void SetUp() override {
    K(xSet)(0);
    K(OutputMode)(1);
    K(LineMode)(0);
  }
  void TearDown() override {
    K(OutputMode)(0);
    K(LineMode)(0);
  }
  WinTempDir dir_;
  const std::string in_ = dir_ / "in.txt";
  const std::string out_ = dir_ / "out.txt";
};

TEST_F(SearchExports, WorkedExample) {
  WriteBytes(in_, "abc\r\nxyz abc abc\r\n");
  K(LineMode)(1);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "abc"), 2);
  EXPECT_EQ(ReadBytes(out_), "    1 abc\r\n    2 xyz abc abc\r\n");
  K(OutputMode)(0);
  K(FileRemove)(out_.c_str());
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "abc"), 2);
  EXPECT_EQ(ReadBytes(out_), "abc\r\nabc\r\nabc\r\n");
}

TEST_F(SearchExports, LinesOfEveryShape) {
  std::string input = std::string(10000, 'a') + "\n";         // cut in three
  input += std::string(4095, 'b') + "\n";                     // cut, then an empty line
  input += std::string("nul\0inside\n", 11);                  // ends at the NUL
  input += "crlf\r\n";
  input += "last without lf";
  WriteBytes(in_, input);
  K(LineMode)(1);
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), out_.c_str(), "aaaa\nbbbb\nnul\ncrlf\nwithout\ninside"),
            7);
  const std::string expected = "    1 " + std::string(4095, 'a') + "\n    2 " +
                               std::string(4095, 'a') + "\n    3 " + std::string(1810, 'a') +
                               "\n    4 " + std::string(4095, 'b') +
                               "\n    6 nul\n    7 crlf\r\n    8 last without lf\n";
  EXPECT_EQ(ReadBytes(out_), expected);
}

TEST_F(SearchExports, ResultBuffer) {
  WriteBytes(in_, "alpha\nbeta\ngamma\n");
  const char* r = K(xIncMult)(in_.c_str(), "eta\r\nmm");
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r, "beta\ngamma\n");
  K(OutputMode)(0);
  EXPECT_STREQ(K(xMatchsMult)(in_.c_str(), "a&a"), "alpha\r\namma\r\n");
  EXPECT_EQ(K(xMatchsMult)((dir_ / "missing.txt").c_str(), "a"), nullptr);
  EXPECT_STREQ(r, "alpha\r\namma\r\n");  // the last result stays
  EXPECT_EQ(K(xMatchsMult)(in_.c_str(), ""), nullptr);
  EXPECT_STREQ(r, "");
  WriteBytes(dir_ / "empty.txt", "");
  EXPECT_STREQ(K(xIncMult)((dir_ / "empty.txt").c_str(), "a"), "");
}

TEST_F(SearchExports, ResultBufferOverflow) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += "hit line\n";
  WriteBytes(in_, big);
  const char* r = K(xIncMult)(in_.c_str(), "hit");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::strlen(r), 32766u);
  EXPECT_EQ(std::string(r, 32766), big.substr(0, 32766));
}

TEST_F(SearchExports, CountsAndFailures) {
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "line\n";
  WriteBytes(in_, ten);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "x\ny\nz"), 30);
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), out_.c_str(), "x\ny\nz"), 0);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "line\ny\nz"), 10);
  EXPECT_EQ(K(FileLinexMatchsMult)((dir_ / "missing").c_str(), out_.c_str(), "a"), 0);
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), (dir_ / "no\\out.txt").c_str(), "a"), 0);
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), (dir_ / "new.txt").c_str(), ""), 0);
  EXPECT_TRUE(Exists(dir_ / "new.txt"));
}

// Mended: with an empty message queue the conjunctive file search returns at once.
TEST_F(SearchExports, ConjunctiveFileSearchNeverWaitsForAMessage) {
  WriteBytes(in_, "ab\nba\n");
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  const DWORD start = GetTickCount();
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), out_.c_str(), "a&b"), 2);
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(ReadBytes(out_), "ab\n");
}

// Mended: a conjunctive entry without terms does not make the search loop for ever.
TEST_F(SearchExports, TermlessEntriesEnd) {
  WriteBytes(in_, "some line\nanother\n");
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), out_.c_str(), "&\n\x1A\n\x81!"), 6);
  EXPECT_STREQ(K(xMatchsMult)(in_.c_str(), "&&\nline"), "some line\n");
}

}  // namespace
}  // namespace kensaku_test

namespace kensaku_test {
namespace {

// The output named as the input: only what the input held at the start is searched.
TEST_F(SearchExports, OutputThatIsTheInputIsNotReadBack) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "abc line " + std::to_string(100000 + i) + " of it\n";
  WriteBytes(in_, big);
  K(LineMode)(1);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), in_.c_str(), "^abc"), 20000);
  EXPECT_EQ(ReadBytes(in_).size(), 2 * big.size() + 20000 * 6);
  WriteBytes(in_, "abc\nxyz\nabc\n");
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), in_.c_str(), "abc"), 2);
  EXPECT_EQ(ReadBytes(in_), "abc\nxyz\nabc\n    1 abc\n    3 abc\n");
}

// An output the host holds open for writing meanwhile, its own bytes written first: the hits
// go after them, and a second search's after the first's.
TEST_F(SearchExports, OutputTheHostHoldsOpenIsAppendedTo) {
  WriteBytes(in_, "abc\nxyz\nabc\n");
  const HANDLE held = CreateFileA(out_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  EXPECT_TRUE(WriteFile(held, "host\n", 5, &put, nullptr));
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), out_.c_str(), "abc"), 2);
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), out_.c_str(), "xyz"), 1);
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(out_), "host\nabc\nabc\nxyz\n");
}

// Wine maps the Linux root as Z:, so Z:\dev\full is a device that takes no byte.
TEST_F(SearchExports, OutputLostAtTheEndCountsForNothing) {
  const char* full = "Z:\\dev\\full";
  WriteBytes(in_, "abc\nxyz\nabc\n");
  K(OutputMode)(0);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), full, "abc"), 0);
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), full, "a&c"), 0);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), full, "q"), 3);  // nothing to write
}

}  // namespace
}  // namespace kensaku_test
