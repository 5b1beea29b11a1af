// The viewer list and the viewer boxes of kensaku.dll, driven with real USER32 calls: classes,
// templates and menus, the entries, the 22-viewer limit, the list's commands, the viewers' menus,
// and the file viewer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dll_host.h"
#include "ui_host.h"
#include "win_files.h"

namespace kensaku_test {
namespace {

// Shift_JIS texts of the windows.
const char kArrange[] = "\x90\xAE\x97\xF1";                               // 整列
const char kMincho[] = "\x95\x57\x8F\x80\x96\xBE\x92\xA9";                // 標準明朝
const char kTooMany[] =
    "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xCC\x90\x94\x82\xAA\x91\xBD\x82\xB7\x82\xAC"
    "\x82\xDC\x82\xB7\x81\x42";                                           // ウィンドウの数が多すぎます。
const char kOutOfMemory[] = "\x83\x81\x83\x82\x83\x8A\x95\x73\x91\xAB\x82\xC5\x82\xB7\x81\x42";
const char kError[] = "\x83\x47\x83\x89\x81\x5B";                         // エラー

class Viewers : public ::testing::Test {
 protected:
  void SetUp() override { CloseLibraryWindows(); }
  void TearDown() override { CloseLibraryWindows(); }

  // Opens a viewer and returns it.
  HWND Open(const std::string& title, const char* text = "text") {
    EXPECT_EQ(K(QView)(title.c_str(), text), 1);
    HWND v = FindViewer(title);
    EXPECT_NE(v, nullptr) << title;
    return v;
  }
};

// ---- classes, templates, menus

TEST(WindowClasses, MembersAndIcons) {
  struct Row {
    const char* name;
    bool icon;
  } rows[] = {{"QInputBox", true}, {"QViewBox", true}, {"QSelectWin", false}};
  for (const Row& row : rows) {
    WNDCLASSA c = {};
    ASSERT_TRUE(GetClassInfoA(Dll(), row.name, &c)) << row.name;
    EXPECT_EQ(c.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW)) << row.name;
    EXPECT_EQ(c.cbClsExtra, 0) << row.name;
    EXPECT_EQ(c.cbWndExtra, DLGWINDOWEXTRA) << row.name;
    EXPECT_EQ(c.hCursor, LoadCursorA(nullptr, IDC_ARROW)) << row.name;
    EXPECT_EQ(c.hbrBackground, GetStockObject(WHITE_BRUSH)) << row.name;
    EXPECT_EQ(c.lpszMenuName, nullptr) << row.name;
    EXPECT_NE(c.lpfnWndProc, nullptr) << row.name;
    EXPECT_EQ(c.hIcon != nullptr, row.icon) << row.name;
    if (c.hIcon != nullptr) {
      ICONINFO info = {};
      ASSERT_TRUE(GetIconInfo(c.hIcon, &info));
      BITMAP bm = {};
      GetObjectA(info.hbmMask, sizeof bm, &bm);
      EXPECT_EQ(bm.bmWidth, 32) << row.name;
      DeleteObject(info.hbmMask);
      if (info.hbmColor) DeleteObject(info.hbmColor);
    }
  }
}

// The icon groups: entries of (width, height, colours, image id).
TEST(WindowClasses, IconResourcesAreSixteenColours) {
  struct Entry {
    int size, colours, id;
  };
  auto group = [](int id) {
    std::vector<Entry> v;
    const std::string g = Resource(id, MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    if (g.size() < 6) return v;
    const int count = static_cast<unsigned char>(g[4]) | static_cast<unsigned char>(g[5]) << 8;
    for (int i = 0; i < count; ++i) {
      const unsigned char* e = reinterpret_cast<const unsigned char*>(g.data()) + 6 + 14 * i;
      v.push_back({e[0], e[2], e[12] | e[13] << 8});
    }
    return v;
  };
  const auto one = group(1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size, 32);
  EXPECT_EQ(one[0].colours, 16);
  EXPECT_EQ(one[0].id, 1);
  const auto two = group(2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].size, 16);
  EXPECT_EQ(two[0].id, 2);
  EXPECT_EQ(two[1].size, 32);
  EXPECT_EQ(two[1].id, 3);
  for (int image = 1; image <= 3; ++image) {
    const std::string bits = Resource(image, MAKEINTRESOURCEA(3));  // RT_ICON
    ASSERT_GE(bits.size(), 40u) << image;
    EXPECT_EQ(bits[14], 4) << "bits per pixel of image " << image;
  }
}

TEST(Templates, ViewerListAndViewerBox) {
  const DialogTemplate list = ParseDialog(2);
  EXPECT_EQ(list.style, 0x10CC0040u);
  EXPECT_EQ(list.ex_style, 0u);
  EXPECT_EQ(list.x, 23);
  EXPECT_EQ(list.y, 13);
  EXPECT_EQ(list.cx, 153);
  EXPECT_EQ(list.cy, 120);
  EXPECT_EQ(list.menu, 2);
  // The resource compiler stores class names in capitals; classes are matched without case.
  EXPECT_STRCASEEQ(list.class_name.c_str(), "QSelectWin");
  EXPECT_EQ(list.caption, "#Select Windows");
  EXPECT_EQ(list.point_size, 10);
  EXPECT_EQ(list.face, kMincho);
  ASSERT_EQ(list.items.size(), 1u);
  const DialogItem& lb = list.items[0];
  EXPECT_EQ(lb.id, 101);
  EXPECT_EQ(lb.class_name, "LISTBOX");
  EXPECT_EQ(lb.style, 0x50300103u);
  EXPECT_EQ(lb.x, 0);
  EXPECT_EQ(lb.y, 0);
  EXPECT_EQ(lb.cx, 153);
  EXPECT_EQ(lb.cy, 120);

  const DialogTemplate viewer = ParseDialog(3);
  EXPECT_EQ(viewer.style, 0x10CF0040u);
  EXPECT_EQ(viewer.ex_style, 0u);
  EXPECT_EQ(viewer.x, 26);
  EXPECT_EQ(viewer.y, 26);
  EXPECT_EQ(viewer.cx, 240);
  EXPECT_EQ(viewer.cy, 125);
  EXPECT_EQ(viewer.menu, 3);
  EXPECT_STRCASEEQ(viewer.class_name.c_str(), "QViewBox");
  EXPECT_EQ(viewer.caption, "");
  EXPECT_EQ(viewer.point_size, 10);
  EXPECT_EQ(viewer.face, kMincho);
  ASSERT_EQ(viewer.items.size(), 1u);
  const DialogItem& edit = viewer.items[0];
  EXPECT_EQ(edit.id, 111);
  EXPECT_EQ(edit.class_name, "EDIT");
  EXPECT_EQ(edit.style, 0x50311004u);
  EXPECT_EQ(edit.x, 0);
  EXPECT_EQ(edit.y, 2);
  EXPECT_EQ(edit.cx, 240);
  EXPECT_EQ(edit.cy, 123);
}

struct Item {
  int id;  // 0 for a separator, -1 for a pop-up
  std::string text;
};

std::vector<Item> MenuItems(HMENU menu) {
  std::vector<Item> v;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    char text[128] = {};
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    const int id = (info.fType & MFT_SEPARATOR) ? 0 : info.hSubMenu ? -1 : info.wID;
    v.push_back({id, text});
  }
  return v;
}

