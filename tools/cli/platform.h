// The few things the tool asks of the system that differ between POSIX and Windows.
#ifndef KENSAKU_TOOLS_CLI_PLATFORM_H_
#define KENSAKU_TOOLS_CLI_PLATFORM_H_

#include <string>

namespace kensaku::cli {

// Standard output (1) or standard error (2) is a terminal.
bool IsTerminal(int fd);
// The name of the character set text is shown in: the locale's (POSIX), or the console's code
// page, else the system's (Windows: "UTF-8", "CP932", "EUC-JP" or "CP" and its number).
std::string LocaleCharset();
// A name the library's InputFile can open to read standard input.
std::string StandardInputName();
// Standard output writes bytes as given (no CR added before LF).
void SetBinaryOutput();
// The bytes of the file name character that starts with this byte where names are in a
// double-byte code page (Windows' ANSI one, Shift_JIS on a Japanese system): 1 or 2. 0 where
// names are UTF-8.
int NameCharBytes(unsigned char first);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PLATFORM_H_
