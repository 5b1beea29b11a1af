#include <windows.h>

#include "util/messages.h"

namespace kensaku {

int ShowMessage(const char* text, const char* caption) {
  return MessageBoxA(nullptr, text, caption, MB_OK);
}

void PollHostMessages() {
  // Never blocks: a host whose queue stays empty must not hang in a search.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

}  // namespace kensaku
