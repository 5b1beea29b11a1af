#include "encoding.h"

#include <cstdio>

namespace kensaku::cli {
namespace {

// The length of the UTF-8 character at s[i] and its code point, or 0 when it is malformed.
std::size_t DecodeUtf8(const std::string& s, std::size_t i, char32_t& code) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const std::size_t n = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
  if (n == 0 || i + n > s.size()) return 0;
  code = n == 1 ? c : c & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    code = (code << 6) | (t & 0x3F);
  }
  return n;
}

}  // namespace

bool PatternToShiftJis(const std::string& utf8, std::string& sjis, std::string& problem) {
  if (ToShiftJis(utf8, sjis)) return true;
  // Character by character, to name the first one that fails.
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t code = 0;
    const std::size_t n = DecodeUtf8(utf8, i, code);
    if (n == 0) {
      problem = "is not UTF-8 text (use --pattern-encoding=sjis for Shift_JIS bytes)";
      return false;
    }
    const std::string one = utf8.substr(i, n);
    std::string ignored;
    if (!ToShiftJis(one, ignored)) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
      problem = "'" + one + "' (" + hex + ") has no Shift_JIS form";
      return false;
    }
    i += n;
  }
  problem = "cannot be converted to Shift_JIS";
  return false;
}

}  // namespace kensaku::cli
