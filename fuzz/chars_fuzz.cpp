// The character services of the C interface and the character arrays on arbitrary bytes under
// arbitrary fold flags (high bits too, which change nothing): byte counts are 1 or 2, a code of
// one byte is that byte, JIS codes stay in their rows and cells; arrays never overrun.
// Input: settings, text.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz_input.h"
#include "kensaku.h"
#include "mbchar/char_array.h"
#include "mbchar/mbchar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 1);
  const int flags = kensaku_fuzz::FoldFlagsOf(in.settings) | (in.settings & 0x80 ? 0x7F00 : 0);
  xSet(flags);
  const std::string& text = in.texts[0];
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char* p = text.c_str() + i;
    const int code = sjis(p), bytes = isbytes(p), folded_bytes = xisbytes(p);
    if (bytes != 1 && bytes != 2) std::abort();
    if (folded_bytes != 1 && folded_bytes != 2) std::abort();
    if (bytes == 1 && code != static_cast<unsigned char>(*p)) std::abort();
    if (code < 0 || code > 0xFFFF || xsjis(p) < 0 || xsjis(p) > 0xFFFF) std::abort();
    if (jis(p) < 0 || jis(p) > 0x7F7F) std::abort();
  }
  // Arrays: built, copied (folded), compared, searched, trimmed, read and written.
  kensaku::CharArray array(text.c_str(), flags);
  const kensaku::CharArray copy(array);
  if (array.count() > kensaku::MaxChars || copy.count() > kensaku::MaxChars) std::abort();
  std::ostringstream out;
  array.WriteTo(out);
  copy.WriteReversed(out);
  array.WriteRange(out, array.count() / 3, array.count() / 2);
  (void)array.EqualsIgnoringNulls(copy);
  (void)array.IndexOf(kensaku::DecodeText(text.c_str() + text.size() / 2));
  array.TrimLeading();
  array.TrimTrailing();
  kensaku::CharArray read(static_cast<int>(text.size() % 64 + 1), flags);
  std::istringstream source(text);
  read.ReadUntil(source, "\r\n");
  read.ReadCount(source, static_cast<int>(text.size() % 7));
  xSet(0);
  return 0;
}
