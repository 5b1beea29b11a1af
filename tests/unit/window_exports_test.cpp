// Without a window system the window exports behave as on a system that refuses every window.
#include <gtest/gtest.h>

#include <string>

#include "kensaku.h"
#include "temp_dir.h"

namespace {

TEST(WindowExports, ViewersAreRefused) {
  EXPECT_EQ(QView("title", "text"), 0);
  EXPECT_EQ(QView(nullptr, nullptr), 0);
  EXPECT_EQ(QViewNextIsOpen(), 1);
  EXPECT_EQ(QSelectionWinClose(), 0);
  EXPECT_EQ(QSelectionProc(nullptr, 0x10, 0, 0), 0);
  EXPECT_EQ(QViewWinsProc(nullptr, 0x111, 157, 0), 0);
}

TEST(WindowExports, FileViewerReadsButCannotShow) {
  kensaku::TempDir dir;
  const std::string file = dir / "f.txt";
  kensaku::WriteFile(file, "text\n");
  EXPECT_EQ(QFileView(file.c_str()), 0);
  EXPECT_EQ(QFileView((dir / "missing.txt").c_str()), 0);
  EXPECT_EQ(QFileView(nullptr), 0);
}

TEST(WindowExports, NoSearchBoxEverExists) {
  EXPECT_EQ(QInputMain(), nullptr);
  EXPECT_EQ(QInputSub(1), nullptr);
  EXPECT_EQ(QFindData("f", "p", 1, 0x100), 0);
  EXPECT_EQ(QFileName("f"), 0);
  EXPECT_EQ(QFindStart(), nullptr);
  EXPECT_EQ(QInputBoxIcon(), 0);
  EXPECT_EQ(QInputBoxClose(), 0);
}

}  // namespace
