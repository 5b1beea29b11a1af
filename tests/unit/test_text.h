// Printing Shift_JIS test texts readably in failure messages.
#ifndef KENSAKU_TESTS_UNIT_TEST_TEXT_H_
#define KENSAKU_TESTS_UNIT_TEST_TEXT_H_

#include <cstdio>
#include <string>

namespace kensaku {

// Printable ASCII as it is, every other byte as \xNN.
inline std::string Shown(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + "\"";
}

}  // namespace kensaku

#endif  // KENSAKU_TESTS_UNIT_TEST_TEXT_H_
