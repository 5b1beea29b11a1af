#include "util/file_output.h"

#include <cstdio>
#include <cstring>

#include "frame/byte_string.h"
#include "util/format.h"

namespace kensaku {

int EmptyFile(const char* name) {
  std::FILE* f = name != nullptr ? std::fopen(name, "w") : nullptr;
  if (f == nullptr) return 0;
  return std::fclose(f) == 0 ? 1 : 0;
}

int AppendText(const char* name, const char* text) {
  if (text == nullptr) text = "";
  std::FILE* f = name != nullptr ? std::fopen(name, "ab") : nullptr;
  if (f == nullptr) return 0;
  const std::size_t n = std::strlen(text);
  bool ok = std::fwrite(text, 1, n, f) == n;
  // The bytes may leave the buffer only now. Some C runtimes (msvcrt) report a failed write
  // at fflush but not at fclose, so both are asked.
  ok = std::fflush(f) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  return ok ? 1 : 0;
}

int AppendFormatted(const char* name, const char* format, std::int32_t value) {
  ByteString work(static_cast<int>(kFormatBufferSize));
  std::FILE* f = name != nullptr ? std::fopen(name, "ab") : nullptr;
  if (work.text() != nullptr) {
    FormatIntegers(work.text(), kFormatBufferSize, format, &value, 1);
  }
  if (f == nullptr) return 0;
  bool ok = true;
  if (work.text() != nullptr) {
    const std::size_t n = std::strlen(work.text());
    ok = std::fwrite(work.text(), 1, n, f) == n;
  }
  ok = std::fflush(f) == 0 && ok;  // as in AppendText
  ok = std::fclose(f) == 0 && ok;
  return ok ? 1 : 0;
}

}  // namespace kensaku
