#include "util/launch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "temp_dir.h"
#include "util/messages.h"

namespace kensaku {
namespace {

bool AppearsWithin(const std::string& path, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(Launch, CommandLineIsProgramBlankArguments) {
  EXPECT_STREQ(CommandLine("notepad", "a.txt").text(), "notepad a.txt");
  EXPECT_STREQ(CommandLine("notepad", "").text(), "notepad ");
  EXPECT_STREQ(CommandLine("notepad", nullptr).text(), "notepad ");
  EXPECT_STREQ(CommandLine("", "x").text(), " x");
  EXPECT_STREQ(CommandLine(nullptr, nullptr).text(), " ");
  const std::string too_long(kMaxByteString, 'a');
  EXPECT_STREQ(CommandLine("prog", too_long.c_str()).text(), "prog");
}

TEST(Launch, StartsARealProgramWithoutAShell) {
  TempDir dir;
  const std::string target = dir / "made by touch";
  EXPECT_EQ(OpenShellCommand("touch", ("\"" + target + "\"").c_str()), kLaunchStarted);
  EXPECT_TRUE(AppearsWithin(target, std::chrono::seconds(10)));
  // Shell syntax reaches the program as plain text.
  const std::string marker = dir / "injected";
  EXPECT_EQ(OpenShellCommand("true", ("; touch " + marker).c_str()), kLaunchStarted);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(Launch, ProgramsThatCannotStart) {
  EXPECT_EQ(OpenShellCommand("/no/such/program", "x"), kLaunchFileNotFound);
  EXPECT_EQ(OpenShellCommand("", ""), kLaunchFileNotFound);
  EXPECT_EQ(OpenShellCommand(nullptr, nullptr), kLaunchFileNotFound);
  // A program text too long to hold never lets its first argument be started instead.
  const std::string too_long(kMaxByteString + 1, 'a');
  EXPECT_EQ(OpenShellCommand(too_long.c_str(), "true"), kLaunchFileNotFound);
}

TEST(Messages, TextsGoToStandardError) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ShowInteger(255), 1);
  EXPECT_EQ(ShowInteger(-1), 1);
  EXPECT_EQ(ShowText(nullptr), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "\x90\xAE\x90\x94\x83\x65\x83\x58\x83\x67\ninteger =255  =ff \n"
            "\x90\xAE\x90\x94\x83\x65\x83\x58\x83\x67\ninteger =-1  =ffffffff \n"
            "str @ =0 \n\n");
  const char text[] = "hello";
  char expected[64];
  std::snprintf(expected, sizeof expected, "str @ =%llx \nhello\n",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(text)));
  ::testing::internal::CaptureStderr();
  ShowText(text);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), expected);
}

}  // namespace
}  // namespace kensaku