void ExpectItems(HMENU menu, const std::vector<Item>& want) {
  const std::vector<Item> got = MenuItems(menu);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << i;
    EXPECT_EQ(got[i].text, want[i].text) << i;
  }
}

TEST_F(Viewers, MenusOfBothWindows) {
  HWND viewer = Open("menus");
  HWND list = FindList();
  ASSERT_NE(list, nullptr);
  ExpectItems(GetMenu(list), {{-1, "Windows"}});
  ExpectItems(GetSubMenu(GetMenu(list), 0), {{155, kArrange},
                                            {0, ""},
                                            {156, "TView Win All Icons"},
                                            {0, ""},
                                            {157, "TView Win All Close"}});
  // 編集(^^E^_ｳ) and its items, each with two mnemonics and a shortcut label.
  ExpectItems(GetMenu(viewer), {{-1, "Windows"}, {-1, "\x95\xD2\x8F\x57(\x1E" "E\x1F\xB3)"}});
  ExpectItems(GetSubMenu(GetMenu(viewer), 0), {{155, kArrange}, {0, ""}, {157, "Close(&Q)"}});
  ExpectItems(GetSubMenu(GetMenu(viewer), 1),
              {{24321, "\x8E\xE6\x82\xE8\x8F\xC1\x82\xB7(\x1EU\x1F\xC4)\tCtrl+Z"},
               {24322, "\x90\xD8\x82\xE8\x8E\xE6\x82\xE8(\x1E" "C\x1F\xB7)\tCtrl+X"},
               {24323, "\xBA\xCB\xDF\xB0(\x1E" "C\x1F\xBA)\tCtrl+C"},
               {24324, "\x93\x5C\x82\xE8\x95\x74\x82\xAF(\x1EP\x1F\xCA)\tCtrl+V"}});
}

