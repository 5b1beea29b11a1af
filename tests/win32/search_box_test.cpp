// The search box of kensaku.dll and the exports that drive it, with real USER32 calls: the
// template, what QFindData sets in the box and the settings, searches started by the host and by
// the box's own buttons, minimising and closing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "dll_host.h"
#include "ui_host.h"
#include "win_files.h"

namespace kensaku_test {
namespace {

constexpr int kFile = 101, kPatterns = 102, kWhole = 104, kCut = 105, kCase = 107, kWidth = 108,
              kNormal = 109, kRegex = 110, kClose = 201, kStart = 202;

// One row of the template: id, class, text (Shift_JIS), style, x, y, cx, cy.
struct Row {
  int id;
  const char* cls;
  const char* text;
  DWORD style;
  short x, y, cx, cy;
};

TEST(SearchBoxTemplate, FourteenControlsInTabOrder) {
  const DialogTemplate t = ParseDialog(1);
  EXPECT_EQ(t.style, 0x80CA0040u);
  EXPECT_EQ(t.ex_style, 0u);
  EXPECT_EQ(t.x, 18);
  EXPECT_EQ(t.y, 41);
  EXPECT_EQ(t.cx, 269);
  EXPECT_EQ(t.cy, 111);
  EXPECT_EQ(t.menu, 0);
  EXPECT_STRCASEEQ(t.class_name.c_str(), "QInputBox");  // stored in capitals, matched without case
  EXPECT_EQ(t.caption, kBoxCaption);
  EXPECT_EQ(t.point_size, 9);
  EXPECT_EQ(t.face, "\x82\x6C\x82\x72 \x96\xBE\x92\xA9");  // ＭＳ 明朝
  const Row rows[] = {
      {-1, "STATIC", "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC", 0x50020000, 10, 2, 80, 10},
      {101, "EDIT", "", 0x50810080, 5, 15, 200, 15},
      {-1, "STATIC", "\x8C\x9F\x8D\xF5\x8C\xEA\x8B\xE5", 0x50020000, 10, 35, 84, 10},
      {102, "EDIT", "", 0x50B110C4, 5, 45, 110, 60},
      {106, "BUTTON", "\x8C\x9F\x8D\xF5\x8C\x60\x8E\xAE", 0x50020007, 122, 35, 83, 70},
      {107, "BUTTON", "ABC/abc\x82\xCC\x8B\xE6\x95\xCA", 0x50010003, 125, 48, 69, 12},
      {108, "BUTTON", "\x82\xA0\x83\x43\x82\x50\xB1\xB2" "1\x82\xCC\x8B\xE6\x95\xCA", 0x50010003,
       125, 62, 75, 12},
      {109, "BUTTON", "\x92\xCA\x8F\xED\x8C\x9F\x8D\xF5", 0x50000009, 125, 75, 61, 11},
      {110, "BUTTON", "\x90\xB3\x8B\x4B\x95\x5C\x8C\xBB\x8C\x9F\x8D\xF5", 0x50000009, 125, 89, 61,
       11},
      {103, "BUTTON", "\x8F\x6F\x97\xCD\x8C\x60\x8E\xAE", 0x50020027, 210, 35, 55, 45},
      {104, "BUTTON", "\x98\x5F\x97\x9D\x8D\x73", 0x50010009, 215, 50, 40, 10},
      {105, "BUTTON", "\x90\xD8\x82\xE8\x8F\x6F\x82\xB5", 0x50010009, 215, 65, 42, 12},
      {201, "BUTTON", "Close", 0x50010000, 210, 5, 50, 14},
      {202, "BUTTON", "\x8C\x9F\x8D\xF5\x8A\x4A\x8E\x6E", 0x50010000, 210, 85, 50, 14},
  };
  ASSERT_EQ(t.items.size(), 14u);
  for (std::size_t i = 0; i < 14; ++i) {
    const DialogItem& got = t.items[i];
    const Row& want = rows[i];
    EXPECT_EQ(got.id, want.id) << i;
    EXPECT_EQ(got.class_name, want.cls) << i;
    EXPECT_EQ(got.text, want.text) << i;
    EXPECT_EQ(got.style, want.style) << i;
    EXPECT_EQ(got.ex_style, 0u) << i;
    EXPECT_EQ(got.x, want.x) << i;
    EXPECT_EQ(got.y, want.y) << i;
    EXPECT_EQ(got.cx, want.cx) << i;
    EXPECT_EQ(got.cy, want.cy) << i;
  }
}

class SearchBox : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseLibraryWindows();
    K(xSet)(0);
    K(OutputMode)(0);
    K(LineMode)(0);
    file_ = dir_ / "in.txt";
    WriteBytes(file_, "alpha beta\ngamma a.c\nBETA delta abc\n");
  }
  void TearDown() override {
    CloseLibraryWindows();
    K(xSet)(0);
    K(OutputMode)(0);
  }
  HWND OpenHidden() {
    HWND box = reinterpret_cast<HWND>(K(QInputSub)(0));
    EXPECT_NE(box, nullptr);
    return box;
  }

