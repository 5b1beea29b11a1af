// The module's side of the windows (Windows build only): its instance handle, from which every
// dialog is created, the registration of the three window classes at load, and the window
// procedures those classes name.
#ifndef KENSAKU_SRC_UI_MODULE_WIN32_H_
#define KENSAKU_SRC_UI_MODULE_WIN32_H_

#include <windows.h>

namespace kensaku::ui {

// 0 until the loader's first notification.
extern HINSTANCE ModuleInstance;

// Called by the DLL entry point for every loader notification, after the runtime's start-up:
// registers the classes at the first one, stores the handle every time, and never fails a load.
BOOL AttachModule(HINSTANCE instance, DWORD reason, LPVOID reserved);
// Non-zero when the last registration (QSelectWin) succeeded.
BOOL RegisterWindowClasses(HINSTANCE instance);

LRESULT CALLBACK InputBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ViewerBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ViewerListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace kensaku::ui

#endif  // KENSAKU_SRC_UI_MODULE_WIN32_H_