// ---- opening viewers

TEST_F(Viewers, FirstViewerOpensTheList) {
  EXPECT_EQ(K(QViewNextIsOpen)(), 1);
  EXPECT_EQ(K(QSelectionWinClose)(), 0);
  HWND viewer = Open("a.txt", "line 1\nline 2\r\n\x8C\x9F\x8D\xF5");
  HWND list = FindList();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(IsWindowVisible(list));
  EXPECT_EQ(StyleOf(list, DS_3DLOOK), 0x10CC0040u);  // the system adds DS_3DLOOK
  EXPECT_EQ(StyleOf(GetDlgItem(list, 101), WS_VSCROLL | WS_HSCROLL), 0x50000103u);
  EXPECT_EQ(StyleOf(viewer, DS_3DLOOK), 0x10CF0040u);
  EXPECT_EQ(StyleOf(GetDlgItem(viewer, 111), WS_VSCROLL | WS_HSCROLL), 0x50011004u);
  EXPECT_EQ(GetWindow(viewer, GW_OWNER), list);
  char cls[32];
  GetClassNameA(list, cls, sizeof cls);
  EXPECT_STREQ(cls, "QSelectWin");
  GetClassNameA(viewer, cls, sizeof cls);
  EXPECT_STREQ(cls, "QViewBox");
  EXPECT_EQ(WindowText(viewer), "a.txt");
  EXPECT_EQ(ItemText(viewer, 111), "line 1\nline 2\r\n\x8C\x9F\x8D\xF5");
  ASSERT_EQ(ListCount(list), 1);
  EXPECT_EQ(ListEntry(list, 0), EntryFor(viewer, "a.txt"));
  // The viewer shows the class icon of its own; the list none.
  EXPECT_NE(GetClassLongPtrA(viewer, GCLP_HICON), 0u);
  EXPECT_EQ(GetClassLongPtrA(list, GCLP_HICON), 0u);
}

// A host that compares or chains window procedures finds the exports themselves as the
// procedures of the viewer classes: in the class record, on a window of the class, and as the
// window's own procedure (the dialogs have no dialog procedure of their own).
TEST_F(Viewers, ClassProceduresAreTheExports) {
  HWND viewer = Open("procedures");
  HWND list = FindList();
  ASSERT_NE(list, nullptr);
  struct Row {
    const char* name;
    HWND window;
    const char* procedure;
  } rows[] = {{"QViewBox", viewer, "QViewWinsProc"}, {"QSelectWin", list, "QSelectionProc"}};
  for (const Row& row : rows) {
    const auto exported = reinterpret_cast<ULONG_PTR>(GetProcAddress(Dll(), row.procedure));
    ASSERT_NE(exported, 0u) << row.procedure;
    WNDCLASSA c = {};
    ASSERT_TRUE(GetClassInfoA(Dll(), row.name, &c)) << row.name;
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(c.lpfnWndProc), exported) << row.name;
    EXPECT_EQ(static_cast<ULONG_PTR>(GetClassLongPtrA(row.window, GCLP_WNDPROC)), exported)
        << row.name;
    EXPECT_EQ(static_cast<ULONG_PTR>(GetWindowLongPtrA(row.window, GWLP_WNDPROC)), exported)
        << row.name;
  }
}

