// Faults met by kensaku.dll: devices and folders where files should be, an input past 4 GiB on
// a 32-bit process, lines and lists at their limits, every 16-bit setting, every null pointer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dll_host.h"
#include "win_files.h"

namespace kensaku_test {
namespace {

// A whole line as LineMode writes it: the number right-aligned in five columns, a blank.
std::string Numbered(int number, const std::string& line) {
  std::string n = std::to_string(number);
  if (n.size() < 5) n.insert(0, 5 - n.size(), ' ');
  return n + " " + line + "\n";
}

class DllFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    K(xSet)(0);
    K(OutputMode)(1);
    K(LineMode)(0);
  }
  void TearDown() override {
    K(xSet)(0);
    K(OutputMode)(0);
    K(LineMode)(0);
  }
  WinTempDir dir_;
  const std::string in_ = dir_ / "in.txt";
  const std::string out_ = dir_ / "out.txt";
};

// Wine maps the Linux root as Z:, so Z:\dev\full is a device that takes no byte.
TEST_F(DllFaults, OutputOnAFullDevice) {
  const char* full = "Z:\\dev\\full";
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "hit\n";
  WriteBytes(in_, many);
  const int count = K(FileLinexIncMult)(in_.c_str(), full, "hit");
  EXPECT_GT(count, 0);
  EXPECT_LT(count, 100000);
  WriteBytes(in_, "abc\nxyz\n");
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), full, "xyz"), 0);
  EXPECT_EQ(K(FoutputStr)(full, "x"), 0);
  EXPECT_EQ(K(FoutputFormatStr)(full, "%d", 1), 0);
}

TEST_F(DllFaults, FoldersAndMissingFolders) {
  WriteBytes(in_, "abc\n");
  const std::string folder = dir_ / "folder";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string nowhere = dir_ / "missing\\out.txt";
  for (auto search : {K(FileLinexIncMult), K(FileLinexMatchMult), K(FileLinexMatchsMult)}) {
    EXPECT_EQ(search(in_.c_str(), folder.c_str(), "abc"), 0);
    EXPECT_EQ(search(in_.c_str(), nowhere.c_str(), "abc"), 0);
    EXPECT_EQ(search(folder.c_str(), out_.c_str(), "abc"), 0);
    EXPECT_EQ(search(nowhere.c_str(), out_.c_str(), "abc"), 0);
  }
  EXPECT_FALSE(Exists(out_));
  EXPECT_FALSE(Exists(dir_ / "missing"));
  EXPECT_STREQ(K(xIncMult)(in_.c_str(), "abc"), "abc\n");
  EXPECT_EQ(K(xIncMult)(folder.c_str(), "abc"), nullptr);
  EXPECT_EQ(K(xMatchsMult)(folder.c_str(), "abc"), nullptr);
  EXPECT_EQ(K(xIncMult)(nowhere.c_str(), "abc"), nullptr);
  EXPECT_EQ(K(FileNoSize)(folder.c_str()), 0);
  EXPECT_EQ(K(FoutputStr)(folder.c_str(), "x"), 0);
  EXPECT_EQ(K(FoutputFormatStr)(nowhere.c_str(), "%d", 1), 0);
  EXPECT_EQ(K(FileRemove)(folder.c_str()), -1);
  EXPECT_EQ(K(FileRemove)(nowhere.c_str()), -1);
  EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(K(QFileView)(folder.c_str()), 0);
}

