// The viewer list and the viewer boxes. The list window is found again by class and caption,
// and its list box is the only record of the open viewers: one entry per viewer, sorted by text.
// A viewer closed by the user reports to the list (command 401), which deletes its entry and
// closes itself with the last one; a viewer closed by the list does not report.
#include <windows.h>

#include <cstdint>

#include "ui/module_win32.h"
#include "ui/viewer_entry.h"
#include "ui/windows_api.h"

namespace kensaku::ui {
namespace {

constexpr char kListClass[] = "QSelectWin";
constexpr char kListCaption[] = "#Select Windows";
constexpr int kListTemplate = 2;
constexpr int kViewerTemplate = 3;
constexpr int kListBox = 101;
constexpr int kViewerEdit = 111;

// Menu commands of the two windows, and the report of a closing viewer.
constexpr int kCmdArrange = 155;
constexpr int kCmdMinimizeAll = 156;
constexpr int kCmdClose = 157;
constexpr int kCmdUndo = 24321;
constexpr int kCmdCut = 24322;
constexpr int kCmdCopy = 24323;
constexpr int kCmdPaste = 24324;
constexpr int kCmdViewerClosed = 401;

// "ウィンドウの数が多すぎます。", "ウィンドウが開けません。", "メモリ不足です。", "エラー"
constexpr char kTooManyWindows[] =
    "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xCC\x90\x94\x82\xAA\x91\xBD\x82\xB7\x82\xAC"
    "\x82\xDC\x82\xB7\x81\x42";
constexpr char kCannotOpen[] =
    "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1"
    "\x81\x42";
constexpr char kOutOfMemory[] = "\x83\x81\x83\x82\x83\x8A\x95\x73\x91\xAB\x82\xC5\x82\xB7\x81\x42";
constexpr char kError[] = "\x83\x47\x83\x89\x81\x5B";

// The viewer being opened: cleared before the host's first call, filled by QView and OpenViewer.
struct ViewRequestRecord {
  HWND list;
  HWND viewer;
  const char* title;
  const char* text;
};
ViewRequestRecord ViewRequest = {};

char EntryBuffer[kEntryBufferSize];
HBRUSH g_viewer_brush = nullptr;

HWND FindList() { return FindWindowA(kListClass, kListCaption); }

LRESULT ListCount(HWND list) { return SendDlgItemMessageA(list, kListBox, LB_GETCOUNT, 0, 0); }

// Entry i into EntryBuffer; false past the end. An entry too long for the buffer (only another
// program could have put one there) is not read.
bool ReadEntry(HWND list, LRESULT i) {
  const LRESULT length = SendDlgItemMessageA(list, kListBox, LB_GETTEXTLEN, i, 0);
  if (length == LB_ERR || length >= static_cast<LRESULT>(sizeof EntryBuffer)) return false;
  return SendDlgItemMessageA(list, kListBox, LB_GETTEXT, i,
                             reinterpret_cast<LPARAM>(EntryBuffer)) != LB_ERR;
}

// A window handle keeps its meaning in 32 bits, and a 64-bit one is their sign extension.
HWND EntryWindow() {
  const auto handle = static_cast<std::int32_t>(ReadViewerEntry(EntryBuffer));
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
}

const char* FormatRequestEntry() {
  return FormatViewerEntry(
      EntryBuffer, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(ViewRequest.viewer)),
      ViewRequest.title);
}

int OpenViewer(HWND list) {
  if (ViewerCountRefused(ListCount(list))) {
    MessageBoxA(list, kTooManyWindows, "", MB_ICONERROR);
    return 0;
  }
  ViewRequest.list = list;
  HWND viewer = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(kViewerTemplate), list,
                                   nullptr, 0);
  ViewRequest.viewer = viewer;
  if (viewer == nullptr) {
    MessageBoxA(list, kCannotOpen, kError, MB_ICONERROR);
    return 0;
  }
  SendDlgItemMessageA(list, kListBox, LB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(FormatRequestEntry()));
  SetWindowTextA(viewer, ViewRequest.title != nullptr ? ViewRequest.title : "");
  SendDlgItemMessageA(viewer, kViewerEdit, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(ViewRequest.text != nullptr ? ViewRequest.text : ""));
  return 1;
}

int ActivateViewer(HWND list) {
  const LRESULT index = SendDlgItemMessageA(list, kListBox, LB_GETCURSEL, 0, 0);
  // A double-click with nothing selected does nothing.
  if (index == LB_ERR || !ReadEntry(list, index)) return 1;
  HWND viewer = EntryWindow();
  if (IsWindow(viewer)) {
    BringWindowToTop(viewer);
    OpenIcon(viewer);
  }
  return 1;
}

int ForgetViewer(HWND list, HWND viewer) {
  const LRESULT count = ListCount(list);
  for (LRESULT i = 0; i < count; ++i) {
    if (!ReadEntry(list, i)) break;
    if (EntryWindow() == viewer) {
      SendDlgItemMessageA(list, kListBox, LB_DELETESTRING, i, 0);
      break;
    }
  }
  if (ListCount(list) == 0) SendMessageA(list, WM_CLOSE, 0, 0);
  return 1;
}

int MinimizeAllViewers(HWND list) {
  const LRESULT count = ListCount(list);
  for (LRESULT i = 0; i < count && ReadEntry(list, i); ++i) {
    HWND viewer = EntryWindow();
    if (IsWindow(viewer)) CloseWindow(viewer);
  }
  return 1;
}

