// Text of any encoding as the engines read it: code page 932, whatever the file's encoding. A
// character code page 932 lacks (an emoji, a JIS X 0212 kanji) reads as the code a pattern gave it
// (ExtraChars), or as kOtherChar when no pattern holds it; an ill-formed sequence reads as
// kBrokenChar. Both are codes no code page 932 character has and that fold to nothing else, so a
// character that code page 932 lacks matches itself only, and a broken one matches nothing.
#ifndef KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_
#define KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mbchar/encoding.h"
#include "mbchar/mbchar.h"

namespace kensaku {

inline constexpr Code kOtherChar = 0xFD;   // a character neither code page 932 nor a pattern has
inline constexpr Code kBrokenChar = 0xFF;  // an ill-formed sequence

// The characters code page 932 lacks that a query's patterns hold, each given a double-byte code
// that no code page 932 character has (lead bytes 0x85, 0x86, 0xEB, 0xEC, 0xEF, unassigned).
class ExtraChars {
 public:
  static constexpr std::size_t kMax = 5 * 188;

  // The code of u, given one when it is new; 0 when every code is taken.
  Code Add(char32_t u);
  // The code a pattern gave u, or 0.
  Code CodeOf(char32_t u) const {
    if (codes_.empty()) return 0;
    const auto it = codes_.find(u);
    return it != codes_.end() ? it->second : 0;
  }
  // The character of a code given out here, or 0.
  char32_t UnicodeOf(Code c) const;
  bool empty() const { return chars_.empty(); }

 private:
  std::vector<char32_t> chars_;  // in the order their codes were given
  std::unordered_map<char32_t, Code> codes_;
};

// The internal code of a character read from a text.
inline Code InternalCode(const TextChar& c, const ExtraChars* extras) {
  if (c.broken) return kBrokenChar;
  if (c.unicode < 0x80) return static_cast<Code>(c.unicode);
  const Code code = Cp932OfUnicode(c.unicode);
  if (code != 0) return code;
  const Code extra = extras != nullptr ? extras->CodeOf(c.unicode) : 0;
  return extra != 0 ? extra : kOtherChar;
}

// A line of UTF-8 or EUC-JP text in the internal form, and where each of its bytes came from.
// The internal form is never longer than the line.
class InternalLine {
 public:
  // Reads line[0, n), which holds no NUL and stays as it is while this is used.
  void Decode(Encoding e, const char* line, std::size_t n, const ExtraChars* extras);

  const char* text() const { return text_.c_str(); }
  std::size_t size() const { return size_; }
  // Where the character that internal byte i belongs to begins in the line read; for i ==
  // size(), the line's length. Worked out when first asked (for matched parts only).
  std::size_t SourceOffset(std::size_t i) const;

 private:
  std::string text_;
  std::size_t size_ = 0;
  Encoding encoding_ = Encoding::kUtf8;
  const char* line_ = nullptr;
  std::size_t length_ = 0;
  const ExtraChars* extras_ = nullptr;
  mutable std::vector<std::uint32_t> at_;  // empty until asked
};

// The characters code page 932 lacks that a pattern in the internal form holds, as Unicode.
std::vector<char32_t> ExtraCharsIn(const std::string& pattern, const ExtraChars& extras);

// A pattern typed as UTF-8 in the internal form: characters code page 932 lacks are added to
// extras. False, with the trouble named, when the text is no UTF-8 or extras are full.
bool InternalFromUtf8(std::string_view utf8, ExtraChars& extras, std::string& out,
                      std::string& problem);

// A UTF-8 text with each character folded under the flags as a query compares it, as UTF-8:
// characters code page 932 lacks, and broken sequences, stay as they are.
std::string FoldUtf8(std::string_view text, int fold_flags);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_INTERNAL_TEXT_H_
