// Terminal text (UTF-8) to Shift_JIS and back, for the command-line tool only: the library
// itself never converts.
#ifndef KENSAKU_TOOLS_CLI_ENCODING_H_
#define KENSAKU_TOOLS_CLI_ENCODING_H_

#include <cstddef>
#include <string>

namespace kensaku::cli {

// UTF-8 to Shift_JIS; false when the text has a character Shift_JIS lacks.
bool ToShiftJis(const std::string& utf8, std::string& sjis);

// Shift_JIS to UTF-8, appended to out; bytes that are no Shift_JIS character come out as U+FFFD.
// Safe to call from several threads at once.
void AppendUtf8(const char* sjis, std::size_t n, std::string& out);

// ToShiftJis, naming the trouble on failure: "'Ω' (U+03A9) has no Shift_JIS form" or
// "is not UTF-8 text".
bool PatternToShiftJis(const std::string& utf8, std::string& sjis, std::string& problem);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_ENCODING_H_