TEST_F(Viewers, NullTitleAndText) {
  ASSERT_EQ(K(QView)(nullptr, nullptr), 1);
  HWND list = FindList();
  ASSERT_EQ(ListCount(list), 1);
  HWND viewer = ListedViewers(list)[0];
  ASSERT_TRUE(IsWindow(viewer));
  EXPECT_EQ(WindowText(viewer), "");
  EXPECT_EQ(ItemText(viewer, 111), "");
  EXPECT_EQ(ListEntry(list, 0), EntryFor(viewer, ""));
}

TEST_F(Viewers, LongTitleCutInTheEntryOnly) {
  // 600 bytes, the cut after 501 of them falls between two characters.
  std::string title = "a";
  for (int i = 0; i < 299; ++i) title += "\x8C\x9F";  // 検
  title += "b";
  ASSERT_EQ(K(QView)(title.c_str(), "t"), 1);
  HWND list = FindList();
  HWND viewer = ListedViewers(list)[0];
  EXPECT_EQ(WindowText(viewer), title);
  const std::string entry = ListEntry(list, 0);
  EXPECT_EQ(entry.size(), 511u);
  EXPECT_EQ(entry, EntryFor(viewer, title.substr(0, 501)));
}

TEST_F(Viewers, TwentyTwoAtMost) {
  MessageBoxReader boxes;
  for (int i = 0; i < 21; ++i) {
    char title[8];
    std::snprintf(title, sizeof title, "v%d", i);
    Open(title);
  }
  HWND list = FindList();
  EXPECT_EQ(ListCount(list), 21);
  EXPECT_EQ(K(QViewNextIsOpen)(), 1);
  Open("v21");
  EXPECT_EQ(ListCount(list), 22);
  EXPECT_EQ(K(QViewNextIsOpen)(), 0);
  EXPECT_TRUE(boxes.seen().empty());
  // The 23rd is refused with a box, and QView still answers 1.
  EXPECT_EQ(K(QView)("v22", "t"), 1);
  ASSERT_EQ(boxes.seen().size(), 1u);
  EXPECT_EQ(boxes.seen()[0].text, kTooMany);
  EXPECT_EQ(boxes.seen()[0].caption, "");
  EXPECT_TRUE(boxes.seen()[0].error_icon);
  EXPECT_EQ(FindViewer("v22"), nullptr);
  EXPECT_EQ(ListCount(list), 22);
  // The file viewer is refused the same way.
  WinTempDir dir;
  WriteBytes(dir / "f.txt", "x");
  EXPECT_EQ(K(QFileView)((dir / "f.txt").c_str()), 1);
  EXPECT_EQ(boxes.seen().size(), 2u);
  EXPECT_EQ(ListCount(list), 22);
}

// ---- closing

TEST_F(Viewers, ClosingTheOnlyViewerFromItsMenuClosesTheList) {
  HWND viewer = Open("only");
  HWND list = FindList();
  CommandLog log;
  SendMessageA(viewer, WM_COMMAND, 157, 0);
  EXPECT_FALSE(IsWindow(viewer));
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(FindList(), nullptr);
  const auto reports = log.To(list, WM_COMMAND);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].wparam, 401u);
  EXPECT_EQ(reports[0].lparam, reinterpret_cast<LPARAM>(viewer));
}

TEST_F(Viewers, SystemCloseReportsAndOtherClosesDoNot) {
  HWND a = Open("a");
  HWND b = Open("b");
  HWND c = Open("c");
  HWND list = FindList();
  SendMessageA(a, WM_SYSCOMMAND, SC_CLOSE, 0);  // the caption's close box
  EXPECT_FALSE(IsWindow(a));
  EXPECT_EQ(ListCount(list), 2);
  // A WM_CLOSE from elsewhere (wParam 0) leaves the entry behind...
  SendMessageA(b, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(b));
  EXPECT_EQ(ListCount(list), 2);
  // ...which still counts and takes a step of the cascade.
  SendMessageA(list, WM_COMMAND, 155, 0);
  const std::vector<HWND> listed = ListedViewers(list);
  const int c_step = listed[0] == c ? 0 : 1;
  EXPECT_EQ(Rect(c).left, 160 + 20 * c_step);
  // The exported procedure of the viewer class is the viewer's procedure.
  EXPECT_EQ(K(QViewWinsProc)(c, WM_COMMAND, 157, 0), 1);
  EXPECT_FALSE(IsWindow(c));
  EXPECT_EQ(ListCount(list), 1);
  EXPECT_EQ(K(QSelectionWinClose)(), 1);
  EXPECT_EQ(FindList(), nullptr);
}

