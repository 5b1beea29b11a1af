#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "platform.h"

namespace kensaku::cli {

bool IsTerminal(int fd) { return isatty(fd) != 0; }

std::string LocaleCharset() {
  if (std::setlocale(LC_CTYPE, "") == nullptr) return "";
  const char* codeset = nl_langinfo(CODESET);
  std::string name = codeset != nullptr ? codeset : "";
  std::setlocale(LC_CTYPE, "C");
  return name;
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