  WinTempDir dir_;
  std::string file_;
};

TEST_F(SearchBox, NoBoxRefusesEverything) {
  EXPECT_EQ(K(QFindData)(file_.c_str(), "beta", 1, 0x100), 0);
  EXPECT_EQ(K(QFileName)(file_.c_str()), 0);
  EXPECT_EQ(K(QFindStart)(), nullptr);
  EXPECT_EQ(K(QInputBoxIcon)(), 0);
  EXPECT_EQ(K(QInputBoxClose)(), 0);
  // The refused QFindData left the block alone: a box applying it now shows the old one.
  HWND box = OpenHidden();
  ASSERT_EQ(K(QFindData)("old.txt", "old", 1, 0x100), 1);
  K(QInputBoxClose)();
  EXPECT_EQ(K(QFindData)("new.txt", "new", 1, 0x100), 0);
  box = OpenHidden();
  EXPECT_EQ(ItemText(box, kFile), "");  // a new box starts with cleared controls
  SendMessageA(box, WM_COMMAND, 301, 0);
  EXPECT_EQ(ItemText(box, kFile), "old.txt");
  EXPECT_EQ(ItemText(box, kPatterns), "old");
}

TEST_F(SearchBox, NewBoxIsClearedAndShowsItsIcon) {
  HWND box = reinterpret_cast<HWND>(K(QInputSub)(1));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(FindBox(), box);
  EXPECT_TRUE(IsWindowVisible(box));
  EXPECT_EQ(WindowText(box), kBoxCaption);
  EXPECT_EQ(StyleOf(box, DS_3DLOOK | WS_VISIBLE), 0x80CA0040u);
  for (int id : {kCase, kWidth, kNormal, kRegex, kWhole, kCut}) EXPECT_FALSE(Checked(box, id)) << id;
  EXPECT_EQ(ItemText(box, kFile), "");
  EXPECT_EQ(ItemText(box, kPatterns), "");
  EXPECT_TRUE(Enabled(box, kCut));
  char cls[32];
  GetClassNameA(box, cls, sizeof cls);
  EXPECT_STREQ(cls, "QInputBox");
  EXPECT_NE(GetClassLongPtrA(box, GCLP_HICON), 0u);
  // Re-opening finds the same box.
  EXPECT_EQ(reinterpret_cast<HWND>(K(QInputMain)()), box);
}

TEST_F(SearchBox, NormalSearchBlock) {
  HWND box = OpenHidden();
  ASSERT_EQ(K(QFindData)(file_.c_str(), "beta", 0, 0x108), 1);
  EXPECT_FALSE(Checked(box, kCase));
  EXPECT_TRUE(Checked(box, kWidth));
  EXPECT_TRUE(Checked(box, kNormal));
  EXPECT_FALSE(Checked(box, kRegex));
  EXPECT_TRUE(Checked(box, kWhole));
  EXPECT_FALSE(Checked(box, kCut));
  EXPECT_FALSE(Enabled(box, kCut));
  EXPECT_EQ(CurrentOutputMode(), 1);
  EXPECT_EQ(CurrentFoldFlags(), 0x108);
  EXPECT_EQ(ItemText(box, kFile), file_);
  EXPECT_EQ(ItemText(box, kPatterns), "beta");
  // A pattern-search block after it enables the cut-out button again.
  ASSERT_EQ(K(QFindData)(file_.c_str(), "b", 0, 0x300), 1);
  EXPECT_TRUE(Checked(box, kRegex));
  EXPECT_FALSE(Checked(box, kNormal));
  EXPECT_TRUE(Enabled(box, kCut));
  EXPECT_TRUE(Checked(box, kCut));
  EXPECT_EQ(CurrentOutputMode(), 0);
}

