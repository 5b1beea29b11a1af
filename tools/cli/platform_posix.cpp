#include <langinfo.h>
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

std::string StandardInputName() { return "/dev/stdin"; }

void SetBinaryOutput() {}

int NameCharBytes(unsigned char /*first*/) { return 0; }

}  // namespace kensaku::cli