int CloseAllViewers(HWND list) {
  const LRESULT count = ListCount(list);
  for (LRESULT i = 0; i < count && ReadEntry(list, i); ++i) {
    HWND viewer = EntryWindow();
    // wParam 0: the viewer does not report, so no entry goes while the list is walked.
    if (IsWindow(viewer)) SendMessageA(viewer, WM_CLOSE, 0, 0);
  }
  return 1;
}

int ArrangeViewers(HWND list) {
  MoveWindow(list, 0, 0, 350, 300, TRUE);
  const LRESULT count = ListCount(list);
  int k = 0;
  for (LRESULT i = 0; i < count; ++i) {
    if (!ReadEntry(list, i)) continue;
    HWND viewer = EntryWindow();
    // Minimised viewers stay where they are and take no step of the cascade.
    if (!IsIconic(viewer)) {
      MoveWindow(viewer, 160 + 20 * k, 20 * k, 350, 300, TRUE);
      ++k;
    }
  }
  return 1;
}

LRESULT Grey(HDC dc) {
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(176, 176, 176));
  return reinterpret_cast<LRESULT>(g_viewer_brush);
}

// The two procedures, reached only through the exports, which are the classes' procedures.
LRESULT CALLBACK ViewerListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, kListBox), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 1;
    case WM_INITDIALOG:
      return 1;
    case WM_CLOSE:
      CloseAllViewers(window);
      DestroyWindow(window);
      return 1;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case kListBox:
          if (HIWORD(wparam) == LBN_DBLCLK) ActivateViewer(window);
          return 1;
        case kCmdArrange:
          ArrangeViewers(window);
          return 1;
        case kCmdMinimizeAll:
          MinimizeAllViewers(window);
          return 1;
        case kCmdClose:
          SendMessageA(window, WM_CLOSE, 0, 0);
          return 1;
        case kCmdViewerClosed:
          ForgetViewer(window, reinterpret_cast<HWND>(lparam));
          return 1;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return DefDlgProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK ViewerBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      g_viewer_brush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
      return 1;
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, kViewerEdit), 0, 2, LOWORD(lparam), HIWORD(lparam) - 2, TRUE);
      return 1;
    case WM_CLOSE: {
      HWND list = FindList();
      if (wparam != 0 && list != nullptr) {
        SendMessageA(list, WM_COMMAND, kCmdViewerClosed, reinterpret_cast<LPARAM>(window));
      }
      // The report may have closed the list, which destroys this window with it: only the
      // handle is used from here on, and DestroyWindow of a gone window does nothing.
      DestroyWindow(window);
      return 1;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case kCmdArrange:
          SendMessageA(FindList(), WM_COMMAND, kCmdArrange, 0);
          return 1;
        case kCmdClose:
          SendMessageA(window, WM_CLOSE, 1, 0);
          return 1;
        case kCmdUndo:
          SendDlgItemMessageA(window, kViewerEdit, EM_UNDO, 0, 0);
          return 1;
        case kCmdCut:
          SendDlgItemMessageA(window, kViewerEdit, WM_CUT, 0, 0);
          return 1;
        case kCmdCopy:
          SendDlgItemMessageA(window, kViewerEdit, WM_COPY, 0, 0);
          return 1;
        case kCmdPaste:
          SendDlgItemMessageA(window, kViewerEdit, WM_PASTE, 0, 0);
          return 1;
        case kViewerEdit:
          if (HIWORD(wparam) == EN_ERRSPACE) {
            MessageBeep(0);
            MessageBoxA(window, kOutOfMemory, kError, MB_ICONERROR);
          }
          return 1;
        default:
          return 1;
      }
    case WM_SYSCOMMAND:
      if (wparam == SC_CLOSE) {
        SendMessageA(window, WM_COMMAND, kCmdClose, 0);
        return 1;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return Grey(reinterpret_cast<HDC>(wparam));
    case WM_CTLCOLORDLG:
      return reinterpret_cast<LRESULT>(g_viewer_brush);
    default:
      break;
  }
  return DefDlgProcA(window, message, wparam, lparam);
}

}  // namespace

int QView(const char* title, const char* text) {
  HWND list = FindList();
  if (list == nullptr) {
    list = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(kListTemplate), nullptr, nullptr, 0);
  }
  if (list == nullptr) return 0;
  ViewRequest.title = title;
  ViewRequest.text = text;
  OpenViewer(list);
  return 1;
}

int QViewNextIsOpen() {
  HWND list = FindList();
  if (list == nullptr) return 1;
  return NextViewerAllowed(ListCount(list)) ? 1 : 0;
}

int QSelectionWinClose() {
  HWND list = FindList();
  return list != nullptr ? static_cast<int>(SendMessageA(list, WM_CLOSE, 0, 0)) : 0;
}

std::intptr_t QSelectionProc(WindowHandle window, unsigned message, std::uintptr_t wparam,
                             std::intptr_t lparam) {
  return ViewerListProc(static_cast<HWND>(window), message, wparam, lparam);
}

std::intptr_t QViewWinsProc(WindowHandle window, unsigned message, std::uintptr_t wparam,
                            std::intptr_t lparam) {
  return ViewerBoxProc(static_cast<HWND>(window), message, wparam, lparam);
}

}  // namespace kensaku::ui