TEST_F(Viewers, EntriesOfGoneViewersAreSkipped) {
  Open("g1");
  Open("g2");
  HWND list = FindList();
  const std::vector<HWND> v = ListedViewers(list);
  SendMessageA(v[0], WM_CLOSE, 0, 0);  // gone, its entry stays
  ASSERT_FALSE(IsWindow(v[0]));
  HWND list_box = GetDlgItem(list, 101);
  SendMessageA(list_box, LB_SETCURSEL, 0, 0);
  SendMessageA(list, WM_COMMAND, MAKEWPARAM(101, LBN_DBLCLK), reinterpret_cast<LPARAM>(list_box));
  // ...and then minimising all and closing all pass over the gone viewer's entry.
  SendMessageA(list, WM_COMMAND, 156, 0);
  EXPECT_TRUE(IsIconic(v[1]));
  EXPECT_EQ(ListCount(list), 2);
  CommandLog log;
  SendMessageA(list, WM_COMMAND, 157, 0);
  EXPECT_EQ(log.To(v[1], WM_CLOSE).size(), 1u);
  EXPECT_FALSE(IsWindow(list));
}

TEST_F(Viewers, CloseAllClosesEverythingWithoutReports) {
  HWND v[3] = {Open("x1"), Open("x2"), Open("x3")};
  HWND list = FindList();
  CommandLog log;
  SendMessageA(list, WM_COMMAND, 157, 0);  // "TView Win All Close"
  for (HWND w : v) EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(IsWindow(list));
  for (const SentMessage& m : log.To(list, WM_COMMAND)) EXPECT_NE(LOWORD(m.wparam), 401);
  for (HWND w : v) {
    const auto closes = log.To(w, WM_CLOSE);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].wparam, 0u);
  }
}

// ---- the list's commands

TEST_F(Viewers, ArrangeCascadesAllButMinimised) {
  Open("c1");
  Open("c2");
  Open("c3");
  HWND list = FindList();
  const std::vector<HWND> v = ListedViewers(list);
  ASSERT_EQ(v.size(), 3u);
  CloseWindow(v[1]);
  ASSERT_TRUE(IsIconic(v[1]));
  WINDOWPLACEMENT before = {};
  before.length = sizeof before;
  GetWindowPlacement(v[1], &before);
  // From a viewer's menu: the viewer asks the list to arrange.
  SendMessageA(v[2], WM_COMMAND, 155, 0);
  auto expect_rect = [](HWND w, int x, int y) {
    const RECT r = Rect(w);
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
    EXPECT_EQ(r.right - r.left, 350);
    EXPECT_EQ(r.bottom - r.top, 300);
  };
  expect_rect(list, 0, 0);
  expect_rect(v[0], 160, 0);
  expect_rect(v[2], 180, 20);
  EXPECT_TRUE(IsIconic(v[1]));
  WINDOWPLACEMENT after = {};
  after.length = sizeof after;
  GetWindowPlacement(v[1], &after);
  EXPECT_TRUE(EqualRect(&before.rcNormalPosition, &after.rcNormalPosition));
  // The list box fills the list's client area.
  RECT client, box;
  GetClientRect(list, &client);
  GetClientRect(GetDlgItem(list, 101), &box);
  RECT outer = Rect(GetDlgItem(list, 101));
  EXPECT_EQ(outer.right - outer.left, client.right);
  EXPECT_EQ(outer.bottom - outer.top, client.bottom);
  // The edit control fills a viewer's client area below a 2-pixel strip.
  GetClientRect(v[0], &client);
  HWND edit = GetDlgItem(v[0], 111);
  RECT er = Rect(edit);
  POINT top_left = {er.left, er.top};
  ScreenToClient(v[0], &top_left);
  EXPECT_EQ(top_left.x, 0);
  EXPECT_EQ(top_left.y, 2);
  EXPECT_EQ(er.right - er.left, client.right);
  EXPECT_EQ(er.bottom - er.top, client.bottom - 2);
}