TEST_F(SearchBox, FlagsZeroMeansPatternSearch) {
  HWND box = OpenHidden();
  K(xSet)(0x7F);
  ASSERT_EQ(K(QFindData)(nullptr, nullptr, 0, 0), 1);
  EXPECT_TRUE(Checked(box, kCase));
  EXPECT_TRUE(Checked(box, kWidth));
  EXPECT_TRUE(Checked(box, kRegex));
  EXPECT_FALSE(Checked(box, kNormal));
  EXPECT_TRUE(Checked(box, kCut));
  EXPECT_TRUE(Enabled(box, kCut));
  EXPECT_EQ(CurrentFoldFlags(), 0);
  EXPECT_EQ(ItemText(box, kFile), "");  // a null name empties the field
  EXPECT_EQ(ItemText(box, kPatterns), "");
}

TEST_F(SearchBox, LongTextsAreCutInTheBlock) {
  HWND box = OpenHidden();
  const std::string patterns(3000, 'p');
  ASSERT_EQ(K(QFindData)(file_.c_str(), patterns.c_str(), 1, 0x100), 1);
  EXPECT_EQ(ItemText(box, kPatterns), patterns.substr(0, 2047));
  const std::string six_hundred(600, 'q');
  ASSERT_EQ(K(QFindData)(six_hundred.c_str(), six_hundred.c_str(), 1, 0x100), 1);
  EXPECT_EQ(ItemText(box, kPatterns), six_hundred);
  EXPECT_EQ(ItemText(box, kFile), six_hundred.substr(0, 511));
}

