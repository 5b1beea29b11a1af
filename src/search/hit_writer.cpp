#include "search/hit_writer.h"

#include <cstring>

#include "frame/digits.h"
#include "frame/find_byte.h"

namespace kensaku {

void WriteLineNumber(std::int32_t line, Output& out) {
  char field[kMaxDigits + 8];
  char digits[kMaxDigits + 1];
  std::size_t n = 0;
  std::uint32_t v = static_cast<std::uint32_t>(line);
  if (line < 0) {
    digits[n++] = '-';
    v = 0u - v;
  }
  n += WriteDigits(digits + n, v, 10);
  std::size_t k = 0;
  for (std::size_t pad = n < 5 ? 5 - n : 0; pad > 0; --pad) field[k++] = ' ';
  std::memcpy(field + k, digits, n);
  k += n;
  field[k++] = ' ';
  out.Write(field, k);
}

void HitWriter::Matched(const FoundLine& line) {
  if (form_.whole_lines) {
    if (form_.line_numbers) WriteLineNumber(static_cast<std::int32_t>(line.number), out_);
    out_.Write(line.text, TextBytes(line.text));  // a NUL inside ends the line written
    out_.Put('\n');
    out_.Flush();
    return;
  }
  const MatchSpan& span = line.hit;
  if (!span.matched || span.start == nullptr || span.end == nullptr || span.start >= span.end) {
    return;
  }
  out_.Write(span.start, static_cast<std::size_t>(span.end - span.start));
  out_.Write("\r\n", 2);
}

}  // namespace kensaku