TEST_F(Viewers, MinimiseAllAndDoubleClickRestores) {
  Open("m1");
  Open("m2");
  HWND list = FindList();
  EXPECT_EQ(K(QSelectionProc)(list, WM_COMMAND, 156, 0), 1);  // "TView Win All Icons"
  const std::vector<HWND> v = ListedViewers(list);
  for (HWND w : v) EXPECT_TRUE(IsIconic(w));
  HWND list_box = GetDlgItem(list, 101);
  // Nothing selected: a double-click does nothing.
  SendMessageA(list_box, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SendMessageA(list, WM_COMMAND, MAKEWPARAM(101, LBN_DBLCLK), reinterpret_cast<LPARAM>(list_box));
  for (HWND w : v) EXPECT_TRUE(IsIconic(w));
  // A double-click on the first entry, as the mouse gives it to the list box.
  RECT item = {};
  SendMessageA(list_box, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageA(list_box, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_box, WM_LBUTTONUP, 0, at);
  SendMessageA(list_box, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageA(list_box, WM_LBUTTONUP, 0, at);
  EXPECT_FALSE(IsIconic(v[0]));
  EXPECT_TRUE(IsIconic(v[1]));
  // On top of the other viewers.
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == v[0] || w == v[1]) {
      EXPECT_EQ(w, v[0]);
      break;
    }
  }
  // The list's system close (its caption's close box) closes everything.
  SendMessageA(list, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(list));
  for (HWND w : v) EXPECT_FALSE(IsWindow(w));
}

// ---- a viewer's edit menu and colours

std::string ClipboardText() {
  std::string s;
  if (!OpenClipboard(nullptr)) return "<no clipboard>";
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    s = static_cast<const char*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return s;
}

void SetClipboardText(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(g), text.c_str(), text.size() + 1);
  GlobalUnlock(g);
  SetClipboardData(CF_TEXT, g);
  CloseClipboard();
}

TEST_F(Viewers, EditMenuCopyPasteCutUndo) {
  HWND viewer = Open("edit", "abcdef");
  HWND edit = GetDlgItem(viewer, 111);
  SendMessageA(edit, EM_SETSEL, 1, 4);
  SendMessageA(viewer, WM_COMMAND, 24323, 0);  // Copy
  EXPECT_EQ(ClipboardText(), "bcd");
  SetClipboardText("XY");
  SendMessageA(edit, EM_SETSEL, 6, 6);
  SendMessageA(viewer, WM_COMMAND, 24324, 0);  // Paste
  EXPECT_EQ(ItemText(viewer, 111), "abcdefXY");
  SendMessageA(edit, EM_SETSEL, 0, 2);
  SendMessageA(viewer, WM_COMMAND, 24322, 0);  // Cut
  EXPECT_EQ(ItemText(viewer, 111), "cdefXY");
  EXPECT_EQ(ClipboardText(), "ab");
  SendMessageA(viewer, WM_COMMAND, 24321, 0);  // Undo
  EXPECT_EQ(ItemText(viewer, 111), "abcdefXY");
  // Typing changes the shown text too.
  SendMessageA(edit, EM_SETSEL, 0, 0);
  SendMessageA(edit, WM_CHAR, 'Q', 0);
  EXPECT_EQ(ItemText(viewer, 111), "QabcdefXY");
}

TEST_F(Viewers, OutOfSpaceBoxAndColours) {
  HWND viewer = Open("space");
  MessageBoxReader boxes;
  EXPECT_EQ(SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(111, EN_ERRSPACE),
                         reinterpret_cast<LPARAM>(GetDlgItem(viewer, 111))),
            1);
  ASSERT_EQ(boxes.seen().size(), 1u);
  EXPECT_EQ(boxes.seen()[0].text, kOutOfMemory);
  EXPECT_EQ(boxes.seen()[0].caption, kError);
  EXPECT_TRUE(boxes.seen()[0].error_icon);
  EXPECT_TRUE(IsWindow(viewer));
  // Unknown commands are swallowed.
  EXPECT_EQ(SendMessageA(viewer, WM_COMMAND, 999, 0), 1);
  EXPECT_TRUE(IsWindow(viewer));

  HDC dc = CreateCompatibleDC(nullptr);
  for (UINT m : {WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    EXPECT_EQ(SendMessageA(viewer, m, reinterpret_cast<WPARAM>(dc), 0),
              reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(176, 176, 176));
  }
  EXPECT_EQ(SendMessageA(viewer, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0),
            reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH)));
  DeleteDC(dc);
}

