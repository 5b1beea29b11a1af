// The module's side of the windows (Windows build only): its instance handle, from which every
// dialog is created, the registration of the three window classes at load, and the window
// procedure of the search box's class.
#ifndef KENSAKU_SRC_UI_MODULE_WIN32_H_
#define KENSAKU_SRC_UI_MODULE_WIN32_H_

#include <windows.h>

namespace kensaku::ui {

// 0 until the loader's first notification.
extern HINSTANCE ModuleInstance;

// The procedures of the viewer classes are the exports QViewWinsProc and QSelectionProc
// themselves, so that a host comparing or chaining window procedures finds the exported
// addresses; the entry point, which owns the exports, hands them in.
struct ViewerClassProcedures {
  WNDPROC viewer_box;   // QViewBox
  WNDPROC viewer_list;  // QSelectWin
};

// Called by the DLL entry point for every loader notification, after the runtime's start-up:
// registers the classes at the first one, stores the handle every time, and never fails a load.
BOOL AttachModule(HINSTANCE instance, DWORD reason, LPVOID reserved,
                  const ViewerClassProcedures& procedures);
// Non-zero when the last registration (QSelectWin) succeeded.
BOOL RegisterWindowClasses(HINSTANCE instance, const ViewerClassProcedures& procedures);

LRESULT CALLBACK InputBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace kensaku::ui

#endif  // KENSAKU_SRC_UI_MODULE_WIN32_H_
