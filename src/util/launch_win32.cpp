#include <windows.h>

#include "util/launch.h"

namespace kensaku {

int StartCommandLine(const char* command_line) {
  return static_cast<int>(WinExec(command_line, SW_SHOW));
}

}  // namespace kensaku