TEST_F(SearchBox, FileNameAlone) {
  HWND box = OpenHidden();
  ASSERT_EQ(K(QFindData)("first.txt", "beta", 1, 0x100), 1);
  SendDlgItemMessageA(box, kPatterns, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
  EXPECT_EQ(K(QFileName)(""), 0);
  EXPECT_EQ(K(QFileName)(nullptr), 0);
  EXPECT_EQ(ItemText(box, kFile), "first.txt");
  EXPECT_EQ(K(QFileName)("second.txt"), 1);
  EXPECT_EQ(ItemText(box, kFile), "second.txt");
  EXPECT_EQ(ItemText(box, kPatterns), "typed");
  EXPECT_TRUE(Checked(box, kNormal));
}

TEST_F(SearchBox, HiddenBoxSearchesIntoAViewer) {
  HWND box = OpenHidden();
  ASSERT_EQ(K(QFindData)(file_.c_str(), "beta\r\nabc", 1, 0x108), 1);
  EXPECT_EQ(reinterpret_cast<HWND>(K(QFindStart)()), box);
  HWND viewer = FindViewer(file_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ItemText(viewer, 111), "alpha beta\nBETA delta abc\n");
  EXPECT_FALSE(IsWindowVisible(box));
  EXPECT_TRUE(Enabled(box, kClose));
}

TEST_F(SearchBox, PatternSearchOutputButtons) {
  HWND box = OpenHidden();
  // "a.c" in the pattern language: any character between a and c.
  ASSERT_EQ(K(QFindData)(file_.c_str(), "a.c", 1, 0x200), 1);
  K(QFindStart)();
  HWND viewer = FindViewer(file_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ItemText(viewer, 111), "gamma a.c\nBETA delta abc\n");
  K(QSelectionWinClose)();
  // Neither output button selected: the matched parts only.
  SendDlgItemMessageA(box, kWhole, BM_SETCHECK, BST_UNCHECKED, 0);
  SendDlgItemMessageA(box, kCut, BM_SETCHECK, BST_UNCHECKED, 0);
  K(QFindStart)();
  viewer = FindViewer(file_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ItemText(viewer, 111), "a.c\r\nabc\r\n");
  EXPECT_EQ(CurrentOutputMode(), 0);
}

TEST_F(SearchBox, SilentFailures) {
  MessageBoxReader boxes;
  HWND box = OpenHidden();
  ASSERT_EQ(K(QFindData)(file_.c_str(), "", 1, 0x100), 1);
  EXPECT_EQ(reinterpret_cast<HWND>(K(QFindStart)()), box);  // empty pattern field
  ASSERT_EQ(K(QFindData)(file_.c_str(), "zzz", 1, 0x100), 1);
  K(QFindStart)();  // no hit
  ASSERT_EQ(K(QFindData)(file_.c_str(), "\r\n", 1, 0x100), 1);
  K(QFindStart)();  // line breaks only
  ASSERT_EQ(K(QFindData)((dir_ / "missing.txt").c_str(), "beta", 1, 0x100), 1);
  K(QFindStart)();
  EXPECT_EQ(FindList(), nullptr);
  EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(SearchBox, HitsRefusedByAFullListShowTheBox) {
  MessageBoxReader boxes;
  for (int i = 0; i < 22; ++i) ASSERT_EQ(K(QView)("full", "t"), 1);
  OpenHidden();
  ASSERT_EQ(K(QFindData)(file_.c_str(), "beta", 1, 0x100), 1);
  EXPECT_EQ(reinterpret_cast<HWND>(K(QFindStart)()), FindBox());
  ASSERT_EQ(boxes.seen().size(), 1u);
  EXPECT_EQ(boxes.seen()[0].caption, "");
  EXPECT_TRUE(boxes.seen()[0].error_icon);
  EXPECT_EQ(FindViewer(file_), nullptr);
  EXPECT_EQ(ListCount(FindList()), 22);
}

TEST_F(SearchBox, TicksAndRadioButtonsByClicks) {
  HWND box = reinterpret_cast<HWND>(K(QInputSub)(1));
  ASSERT_EQ(K(QFindData)(file_.c_str(), "beta", 1, 0x100), 1);
  ASSERT_TRUE(Checked(box, kCase));
  SendDlgItemMessageA(box, kCase, BM_CLICK, 0, 0);  // untick: case is ignored from now on
  EXPECT_FALSE(Checked(box, kCase));
  EXPECT_EQ(CurrentFoldFlags(), 0x108);
  SendDlgItemMessageA(box, kCase, BM_CLICK, 0, 0);
  EXPECT_EQ(CurrentFoldFlags(), 0x100);
  SendDlgItemMessageA(box, kWidth, BM_CLICK, 0, 0);
  EXPECT_EQ(CurrentFoldFlags(), 0x120);
  SendDlgItemMessageA(box, kRegex, BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(box, kRegex));
  EXPECT_TRUE(Enabled(box, kCut));
  SendDlgItemMessageA(box, kCut, BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(box, kCut));
  SendDlgItemMessageA(box, kNormal, BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(box, kNormal));
  EXPECT_TRUE(Checked(box, kWhole));
  EXPECT_FALSE(Checked(box, kCut));
  EXPECT_FALSE(Enabled(box, kCut));
  // Unticked case with the normal search: BETA is found too.
  SendDlgItemMessageA(box, kCase, BM_CLICK, 0, 0);
  SendDlgItemMessageA(box, kStart, BM_CLICK, 0, 0);
  HWND viewer = FindViewer(file_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ItemText(viewer, 111), "alpha beta\nBETA delta abc\n");
}

TEST_F(SearchBox, MinimiseRestoreAndClose) {
  HWND box = reinterpret_cast<HWND>(K(QInputSub)(1));
  EXPECT_NE(K(QInputBoxIcon)(), 0);
  EXPECT_TRUE(IsIconic(box));
  // QInputMain on the box QInputSub made: restored, the same box, and closing it still posts no
  // quit message.
  EXPECT_EQ(reinterpret_cast<HWND>(K(QInputMain)()), box);
  EXPECT_FALSE(IsIconic(box));
  EXPECT_EQ(K(QInputBoxClose)(), 1);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_FALSE(DrainMessages());
}

TEST_F(SearchBox, CloseButtonAndColours) {
  HWND box = reinterpret_cast<HWND>(K(QInputSub)(1));
  HDC dc = CreateCompatibleDC(nullptr);
  for (UINT m : {WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
    SetBkColor(dc, RGB(4, 5, 6));
    EXPECT_EQ(SendMessageA(box, m, reinterpret_cast<WPARAM>(dc), 0),
              reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH)));
    EXPECT_EQ(GetBkColor(dc), RGB(176, 176, 176));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  }
  DeleteDC(dc);
  // IDOK and IDCANCEL do nothing; the Close button closes.
  SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(IsWindow(box));
  SendDlgItemMessageA(box, kClose, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(FindBox(), nullptr);
}

TEST(SearchBoxExports, NoArgumentExportsKeepTheStack) {
  for (const char* name : {"QInputMain", "QFindStart", "QInputBoxIcon", "QInputBoxClose",
                           "QViewNextIsOpen", "QSelectionWinClose", "QInputBoxClose"}) {
    EXPECT_EQ(StackDeltaOfCall(ProcByName(name), 0), 0) << name;
  }
  EXPECT_EQ(FindBox(), nullptr);
  DrainMessages();  // the quit message of the box QInputMain made
}

TEST(SearchBoxExports, EveryOrdinalOneToFortyThree) {
  std::vector<bool> seen(44, false);
  for (const DefEntry& e : DefEntries()) seen[e.ordinal] = true;
  for (int ordinal = 1; ordinal <= 43; ++ordinal) {
    EXPECT_TRUE(seen[ordinal]) << ordinal;
    EXPECT_NE(ProcByOrdinal(ordinal), nullptr) << ordinal;
  }
  EXPECT_EQ(DefEntries().size(), 43u);
  // Past 43: nothing in kensaku.dll; in kensaku64.dll the reentrant interface, each name at the
  // ordinal it resolves to, and nothing else.
  std::set<std::string> beyond;
  for (const auto& [ordinal, name] : ExportedNames()) {
    if (ordinal <= 43) continue;
    beyond.insert(name);
    EXPECT_EQ(GetProcAddress(Dll(), name.c_str()), ProcByOrdinal(ordinal)) << name;
  }
  if (sizeof(void*) == 8) {
    EXPECT_EQ(beyond, ReentrantInterfaceNames());
  } else {
    EXPECT_TRUE(beyond.empty());
  }
  EXPECT_EQ(ExportedNames().size(), 43 + beyond.size());
  EXPECT_EQ(ProcByOrdinal(static_cast<int>(44 + beyond.size())), nullptr);
}

// These run in a process of their own (see CMakeLists.txt): the box's state as loaded.
TEST(FreshProcess, TypedSearchInANewBoxIsTheInclusionSearch) {
  WinTempDir dir;
  const std::string file = dir / "typed.txt";
  WriteBytes(file, "x a.c y\nabc\n");
  HWND box = reinterpret_cast<HWND>(K(QInputMain)());
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(IsWindowVisible(box));
  auto type = [&](int id, const std::string& text) {
    HWND field = GetDlgItem(box, id);
    SetFocus(field);
    for (unsigned char c : text) SendMessageA(field, WM_CHAR, c, 1);
  };
  type(kFile, file);
  type(kPatterns, "a.c");
  SendDlgItemMessageA(box, kStart, BM_CLICK, 0, 0);
  HWND viewer = FindViewer(file);
  ASSERT_NE(viewer, nullptr);
  // Literal: "abc" is no hit, as it would be for the pattern a.c.
  EXPECT_EQ(ItemText(viewer, 111), "x a.c y\n");
  // The box QInputMain made ends the host's message loop when it goes.
  EXPECT_EQ(K(QInputBoxClose)(), 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
  K(QSelectionWinClose)();
}

}  // namespace
}  // namespace kensaku_test
