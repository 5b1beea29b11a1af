// Faults met through the C interface: devices and folders where files should be, inputs that
// change while they are read, sizes past 32 bits, lines and lists at their limits, every 16-bit
// setting and every null pointer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "kensaku.h"
#include "temp_dir.h"

namespace {

using kensaku::ReadFile;
using kensaku::WriteFile;

// A whole line as LineMode writes it: the number right-aligned in five columns, a blank.
std::string Numbered(int number, const std::string& line) {
  std::string n = std::to_string(number);
  if (n.size() < 5) n.insert(0, 5 - n.size(), ' ');
  return n + " " + line + "\n";
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    xSet(0);
    OutputMode(1);
    LineMode(0);
  }
  void TearDown() override {
    xSet(0);
    OutputMode(0);
    LineMode(0);
  }
  kensaku::TempDir dir_;
  const std::string in_ = dir_ / "in.txt";
  const std::string out_ = dir_ / "out.txt";
};

// A device that takes no byte: hits written on the way stop the scan; a last one lost at the
// close counts for nothing, and a search without hits loses nothing.
TEST_F(Faults, OutputOnAFullDevice) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "hit\n";
  WriteFile(in_, many);
  const int count = FileLinexIncMult(in_.c_str(), "/dev/full", "hit");
  EXPECT_GT(count, 0);
  EXPECT_LT(count, 100000);
  // A whole line is flushed as it is found: the failure stops the scan after the hit it counts.
  WriteFile(in_, "abc\nxyz\n");
  EXPECT_EQ(FileLinexIncMult(in_.c_str(), "/dev/full", "abc"), 1);
  EXPECT_EQ(FileLinexIncMult(in_.c_str(), "/dev/full", "xyz"), 0);
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), "/dev/full", "q"), 2);
  EXPECT_EQ(FoutputStr("/dev/full", "x"), 0);
  EXPECT_EQ(FoutputFormatStr("/dev/full", "%d", 1), 0);
}

// Folders where files are named: nothing is read, nothing written, and the folder stays.
TEST_F(Faults, FoldersAndMissingFolders) {
  WriteFile(in_, "abc\n");
  const std::string folder = dir_ / "folder";
  std::filesystem::create_directory(folder);
  const std::string nowhere = dir_ / "missing/out.txt";
  for (auto search : {FileLinexIncMult, FileLinexMatchMult, FileLinexMatchsMult}) {
    EXPECT_EQ(search(in_.c_str(), folder.c_str(), "abc"), 0);
    EXPECT_EQ(search(in_.c_str(), nowhere.c_str(), "abc"), 0);
    EXPECT_EQ(search(folder.c_str(), out_.c_str(), "abc"), 0);
    EXPECT_EQ(search(nowhere.c_str(), out_.c_str(), "abc"), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(out_));  // an input that fails leaves the output alone
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
  EXPECT_STREQ(xIncMult(in_.c_str(), "abc"), "abc\n");
  EXPECT_EQ(xIncMult(folder.c_str(), "abc"), nullptr);
  EXPECT_EQ(xMatchsMult(folder.c_str(), "abc"), nullptr);
  EXPECT_EQ(xIncMult(nowhere.c_str(), "abc"), nullptr);
  EXPECT_EQ(FileNoSize(folder.c_str()), 0);
  EXPECT_EQ(FileNoSize(nowhere.c_str()), 0);
  EXPECT_EQ(FoutputStr(folder.c_str(), "x"), 0);
  EXPECT_EQ(FoutputFormatStr(nowhere.c_str(), "%d", 1), 0);
  EXPECT_EQ(FileRemove(folder.c_str()), -1);
  EXPECT_EQ(FileRemove(nowhere.c_str()), -1);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(QFileView(folder.c_str()), 0);
}

// Hits are written whole line by whole line into a pipe that the test reads; once the first hit
// has come, the input is changed. The pipe holds only so much, so the search cannot have read
// far by then: what it finds after that is fixed.
class ChangedWhileRead : public Faults {
 protected:
  // Lines "line NNNNNNN ...\n" of 100 bytes, every one a hit.
  static std::string Lines(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
      std::string line = "line " + std::to_string(1000000 + i) + " ";
      line.resize(99, 'x');
      text += line + "\n";
    }
    return text;
  }

  // Searches in_ into a pipe; `change` runs once the first bytes came out. Returns the count
  // and leaves the output in out_text_.
  template <typename Change>
  int SearchAndChange(Change change) {
    const std::string pipe = dir_ / "pipe";
    EXPECT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread reader([&] {
      const int fd = open(pipe.c_str(), O_RDONLY);
      if (fd < 0) return;
      char block[4096];
      bool changed = false;
      for (;;) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got <= 0) break;
        out_text_.append(block, static_cast<std::size_t>(got));
        if (!changed) {
          change();
          changed = true;
        }
      }
      close(fd);
    });
    const int count = FileLinexIncMult(in_.c_str(), pipe.c_str(), "line");
    reader.join();
    return count;
  }

  std::string out_text_;
};

