#include "match/linear_scan.h"

namespace kensaku {

FoldedLine DecodeFolded(const char* from, const FoldTable& table) {
  FoldedLine line;
  const Code* fold = table.map();
  const char* p = from;
  while (*p != '\0') {
    const MbChar c = DecodeText(p);
    line.codes.push_back(fold[c.code]);
    line.offsets.push_back(static_cast<std::uint32_t>(p - from));
    p += c.ByteCount();
  }
  line.offsets.push_back(static_cast<std::uint32_t>(p - from));
  return line;
}

std::size_t FindCodes(const std::vector<Code>& text, std::size_t from,
                      const std::vector<Code>& needle) {
  const std::size_t m = needle.size();
  if (m == 0) return from <= text.size() ? from : text.size();
  // border[i]: the length of the longest proper border of needle[0, i].
  std::vector<std::size_t> border(m + 1, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = k;
  }
  for (std::size_t i = from, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != needle[k]) k = border[k];
    if (text[i] == needle[k]) ++k;
    if (k == m) return i + 1 - m;
  }
  return text.size();
}

}  // namespace kensaku
