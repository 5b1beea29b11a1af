// The DLL entry point. The runtime's start-up (DllMainCRTStartup) has run the static
// initialisers before it calls this, so the viewer request record is clear and SearchParams is
// tagged by the time the window classes are registered.
#include <windows.h>

#include <cstdint>

#include "kensaku.h"
#include "ui/module_win32.h"

namespace {

// The exports keep kensaku.h's spelling without <windows.h>; they are window procedures only if
// every argument and the result take the same slots as HWND, UINT, WPARAM, LPARAM and LRESULT,
// on 32-bit and 64-bit builds alike.
static_assert(sizeof(KensakuWindow) == sizeof(HWND));
static_assert(sizeof(unsigned) == sizeof(UINT));
static_assert(sizeof(std::uintptr_t) == sizeof(WPARAM));
static_assert(sizeof(std::intptr_t) == sizeof(LPARAM));
static_assert(sizeof(std::intptr_t) == sizeof(LRESULT));

const kensaku::ui::ViewerClassProcedures kViewerClassProcedures = {
    reinterpret_cast<WNDPROC>(&QViewWinsProc),
    reinterpret_cast<WNDPROC>(&QSelectionProc),
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return kensaku::ui::AttachModule(instance, reason, reserved, kViewerClassProcedures);
}
