// File utilities, program launch and message boxes of kensaku.dll, on the real system calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "dll_host.h"
#include "win_files.h"

namespace kensaku_test {

// Set by main when this program is started as the program that OpenShell launches.
extern const char* g_self_path;

namespace {

TEST(FileExports, EmptyAppendRemove) {
  WinTempDir dir;
  const std::string f = dir / "f.txt";
  WriteBytes(f, "old");
  EXPECT_EQ(K(FileNoSize)(f.c_str()), 1);
  EXPECT_EQ(ReadBytes(f), "");
  EXPECT_EQ(K(FileNoSize)((dir / "no\\f.txt").c_str()), 0);
  EXPECT_EQ(K(FoutputStr)(f.c_str(), nullptr), 1);
  EXPECT_EQ(K(FoutputStr)(f.c_str(), "a"), 1);
  EXPECT_EQ(K(FoutputStr)(f.c_str(), "b\n"), 1);
  EXPECT_EQ(K(FoutputFormatStr)(f.c_str(), "%d", -5), 1);
  EXPECT_EQ(K(FoutputFormatStr)(f.c_str(), "", 1), 1);
  EXPECT_EQ(ReadBytes(f), "ab\n-5");  // binary: the LF stays one byte
  EXPECT_EQ(K(FoutputStr)((dir / "no\\f.txt").c_str(), "a"), 0);
  EXPECT_EQ(K(FileRemove)(f.c_str()), 0);
  EXPECT_FALSE(Exists(f));
  EXPECT_EQ(K(FileRemove)(f.c_str()), -1);
  EXPECT_EQ(K(FileRemove)(nullptr), 0);
}

// Our formatter against the system's wsprintfA on generated formats of the supported kinds.
TEST(FileExports, FormatterAgreesWithWsprintfA) {
  WinTempDir dir;
  std::mt19937 rng(1207);
  const char* flags[] = {"", "-", "0", "-0"};
  const char* types[] = {"d", "i", "u", "x", "X", "c", "ld", "lu", "lx", "lX"};
  const int values[] = {0, 1, -1, 7, -42, 255, 65, 0x7FFFFFFF, static_cast<int>(0x80000000),
                        123456789, -987654, 0xBEEF};
  for (int i = 0; i < 400; ++i) {
    std::string format = (rng() % 3 == 0) ? "x=" : "";
    format += "%";
    format += flags[rng() % 4];
    if (rng() % 2) format += std::to_string(rng() % 14);
    if (rng() % 3 == 0) format += "." + std::to_string(rng() % 12);
    format += types[rng() % 10];
    if (rng() % 3 == 0) format += " 100%% done";
    const int value = values[rng() % 12];
    if (i % 50 == 0) format = std::string(i % 100 == 0 ? "" : "pre") + "%" + flags[i % 4] +
                              std::to_string(1000 + i) + types[i % 10];  // past 1024 bytes
    char expected[1024];
    wsprintfA(expected, format.c_str(), value);
    const std::string f = dir / ("fmt" + std::to_string(i) + ".txt");
    ASSERT_EQ(K(FoutputFormatStr)(f.c_str(), format.c_str(), value), 1);
    EXPECT_EQ(ReadBytes(f), expected) << format << " with " << value;
    DeleteFileA(f.c_str());
  }
}

// A thread timer that runs inside the message box's own loop, reads the box and presses OK.
struct SeenBox {
  bool found = false;
  std::string caption, text;
  bool has_icon = false, has_ok = false, has_cancel = false;
};
SeenBox g_seen;

BOOL CALLBACK FindBox(HWND window, LPARAM result) {
  char cls[32];
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) == "#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK ReadAndDismiss(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;
  KillTimer(nullptr, timer);
  char buf[256];
  GetWindowTextA(box, buf, sizeof buf);
  g_seen.caption = buf;
  GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
  g_seen.text = buf;
  g_seen.has_icon = GetDlgItem(box, 0x14) != nullptr && IsWindowVisible(GetDlgItem(box, 0x14));
  g_seen.has_ok = GetDlgItem(box, IDOK) != nullptr;
  g_seen.has_cancel = GetDlgItem(box, IDCANCEL) != nullptr &&
                      IsWindowVisible(GetDlgItem(box, IDCANCEL));
  g_seen.found = true;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

SeenBox ShowAndRead(int (*show)()) {
  g_seen = SeenBox();
  SetTimer(nullptr, 0, 100, ReadAndDismiss);
  EXPECT_EQ(show(), IDOK);
  return g_seen;
}

TEST(MessageBoxes, IntegerBox) {
  const SeenBox box = ShowAndRead([] { return K(Msgi)(255); });
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.caption, "\x90\xAE\x90\x94\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(box.text, "integer =255  =ff ");
  EXPECT_FALSE(box.has_icon);
  EXPECT_TRUE(box.has_ok);
  EXPECT_FALSE(box.has_cancel);
  EXPECT_EQ(ShowAndRead([] { return K(Msgi)(-1); }).text, "integer =-1  =ffffffff ");
}

const char kShown[] = "\x8C\x9F\x8D\xF5 text";

TEST(MessageBoxes, TextBox) {
  const SeenBox box = ShowAndRead([] { return K(Msg)(kShown); });
  ASSERT_TRUE(box.found);
  // The text's whole address in hex: 8 digits at most in a 32-bit process, up to 16 in a 64-bit one.
  char caption[64];
  std::snprintf(caption, sizeof caption, "str @ =%llx ",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(kShown)));
  EXPECT_EQ(box.caption, caption);
  EXPECT_EQ(box.text, kShown);
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(ShowAndRead([] { return K(Msg)(nullptr); }).caption, "str @ =0 ");
}

TEST(Launch, OpenShellStartsARealProgram) {
  WinTempDir dir;
  const std::string marker = dir / "started.txt";
  const std::string arguments = "--touch " + marker;
  const int result = K(OpenShell)(g_self_path, arguments.c_str());
  EXPECT_GT(result, 31);
  bool appeared = false;
  for (int i = 0; i < 300 && !appeared; ++i) {
    appeared = Exists(marker);
    if (!appeared) Sleep(100);
  }
  EXPECT_TRUE(appeared);
  EXPECT_LE(K(OpenShell)("C:\\no\\such\\program.exe", ""), 31);
}

}  // namespace
}  // namespace kensaku_test
