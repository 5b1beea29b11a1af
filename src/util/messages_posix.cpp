#include <cstdio>

#include "util/messages.h"

namespace kensaku {

// No window system: the caption and the text go to standard error, as if OK were pressed.
int ShowMessage(const char* text, const char* caption) {
  std::fprintf(stderr, "%s\n%s\n", caption, text);
  std::fflush(stderr);
  return 1;
}

void PollHostMessages() {}

}  // namespace kensaku