// Hits are written whole line by whole line into a pipe that the test reads; once the first hit
// has come, the input is changed through a handle of the test's own. The pipe holds only so
// much, so the search cannot have read far by then: what it finds after that is fixed.
class DllInputChanged : public DllFaults {
 protected:
  // Lines "line NNNNNNN xxx...\n" of 100 bytes, every one a hit.
  static std::string Lines(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
      std::string line = "line " + std::to_string(1000000 + i) + " ";
      line.resize(99, 'x');
      text += line + "\n";
    }
    return text;
  }

  struct Reader {
    HANDLE pipe;
    std::string in;
    bool (*change)(const std::string& in);
    bool changed = false;
    std::string text;
  };

  static DWORD WINAPI Read(void* context) {
    Reader& r = *static_cast<Reader*>(context);
    if (!ConnectNamedPipe(r.pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return 1;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(r.pipe, block, sizeof block, &got, nullptr) && got > 0) {
      r.text.append(block, got);
      if (!r.changed) r.changed = r.change(r.in);
    }
    return 0;
  }

  // Searches in_ into a pipe; `change` runs once the first bytes came out. Returns the count.
  int SearchAndChange(bool (*change)(const std::string& in)) {
    static int serial = 0;
    const std::string name = "\\\\.\\pipe\\kensaku-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++serial);
    reader_.pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                    1, 4096, 4096, 0, nullptr);
    EXPECT_NE(reader_.pipe, INVALID_HANDLE_VALUE);
    if (reader_.pipe == INVALID_HANDLE_VALUE) return -1;
    reader_.in = in_;
    reader_.change = change;
    HANDLE thread = CreateThread(nullptr, 0, Read, &reader_, 0, nullptr);
    const int count = K(FileLinexIncMult)(in_.c_str(), name.c_str(), "line");
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    CloseHandle(reader_.pipe);
    return count;
  }

  Reader reader_;
};

TEST_F(DllInputChanged, InputTruncated) {
  const std::string text = Lines(100000);  // 10 MB
  WriteBytes(in_, text);
  // Cut to 20,000 lines and half of the next: the half line is the last line.
  const int count = SearchAndChange([](const std::string& in) {
    HANDLE h = CreateFileA(in.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = 2000050;
    const bool ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                    SetEndOfFile(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
  });
  EXPECT_TRUE(reader_.changed);
  EXPECT_EQ(count, 20001);
  EXPECT_EQ(reader_.text, text.substr(0, 2000050) + "\n");
}

// The search holds its input open without leave to delete it: the deletion is refused and the
// search reads on to the end.
TEST_F(DllInputChanged, InputRemoved) {
  const std::string text = Lines(20000);
  WriteBytes(in_, text);
  const int count = SearchAndChange([](const std::string& in) {
    return !DeleteFileA(in.c_str()) && GetLastError() == ERROR_SHARING_VIOLATION;
  });
  EXPECT_TRUE(reader_.changed);
  EXPECT_EQ(count, 20000);
  EXPECT_EQ(reader_.text, text);
}

// Past 2 and 4 GiB in a 32-bit process: a sparse file of 3 GiB whose last line is the only hit.
TEST_F(DllFaults, SparseInputOfThreeGibibytes) {
  const std::uint64_t size = 3ull << 30;
  const std::string last = "\nneedle\n";
  // Wine extends the file with ftruncate, so it stays sparse on the Linux side; room for all of
  // it is asked for all the same, in case it does not.
  ULARGE_INTEGER free_bytes;
  if (!GetDiskFreeSpaceExA(dir_.path().c_str(), &free_bytes, nullptr, nullptr) ||
      free_bytes.QuadPart < size + (1ull << 30)) {
    GTEST_SKIP() << "less than 4 GiB free";
  }
  {
    HANDLE h = CreateFileA(in_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size - last.size());
    DWORD written = 0;
    const bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h) &&
                    WriteFile(h, last.data(), static_cast<DWORD>(last.size()), &written,
                              nullptr) &&
                    written == last.size();
    CloseHandle(h);
    ASSERT_TRUE(ok);
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(in_.c_str(), GetFileExInfoStandard, &data));
  ASSERT_EQ((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, size);
  // The NUL bytes are one long line without LF, read in pieces of 4095 bytes.
  const int needle_line = static_cast<int>((size - last.size()) / 4095 + 2);
  K(LineMode)(1);
  // One test on each line: the count is the number of lines.
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "needle"), needle_line);
  EXPECT_EQ(ReadBytes(out_), Numbered(needle_line, "needle"));
}

