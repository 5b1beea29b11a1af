// The search box window and the exports that drive it. The box is found again by class and
// caption; the exports fill SearchParams and send the box private commands, which its window
// procedure carries out at once.
#include <windows.h>

#include <cstring>

#include "ui/module_win32.h"
#include "ui/search_box.h"
#include "ui/windows_api.h"

namespace kensaku::ui {
namespace {

constexpr char kBoxClass[] = "QInputBox";
constexpr char kBoxCaption[] = "#\x8C\x9F\x8D\xF5 Input Box";  // "#検索 Input Box"
constexpr int kBoxTemplate = 1;

HBRUSH g_box_brush = nullptr;

HWND FindBox() { return FindWindowA(kBoxClass, kBoxCaption); }

class DialogControls : public SearchBoxControls {
 public:
  explicit DialogControls(HWND box) : box_(box) {}
  bool Checked(int id) override {
    return LOWORD(SendDlgItemMessageA(box_, id, BM_GETCHECK, 0, 0)) != 0;
  }
  void SetChecked(int id, bool on) override {
    SendDlgItemMessageA(box_, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void Enable(int id, bool on) override { EnableWindow(GetDlgItem(box_, id), on); }
  void SetField(int id, int limit, const char* text) override {
    SendDlgItemMessageA(box_, id, EM_LIMITTEXT, limit, 0);
    SendDlgItemMessageA(box_, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  void ReadField(int id, char* buffer, std::size_t size) override {
    std::memset(buffer, 0, size);
    SendDlgItemMessageA(box_, id, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer));
    buffer[size - 1] = '\0';
  }
  void ShowHits(const char* title, const char* text) override { QView(title, text); }

 private:
  HWND box_;
};

HWND CreateBox(int quit_on_destroy, bool show) {
  QuitOnDestroy = quit_on_destroy;
  HWND box = CreateDialogParamA(ModuleInstance, MAKEINTRESOURCEA(kBoxTemplate), nullptr, nullptr, 0);
  if (box != nullptr && show) ShowWindow(box, SW_SHOW);
  return box;
}

}  // namespace

LRESULT CALLBACK InputBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      g_box_brush = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
      return 1;
    case WM_DESTROY:
      if (QuitOnDestroy != 0) PostQuitMessage(0);
      return 1;
    case WM_CLOSE:
      DestroyWindow(window);
      return 1;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == kCloseButton) {
        SendMessageA(window, WM_CLOSE, 0, 0);
      } else {
        DialogControls controls(window);
        OnBoxCommand(id, controls);
      }
      return 1;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      SetTextColor(reinterpret_cast<HDC>(wparam), RGB(0, 0, 0));
      SetBkColor(reinterpret_cast<HDC>(wparam), RGB(176, 176, 176));
      return reinterpret_cast<LRESULT>(g_box_brush);
    case WM_CTLCOLORDLG:
      return reinterpret_cast<LRESULT>(g_box_brush);
    default:
      return DefDlgProcA(window, message, wparam, lparam);
  }
}

WindowHandle QInputMain() {
  if (HWND box = FindBox()) {
    OpenIcon(box);
    return box;
  }
  return CreateBox(1, true);
}

WindowHandle QInputSub(int show) {
  if (HWND box = FindBox()) {
    OpenIcon(box);
    return box;
  }
  return CreateBox(0, LOWORD(show) != 0);
}

int QFindData(const char* file, const char* patterns, int mode, int flags) {
  HWND box = FindBox();
  if (box == nullptr) return 0;
  if (!FillSearchParams(*SearchParams, file, patterns, mode, flags)) return 0;
  SendMessageA(box, WM_COMMAND, kCmdApplyParams, 0);
  return 1;
}

int QFileName(const char* file) {
  HWND box = FindBox();
  if (box == nullptr || file == nullptr || file[0] == '\0') return 0;
  FillSearchFileName(*SearchParams, file);
  SendMessageA(box, WM_COMMAND, kCmdApplyFileName, 0);
  return 1;
}

WindowHandle QFindStart() {
  HWND box = FindBox();
  if (box == nullptr) return nullptr;
  SendMessageA(box, WM_COMMAND, kStartButton, 0);
  return box;
}

int QInputBoxIcon() {
  HWND box = FindBox();
  return box != nullptr ? CloseWindow(box) : 0;
}

int QInputBoxClose() {
  HWND box = FindBox();
  return box != nullptr ? static_cast<int>(SendMessageA(box, WM_CLOSE, 0, 0)) : 0;
}

}  // namespace kensaku::ui
