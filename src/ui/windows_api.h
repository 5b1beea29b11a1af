// The windows of the library as the entry layer sees them: the viewer list and its viewers, the
// file viewer and the search box. Handles are opaque pointers here, so callers need no system
// header; the Windows build provides them with real dialogs, other builds behave as a window
// system that refuses every window (no list can be created, no search box exists).
#ifndef KENSAKU_SRC_UI_WINDOWS_API_H_
#define KENSAKU_SRC_UI_WINDOWS_API_H_

#include <cstdint>

namespace kensaku::ui {

using WindowHandle = void*;

// Viewers: 1 once the viewer list exists (the viewer itself may have been refused after an error
// box), 0 when no list window can be created.
int QView(const char* title, const char* text);
// 1 when one more viewer may be opened.
int QViewNextIsOpen();
// The result of closing the viewer list, 0 when there is none.
int QSelectionWinClose();
// The window procedures of the viewer list and of a viewer box.
std::intptr_t QSelectionProc(WindowHandle window, unsigned message, std::uintptr_t wparam,
                             std::intptr_t lparam);
std::intptr_t QViewWinsProc(WindowHandle window, unsigned message, std::uintptr_t wparam,
                            std::intptr_t lparam);

// The first 32,766 bytes of a file in a viewer: 0 when the file cannot be read, else QView's
// result.
int QFileView(const char* name);

// The search box: opened ending the host's message loop when it closes (QInputMain) or not
// (QInputSub), filled, started, minimised and closed.
WindowHandle QInputMain();
WindowHandle QInputSub(int show);
int QFindData(const char* file, const char* patterns, int mode, int flags);
int QFileName(const char* file);
WindowHandle QFindStart();
int QInputBoxIcon();
int QInputBoxClose();

}  // namespace kensaku::ui

#endif  // KENSAKU_SRC_UI_WINDOWS_API_H_