TEST_F(DllFaults, TenMegabyteLine) {
  const std::size_t n = 10u << 20;
  std::string text(n, 'a');
  text.replace(n - 3, 3, "end");
  WriteBytes(in_, "first\n" + text + "\nafter\n");
  K(LineMode)(1);
  const int pieces = static_cast<int>(n / 4095) + 1;
  // Two entries on every line, but the hit on the last piece ends that line's entries.
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), "end\nafter"), 2 * (pieces + 2) - 1);
  EXPECT_EQ(ReadBytes(out_),
            Numbered(pieces + 1, text.substr(n - n % 4095)) + Numbered(pieces + 2, "after"));
}

TEST_F(DllFaults, SixtyAndSixtyOnePatterns) {
  std::string sixty;
  for (int i = 1; i <= 59; ++i) sixty.append("p").append(std::to_string(i)).append("q\r\n");
  const std::string with60 = sixty + "hit";
  const std::string with61 = sixty + "p60q\r\nhit";
  EXPECT_EQ(K(LinexMatchMult)("a hit", with60.c_str()), 1);
  EXPECT_EQ(K(LinexMatchMult)("a hit", with61.c_str()), 0);
  EXPECT_EQ(K(LinexMatchsMult)("a hit", with60.c_str()), 1);
  EXPECT_EQ(K(LinexMatchsMult)("a hit", with61.c_str()), 0);
  EXPECT_EQ(K(LinexIncMult)("a hit", with60.c_str()), 3);
  EXPECT_EQ(K(LinexIncMult)("a hit", with61.c_str()), 0);
  WriteBytes(in_, "a hit\nnone\n");
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), with60.c_str()), 120);
  EXPECT_EQ(K(FileLinexMatchMult)(in_.c_str(), out_.c_str(), with61.c_str()), 120);
  EXPECT_EQ(K(FileLinexIncMult)(in_.c_str(), out_.c_str(), with61.c_str()), 0);
  EXPECT_EQ(ReadBytes(out_), "a hit\n");
  EXPECT_STREQ(K(xIncMult)(in_.c_str(), with61.c_str()), "");
}

TEST_F(DllFaults, ListTextsAtTheByteStringLimit) {
  std::string fits(32766, 'a');
  fits.replace(0, 4, "hit\n");
  std::string too_long(32768, 'a');
  too_long.replace(0, 4, "hit\n");
  WriteBytes(in_, "a hit\n");
  EXPECT_EQ(K(LinexMatchMult)("hit", fits.c_str()), 1);
  EXPECT_EQ(K(LinexMatchMult)("hit", too_long.c_str()), 0);
  EXPECT_EQ(K(LinexIncMult)("hit", fits.c_str()), 1);
  EXPECT_EQ(K(LinexIncMult)("hit", too_long.c_str()), 0);
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), out_.c_str(), fits.c_str()), 1);
  EXPECT_EQ(K(FileLinexMatchsMult)(in_.c_str(), out_.c_str(), too_long.c_str()), 0);
  EXPECT_STREQ(K(xMatchsMult)(in_.c_str(), fits.c_str()), "a hit\n");
  EXPECT_EQ(K(xMatchsMult)(in_.c_str(), too_long.c_str()), nullptr);
  EXPECT_EQ(ReadBytes(out_), "a hit\n");
}

