// The few things the tool asks of the system that differ between POSIX and Windows.
#ifndef KENSAKU_TOOLS_CLI_PLATFORM_H_
#define KENSAKU_TOOLS_CLI_PLATFORM_H_

#include <cstdint>
#include <string>

namespace kensaku::cli {

// Standard output (1) or standard error (2) is a terminal.
bool IsTerminal(int fd);
// The name of the character set text is shown in: the locale's (POSIX), or the console's code
// page, else the system's (Windows: "UTF-8", "CP932", "EUC-JP" or "CP" and its number).
std::string LocaleCharset();
// Standard input's open handle, read where it stands (a socket, a descriptor its reader could not
// open by name, a file partly read); -1 where it is read by StandardInputName instead.
std::intptr_t StandardInputHandle();
// A name the library's InputFile can open to read standard input.
std::string StandardInputName();
// Which regular file an open handle is on (device and file id); false for anything else (a
// terminal, a pipe, a device). Standard output's handle is StandardOutputHandle().
struct FileId {
  std::uint64_t device = 0, file = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};
bool RegularFileId(std::intptr_t handle, FileId& id);
std::intptr_t StandardOutputHandle();
// Standard output writes bytes as given (no CR added before LF).
void SetBinaryOutput();
// The bytes of the file name character that starts with this byte where names are in a
// double-byte code page (Windows' ANSI one, Shift_JIS on a Japanese system): 1 or 2. 0 where
// names are UTF-8.
int NameCharBytes(unsigned char first);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PLATFORM_H_