TEST_F(Viewers, MinchoFacesAreMappedToARealFont) {
  HWND viewer = Open("font");
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(viewer, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  LOGFONTA lf = {};
  GetObjectA(font, sizeof lf, &lf);
  EXPECT_STREQ(lf.lfFaceName, kMincho);
  HDC dc = GetDC(viewer);
  HGDIOBJ old = SelectObject(dc, font);
  // The font actually chosen: its family name, and glyphs for Japanese text.
  std::vector<char> metrics(GetOutlineTextMetricsA(dc, 0, nullptr));
  ASSERT_FALSE(metrics.empty());
  auto* otm = reinterpret_cast<OUTLINETEXTMETRICA*>(metrics.data());
  GetOutlineTextMetricsA(dc, static_cast<UINT>(metrics.size()), otm);
  const std::string family = metrics.data() + reinterpret_cast<uintptr_t>(otm->otmpFamilyName);
  WORD glyphs[2] = {};
  GetGlyphIndicesW(dc, L"\x691C\x7D22", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  ReleaseDC(viewer, dc);
  EXPECT_NE(family.find("IPA"), std::string::npos) << family;
  EXPECT_NE(glyphs[0], 0xFFFF);
  EXPECT_NE(glyphs[1], 0xFFFF);
}

// ---- the file viewer

class FileViewer : public Viewers {
 protected:
  WinTempDir dir_;
};

TEST_F(FileViewer, FirstBytesOfAFile) {
  std::string big;
  for (int i = 0; big.size() < 40000; ++i) big += "line " + std::to_string(i) + "\n";
  big.resize(40000);
  const std::string name = dir_ / "big.txt";
  WriteBytes(name, big);
  ASSERT_EQ(K(QFileView)(name.c_str()), 1);
  HWND viewer = FindViewer(name);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(ItemText(viewer, 111), big.substr(0, 32766));
}

TEST_F(FileViewer, EmptyZeroByteAndCrLfFiles) {
  const std::string empty = dir_ / "empty.txt";
  WriteBytes(empty, "");
  EXPECT_EQ(K(QFileView)(empty.c_str()), 1);
  ASSERT_NE(FindViewer(empty), nullptr);
  EXPECT_EQ(ItemText(FindViewer(empty), 111), "");

  std::string with_zero(300, 'z');
  with_zero[100] = '\0';
  const std::string zero = dir_ / "zero.txt";
  WriteBytes(zero, with_zero);
  EXPECT_EQ(K(QFileView)(zero.c_str()), 1);
  EXPECT_EQ(ItemText(FindViewer(zero), 111), std::string(100, 'z'));

  const std::string crlf = dir_ / "crlf.txt";
  WriteBytes(crlf, "one\r\ntwo\r\n\x8C\x9F\x8D\xF5\r\n");
  EXPECT_EQ(K(QFileView)(crlf.c_str()), 1);
  HWND viewer = FindViewer(crlf);
  EXPECT_EQ(ItemText(viewer, 111), "one\r\ntwo\r\n\x8C\x9F\x8D\xF5\r\n");
  EXPECT_EQ(SendDlgItemMessageA(viewer, 111, EM_GETLINECOUNT, 0, 0), 4);
  EXPECT_EQ(ListCount(FindList()), 3);
}

TEST_F(FileViewer, MissingFileOpensNothing) {
  EXPECT_EQ(K(QFileView)((dir_ / "missing.txt").c_str()), 0);
  EXPECT_EQ(K(QFileView)(dir_.path().c_str()), 0);  // a folder
  EXPECT_EQ(K(QFileView)(nullptr), 0);
  EXPECT_EQ(FindList(), nullptr);
}

}  // namespace
}  // namespace kensaku_test
