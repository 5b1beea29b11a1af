// The three private window classes that the dialog templates name, registered when the loader
// first calls the module; each is a dialog class (DLGWINDOWEXTRA) whose procedure hands what it
// does not handle to DefDlgProcA. The search box's procedure is internal; the viewers' are the
// exports, handed in by the entry point.
#include <windows.h>

#include "ui/module_win32.h"

namespace kensaku::ui {

HINSTANCE ModuleInstance = nullptr;

namespace {

ATOM RegisterDialogClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon) {
  WNDCLASSA c = {};
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = procedure;
  c.cbClsExtra = 0;
  c.cbWndExtra = DLGWINDOWEXTRA;
  c.hInstance = instance;
  c.hIcon = icon;
  c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  c.lpszMenuName = nullptr;
  c.lpszClassName = name;
  return RegisterClassA(&c);
}

}  // namespace

BOOL RegisterWindowClasses(HINSTANCE instance, const ViewerClassProcedures& procedures) {
  RegisterDialogClass(instance, "QInputBox", InputBoxProc, LoadIconA(instance, MAKEINTRESOURCEA(1)));
  RegisterDialogClass(instance, "QViewBox", procedures.viewer_box,
                      LoadIconA(instance, MAKEINTRESOURCEA(2)));
  return RegisterDialogClass(instance, "QSelectWin", procedures.viewer_list, nullptr) != 0;
}

BOOL AttachModule(HINSTANCE instance, DWORD, LPVOID, const ViewerClassProcedures& procedures) {
  if (ModuleInstance == nullptr) RegisterWindowClasses(instance, procedures);
  ModuleInstance = instance;
  return TRUE;
}

}  // namespace kensaku::ui