// Every value of the low half, whatever the high half of the slot holds.
TEST(DllSettings, EveryValueOfTheSixteenBits) {
  const auto set = K(xSet);
  const auto reset = K(xReSet);
  const auto output_mode = K(OutputMode);
  const auto line_mode = K(LineMode);
  const auto inc = K(LinexInc);
  const auto bytes_of = K(xisbytes);
  const char* text = "\x83\x41\x82\xa0 abc \xb1\x82\x60 1\x82\x4f";  // ア あ abc ｱ Ａ 1０
  for (int v = 0; v <= 0xFFFF; ++v) {
    const int stored = static_cast<std::int16_t>(v);
    ASSERT_EQ(set(v | 0x5A5A0000), stored) << v;
    ASSERT_EQ(reset(0), stored) << v;
    ASSERT_EQ(output_mode(v), stored) << v;
    ASSERT_EQ(line_mode(v - 0x10000), stored) << v;
    ASSERT_EQ(inc(text, text), 1) << v;
    const int bytes = bytes_of(text);
    ASSERT_TRUE(bytes == 1 || bytes == 2) << v;
  }
  EXPECT_EQ(set(0), 0);
  EXPECT_EQ(output_mode(0), 0);
  EXPECT_EQ(line_mode(0), 0);
}

// Null wherever a text is taken (the windows and message boxes have tests of their own).
TEST_F(DllFaults, EveryNullPointer) {
  EXPECT_EQ(K(sjis)(nullptr), 0xFFFF);
  EXPECT_EQ(K(jis)(nullptr), 0);
  EXPECT_EQ(K(isbytes)(nullptr), 1);
  EXPECT_EQ(K(xsjis)(nullptr), 0xFFFF);
  EXPECT_EQ(K(xisbytes)(nullptr), 1);
  for (auto test : {K(LinexHeadinc), K(LinexInc), K(LinexIncMult), K(LinexHeadMatch),
                    K(LinexMatch), K(LinexMatchMult), K(LinexMatchs), K(LinexMatchsMult)}) {
    EXPECT_EQ(test(nullptr, "a"), 0);
    EXPECT_EQ(test("a", nullptr), 0);
    EXPECT_EQ(test(nullptr, nullptr), 0);
  }
  WriteBytes(in_, "abc\n");
  for (auto search : {K(FileLinexIncMult), K(FileLinexMatchMult), K(FileLinexMatchsMult)}) {
    EXPECT_EQ(search(nullptr, out_.c_str(), "abc"), 0);
    EXPECT_FALSE(Exists(out_));
    EXPECT_EQ(search(in_.c_str(), nullptr, "abc"), 0);
    EXPECT_EQ(search(in_.c_str(), out_.c_str(), nullptr), 0);
    EXPECT_EQ(ReadBytes(out_), "");
    EXPECT_TRUE(Exists(out_));  // created, nothing appended
    DeleteFileA(out_.c_str());
    EXPECT_EQ(search(nullptr, nullptr, nullptr), 0);
  }
  ASSERT_STREQ(K(xIncMult)(in_.c_str(), "abc"), "abc\n");
  EXPECT_EQ(K(xIncMult)(nullptr, "abc"), nullptr);
  EXPECT_STREQ(K(xMatchsMult)(in_.c_str(), "b"), "abc\n");
  EXPECT_EQ(K(xIncMult)(in_.c_str(), nullptr), nullptr);
  EXPECT_EQ(K(xMatchsMult)(nullptr, nullptr), nullptr);
  EXPECT_EQ(K(FileNoSize)(nullptr), 0);
  EXPECT_EQ(K(FileRemove)(nullptr), 0);
  EXPECT_EQ(K(FoutputStr)(nullptr, "x"), 0);
  EXPECT_EQ(K(FoutputStr)(out_.c_str(), nullptr), 1);
  EXPECT_EQ(K(FoutputFormatStr)(nullptr, "%d", 1), 0);
  const int with_null_format = K(FoutputFormatStr)(out_.c_str(), nullptr, 1);
  EXPECT_TRUE(with_null_format == 0 || with_null_format == 1);
  EXPECT_EQ(ReadBytes(out_), "");
  EXPECT_EQ(K(QFileView)(nullptr), 0);
}

}  // namespace
}  // namespace kensaku_test
