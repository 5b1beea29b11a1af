// The entry layer of the windows: one short function per export. Each converts its arguments
// (16-bit slots are sign-extended), forwards to one function of the window layer and lets no
// exception through.
#include <cstdint>

#include "kensaku.h"
#include "capi/entry.h"
#include "ui/windows_api.h"

using kensaku::capi::Guard;
using kensaku::capi::Slot16;

extern "C" {

int KENSAKU_API QFileView(const char* name) {
  return Guard([&] { return kensaku::ui::QFileView(name); }, 0);
}

int KENSAKU_API QView(const char* title, const char* text) {
  return Guard([&] { return kensaku::ui::QView(title, text); }, 0);
}

int KENSAKU_API QViewNextIsOpen(void) { return kensaku::ui::QViewNextIsOpen(); }

int KENSAKU_API QSelectionWinClose(void) { return kensaku::ui::QSelectionWinClose(); }

intptr_t KENSAKU_API QSelectionProc(KensakuWindow window, unsigned message, uintptr_t wparam,
                                    intptr_t lparam) {
  return Guard([&] { return kensaku::ui::QSelectionProc(window, message, wparam, lparam); },
               static_cast<intptr_t>(0));
}

intptr_t KENSAKU_API QViewWinsProc(KensakuWindow window, unsigned message, uintptr_t wparam,
                                   intptr_t lparam) {
  return Guard([&] { return kensaku::ui::QViewWinsProc(window, message, wparam, lparam); },
               static_cast<intptr_t>(0));
}

KensakuWindow KENSAKU_API QInputMain(void) { return kensaku::ui::QInputMain(); }

KensakuWindow KENSAKU_API QInputSub(int show) { return kensaku::ui::QInputSub(Slot16(show)); }

int KENSAKU_API QFindData(const char* file, const char* patterns, int mode, int flags) {
  return Guard(
      [&] { return kensaku::ui::QFindData(file, patterns, Slot16(mode), Slot16(flags)); }, 0);
}

int KENSAKU_API QFileName(const char* file) {
  return Guard([&] { return kensaku::ui::QFileName(file); }, 0);
}

KensakuWindow KENSAKU_API QFindStart(void) {
  return Guard([&] { return kensaku::ui::QFindStart(); }, static_cast<KensakuWindow>(nullptr));
}

int KENSAKU_API QInputBoxIcon(void) { return kensaku::ui::QInputBoxIcon(); }

int KENSAKU_API QInputBoxClose(void) { return kensaku::ui::QInputBoxClose(); }

}  // extern "C"