TEST_F(ChangedWhileRead, InputTruncated) {
  const int lines = 100000;  // 10 MB
  const std::string text = Lines(lines);
  WriteFile(in_, text);
  // Cut to 20,000 lines and half of the next: the half line is the last line.
  const int count = SearchAndChange([&] { ASSERT_EQ(truncate(in_.c_str(), 2000050), 0); });
  EXPECT_EQ(count, 20001);
  EXPECT_EQ(out_text_, text.substr(0, 2000050) + "\n");
}

TEST_F(ChangedWhileRead, InputRemoved) {
  const std::string text = Lines(50000);
  WriteFile(in_, text);
  // An open file that loses its name is still read to its end.
  const int count = SearchAndChange([&] { ASSERT_EQ(unlink(in_.c_str()), 0); });
  EXPECT_EQ(count, 50000);
  EXPECT_EQ(out_text_, text);
  EXPECT_FALSE(std::filesystem::exists(in_));
}

// Past 2 and 4 GiB: a sparse file of 3 GiB, its last line the only hit. Line numbers and counts
// are 32-bit and still fit; what must not break is the position in the file.
TEST_F(Faults, SparseInputOfThreeGibibytes) {
  const std::uint64_t size = 3ull << 30;
  const std::string last = "\nneedle\n";
  {
    const int fd = open(in_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const bool ok = ftruncate(fd, static_cast<off_t>(size - last.size())) == 0 &&
                    lseek(fd, 0, SEEK_END) >= 0 &&
                    write(fd, last.data(), last.size()) == static_cast<ssize_t>(last.size());
    close(fd);
    ASSERT_TRUE(ok);
  }
  struct stat st;
  ASSERT_EQ(stat(in_.c_str(), &st), 0);
  ASSERT_EQ(static_cast<std::uint64_t>(st.st_size), size);
  if (static_cast<std::uint64_t>(st.st_blocks) * 512 > (64u << 20)) {
    GTEST_SKIP() << "the file system does not keep the file sparse";
  }
  // The NUL bytes are one long line without LF, read in pieces of 4095 bytes.
  const std::uint64_t zeros = size - last.size();
  const int needle_line = static_cast<int>(zeros / 4095 + 2);
  LineMode(1);
  // One test on each line: the count is the number of lines.
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), "needle"), needle_line);
  EXPECT_EQ(ReadFile(out_), Numbered(needle_line, "needle"));
}

// A line of 10 MB is read in pieces of 4095 bytes, each a line of its own, numbered on.
TEST_F(Faults, TenMegabyteLine) {
  const std::size_t n = 10u << 20;
  std::string text(n, 'a');
  text.replace(n - 3, 3, "end");
  WriteFile(in_, "first\n" + text + "\nafter\n");
  LineMode(1);
  const int pieces = static_cast<int>(n / 4095) + 1;
  // Two entries on every line, but the hit on the last piece ends that line's entries.
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), "end\nafter"), 2 * (pieces + 2) - 1);
  const std::string tail = text.substr(n - n % 4095);
  EXPECT_EQ(ReadFile(out_), Numbered(pieces + 1, tail) + Numbered(pieces + 2, "after"));
}

