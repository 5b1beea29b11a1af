// Terminal text (UTF-8) to Shift_JIS and back, for the command-line tool only: the library
// itself never converts.
#ifndef KENSAKU_TOOLS_CLI_ENCODING_H_
#define KENSAKU_TOOLS_CLI_ENCODING_H_

#include <cstddef>
#include <memory>
#include <string>

namespace kensaku::cli {

// UTF-8 to Shift_JIS; false when the text has a character Shift_JIS lacks.
bool ToShiftJis(const std::string& utf8, std::string& sjis);

// A streaming Shift_JIS to UTF-8 converter: blocks may split a character anywhere; bytes that
// are no Shift_JIS character come out as U+FFFD.
class Utf8Writer {
 public:
  Utf8Writer();
  ~Utf8Writer();
  // Converts and writes to standard output; false when writing failed.
  bool Write(const char* bytes, std::size_t n);
  bool Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_ENCODING_H_
