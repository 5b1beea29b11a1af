// The DLL entry point. The runtime's start-up (DllMainCRTStartup) has run the static
// initialisers before it calls this, so the viewer request record is clear and SearchParams is
// tagged by the time the window classes are registered.
#include <windows.h>

#include "ui/module_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return kensaku::ui::AttachModule(instance, reason, reserved);
}