// A list holds 60 entries: the 61st line is never tried.
TEST_F(Faults, SixtyAndSixtyOnePatterns) {
  std::string sixty;
  for (int i = 1; i <= 59; ++i) sixty.append("p").append(std::to_string(i)).append("q\n");
  const std::string with60 = sixty + "hit\n";
  const std::string with61 = sixty + "p60q\nhit\n";
  EXPECT_EQ(LinexMatchMult("a hit", with60.c_str()), 1);
  EXPECT_EQ(LinexMatchMult("a hit", with61.c_str()), 0);
  EXPECT_EQ(LinexMatchsMult("a hit", with60.c_str()), 1);
  EXPECT_EQ(LinexMatchsMult("a hit", with61.c_str()), 0);
  EXPECT_EQ(LinexIncMult("a hit", with60.c_str()), 3);
  EXPECT_EQ(LinexIncMult("a hit", with61.c_str()), 0);
  WriteFile(in_, "a hit\nnone\n");
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), with60.c_str()), 120);
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), with61.c_str()), 120);
  EXPECT_EQ(FileLinexIncMult(in_.c_str(), out_.c_str(), with60.c_str()), 1);
  EXPECT_EQ(FileLinexIncMult(in_.c_str(), out_.c_str(), with61.c_str()), 0);
  EXPECT_EQ(ReadFile(out_), "a hit\na hit\n");
  EXPECT_STREQ(xIncMult(in_.c_str(), with61.c_str()), "");
}

// A list text is copied into a byte string of at most 32,766 bytes: one longer is no list.
TEST_F(Faults, ListTextsAtTheByteStringLimit) {
  std::string fits(32766, 'a');
  fits.replace(0, 4, "hit\n");
  std::string too_long(32768, 'a');
  too_long.replace(0, 4, "hit\n");
  WriteFile(in_, "a hit\n");
  EXPECT_EQ(LinexMatchMult("hit", fits.c_str()), 1);
  EXPECT_EQ(LinexMatchMult("hit", too_long.c_str()), 0);
  EXPECT_EQ(LinexMatchsMult("hit", fits.c_str()), 1);
  EXPECT_EQ(LinexMatchsMult("hit", too_long.c_str()), 0);
  EXPECT_EQ(LinexIncMult("hit", fits.c_str()), 1);
  EXPECT_EQ(LinexIncMult("hit", too_long.c_str()), 0);
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), fits.c_str()), 1);
  EXPECT_EQ(FileLinexMatchMult(in_.c_str(), out_.c_str(), too_long.c_str()), 0);
  EXPECT_STREQ(xIncMult(in_.c_str(), fits.c_str()), "a hit\n");
  EXPECT_EQ(xIncMult(in_.c_str(), too_long.c_str()), nullptr);
  EXPECT_STREQ(xMatchsMult(in_.c_str(), fits.c_str()), "a hit\n");
  EXPECT_EQ(xMatchsMult(in_.c_str(), too_long.c_str()), nullptr);
  EXPECT_EQ(ReadFile(out_), "a hit\n");
}

