// The windows on a system without a window system: it refuses every window, so no viewer list
// can be created and no search box ever exists.
#include "ui/windows_api.h"

namespace kensaku::ui {

int QView(const char*, const char*) { return 0; }
int QViewNextIsOpen() { return 1; }  // there is no list to be full
int QSelectionWinClose() { return 0; }
std::intptr_t QSelectionProc(WindowHandle, unsigned, std::uintptr_t, std::intptr_t) { return 0; }
std::intptr_t QViewWinsProc(WindowHandle, unsigned, std::uintptr_t, std::intptr_t) { return 0; }

WindowHandle QInputMain() { return nullptr; }
WindowHandle QInputSub(int) { return nullptr; }
int QFindData(const char*, const char*, int, int) { return 0; }
int QFileName(const char*) { return 0; }
WindowHandle QFindStart() { return nullptr; }
int QInputBoxIcon() { return 0; }
int QInputBoxClose() { return 0; }

}  // namespace kensaku::ui
