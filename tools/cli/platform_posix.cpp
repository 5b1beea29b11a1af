#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "platform.h"

namespace kensaku::cli {

bool IsTerminal(int fd) { return isatty(fd) != 0; }

bool TerminalIsUtf8() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  const char* codeset = nl_langinfo(CODESET);
  const bool utf8 = codeset != nullptr &&
                    (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  std::setlocale(LC_CTYPE, "C");
  return utf8;
}

std::intptr_t StandardInputHandle() { return STDIN_FILENO; }

std::string StandardInputName() { return "/dev/stdin"; }

bool RegularFileId(std::intptr_t handle, FileId& id) {
  struct stat st;
  if (fstat(static_cast<int>(handle), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

std::intptr_t StandardOutputHandle() { return STDOUT_FILENO; }

void SetBinaryOutput() {}

int NameCharBytes(unsigned char /*first*/) { return 0; }

}  // namespace kensaku::cli