// Every 16-bit value is stored sign-extended, whatever the high half of the slot holds, and any
// set of fold flags folds a text and itself alike.
TEST(Settings, EveryValueOfTheSixteenBits) {
  const char* text = "\x83\x41\x82\xa0 abc \xb1\x82\x60 1\x82\x4f";  // ア あ abc ｱ Ａ 1０
  for (int v = 0; v <= 0xFFFF; ++v) {
    const int stored = static_cast<std::int16_t>(v);
    ASSERT_EQ(xSet(v | 0x5A5A0000), stored) << v;
    ASSERT_EQ(xReSet(0), stored) << v;
    ASSERT_EQ(OutputMode(v), stored) << v;
    ASSERT_EQ(LineMode(v - 0x10000), stored) << v;
    ASSERT_EQ(LinexInc(text, text), 1) << v;
    const int bytes = xisbytes(text);
    ASSERT_TRUE(bytes == 1 || bytes == 2) << v;
  }
  EXPECT_EQ(xSet(0), 0);
  EXPECT_EQ(xSetor(0xFFFF), -1);
  EXPECT_EQ(xReSet(0x7FFF), static_cast<std::int16_t>(0x8000));
  OutputMode(0);
  LineMode(0);
  xSet(0);
}

// Null wherever a text is taken: nothing crashes, and each export answers as for a missing file
// or an empty text.
TEST_F(Faults, EveryNullPointer) {
  EXPECT_EQ(sjis(nullptr), 0xFFFF);  // no character
  EXPECT_EQ(jis(nullptr), 0);
  EXPECT_EQ(isbytes(nullptr), 1);
  EXPECT_EQ(xsjis(nullptr), 0xFFFF);
  EXPECT_EQ(xisbytes(nullptr), 1);
  for (auto test : {LinexHeadinc, LinexInc, LinexIncMult, LinexHeadMatch, LinexMatch,
                    LinexMatchMult, LinexMatchs, LinexMatchsMult}) {
    EXPECT_EQ(test(nullptr, "a"), 0);
    EXPECT_EQ(test("a", nullptr), 0);
    EXPECT_EQ(test(nullptr, nullptr), 0);
  }
  WriteFile(in_, "abc\n");
  for (auto search : {FileLinexIncMult, FileLinexMatchMult, FileLinexMatchsMult}) {
    EXPECT_EQ(search(nullptr, out_.c_str(), "abc"), 0);
    EXPECT_FALSE(std::filesystem::exists(out_));
    EXPECT_EQ(search(in_.c_str(), nullptr, "abc"), 0);
    EXPECT_EQ(search(in_.c_str(), out_.c_str(), nullptr), 0);
    EXPECT_EQ(ReadFile(out_), "");  // created, nothing appended
    std::filesystem::remove(out_);
    EXPECT_EQ(search(nullptr, nullptr, nullptr), 0);
  }
  ASSERT_STREQ(xIncMult(in_.c_str(), "abc"), "abc\n");
  EXPECT_EQ(xIncMult(nullptr, "abc"), nullptr);
  EXPECT_STREQ(xMatchsMult(in_.c_str(), "b"), "abc\n");  // the last result stays
  EXPECT_EQ(xIncMult(in_.c_str(), nullptr), nullptr);
  EXPECT_EQ(xMatchsMult(nullptr, nullptr), nullptr);
  EXPECT_EQ(xMatchsMult(in_.c_str(), nullptr), nullptr);
  EXPECT_EQ(FileNoSize(nullptr), 0);
  EXPECT_EQ(FileRemove(nullptr), 0);
  EXPECT_EQ(FoutputStr(nullptr, "x"), 0);
  EXPECT_EQ(FoutputStr(out_.c_str(), nullptr), 1);
  EXPECT_EQ(FoutputFormatStr(nullptr, "%d", 1), 0);
  const int with_null_format = FoutputFormatStr(out_.c_str(), nullptr, 1);
  EXPECT_TRUE(with_null_format == 0 || with_null_format == 1);
  EXPECT_EQ(ReadFile(out_), "");
  EXPECT_EQ(QFileView(nullptr), 0);
  EXPECT_EQ(QView(nullptr, nullptr), 0);
  EXPECT_EQ(QFindData(nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(QFileName(nullptr), 0);
  EXPECT_EQ(OpenShell(nullptr, nullptr), 2);  // an empty program is not found
  EXPECT_EQ(Msg(nullptr), 1);                 // an empty message, on standard error here
}

}  // namespace
