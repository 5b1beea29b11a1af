#include "mbchar/internal_text.h"

#include <cstdio>
#include <cstring>

#include "mbchar/fold.h"

namespace kensaku {
namespace {

constexpr unsigned char kExtraLeads[] = {0x85, 0x86, 0xEB, 0xEC, 0xEF};

// The i-th code for a character code page 932 lacks: trail bytes 0x40-0x7E, 0x80-0xFC.
Code ExtraCode(std::size_t i) {
  const unsigned lead = kExtraLeads[i / 188];
  const unsigned cell = static_cast<unsigned>(i % 188);
  return static_cast<Code>(lead << 8 | (cell < 63 ? 0x40 + cell : 0x80 + cell - 63));
}

std::size_t ExtraIndex(Code c) {
  const unsigned lead = c >> 8, trail = c & 0xFF;
  for (std::size_t k = 0; k < sizeof kExtraLeads; ++k) {
    if (kExtraLeads[k] != lead) continue;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) break;
    return k * 188 + (trail < 0x7F ? trail - 0x40 : trail - 0x80 + 63);
  }
  return SIZE_MAX;
}

}  // namespace

Code ExtraChars::Add(char32_t u) {
  if (const Code known = CodeOf(u); known != 0) return known;
  if (chars_.size() == kMax) return 0;
  const Code code = ExtraCode(chars_.size());
  chars_.push_back(u);
  codes_.emplace(u, code);
  return code;
}

char32_t ExtraChars::UnicodeOf(Code c) const {
  const std::size_t i = ExtraIndex(c);
  return i < chars_.size() ? chars_[i] : 0;
}

namespace {

inline void PutCode(Code code, char*& out) {
  if (code > 0xFF) *out++ = static_cast<char>(code >> 8);
  *out++ = static_cast<char>(code & 0xFF);
}

// One character of the line at p (n > 0 bytes) written in the internal form at out; returns the
// bytes it took. The slow, general way.
std::size_t PutChar(Encoding e, const char* p, std::size_t n, const ExtraChars* extras,
                    char*& out) {
  const TextChar c = ReadTextChar(e, p, n);
  PutCode(InternalCode(c, extras), out);
  return c.length;
}

// Copies the ASCII bytes that begin [p, end) to out, eight at a time while it can.
inline void CopyAscii(const unsigned char*& p, const unsigned char* end, char*& out) {
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & 0x8080808080808080u) != 0) break;
    std::memcpy(out, p, 8);
    p += 8;
    out += 8;
  }
  while (p < end && *p < 0x80) *out++ = static_cast<char>(*p++);
}

// The internal code of each EUC-JP two-byte sequence, by (first - 0xA1) * 94 + second - 0xA1;
// 0 where it is no character.
const Code* EucJpCodes() {
  static const std::vector<Code> codes = [] {
    std::vector<Code> t(94 * 94, 0);
    for (int i = 0; i < 94 * 94; ++i) {
      const char s[2] = {static_cast<char>(0xA1 + i / 94), static_cast<char>(0xA1 + i % 94)};
      const TextChar c = ReadTextChar(Encoding::kEucJp, s, 2);
      if (!c.broken) t[i] = Cp932OfUnicode(c.unicode);
    }
    return t;
  }();
  return codes.data();
}

void DecodeUtf8(const unsigned char* p, const unsigned char* end, const ExtraChars* extras,
                char*& out) {
  const Code* bmp = Cp932OfBmp();
  while (p < end) {
    const unsigned b = p[0];
    if (b < 0x80) {
      CopyAscii(p, end, out);
      continue;
    }
    // Three-byte characters that can be neither overlong nor surrogates (kana and kanji).
    if (b - 0xE1 <= 0xEF - 0xE1 && b != 0xED && end - p >= 3) {
      const unsigned c1 = p[1] ^ 0x80u, c2 = p[2] ^ 0x80u;
      if ((c1 | c2) < 0x40) {
        const Code code = bmp[(b & 0x0F) << 12 | c1 << 6 | c2];
        if (code != 0) {
          PutCode(code, out);
          p += 3;
          continue;
        }
      }
    }
    p += PutChar(Encoding::kUtf8, reinterpret_cast<const char*>(p),
                 static_cast<std::size_t>(end - p), extras, out);
  }
}

void DecodeEucJp(const unsigned char* p, const unsigned char* end, const ExtraChars* extras,
                 char*& out) {
  const Code* codes = EucJpCodes();
  while (p < end) {
    const unsigned b = p[0];
    if (b < 0x80) {
      CopyAscii(p, end, out);
      continue;
    }
    if (end - p >= 2) {
      const unsigned c1 = p[1] - 0xA1u;
      if (b - 0xA1 < 94 && c1 < 94) {
        const Code code = codes[(b - 0xA1) * 94 + c1];
        if (code != 0) {
          PutCode(code, out);
          p += 2;
          continue;
        }
      } else if (b == 0x8E && c1 <= 0xDF - 0xA1) {
        *out++ = static_cast<char>(p[1]);  // half-width kana: code page 932's own byte
        p += 2;
        continue;
      }
    }
    p += PutChar(Encoding::kEucJp, reinterpret_cast<const char*>(p),
                 static_cast<std::size_t>(end - p), extras, out);
  }
}

}  // namespace

void InternalLine::Decode(Encoding e, const char* line, std::size_t n, const ExtraChars* extras) {
  encoding_ = e;
  line_ = line;
  length_ = n;
  extras_ = extras;
  at_.clear();
  if (text_.size() < n + 1) text_.resize(n + 1);
  char* const start = text_.data();
  char* out = start;
  const auto* p = reinterpret_cast<const unsigned char*>(line);
  if (e == Encoding::kEucJp) {
    DecodeEucJp(p, p + n, extras, out);
  } else {
    DecodeUtf8(p, p + n, extras, out);
  }
  *out = '\0';
  size_ = static_cast<std::size_t>(out - start);
}

std::size_t InternalLine::SourceOffset(std::size_t i) const {
  if (at_.empty()) {
    char bytes[2];
    for (std::size_t k = 0; k < length_;) {
      char* out = bytes;
      const std::size_t taken = PutChar(encoding_, line_ + k, length_ - k, extras_, out);
      at_.insert(at_.end(), static_cast<std::size_t>(out - bytes), static_cast<std::uint32_t>(k));
      k += taken;
    }
    at_.push_back(static_cast<std::uint32_t>(length_));
  }
  return at_[i];
}

bool InternalFromUtf8(std::string_view utf8, ExtraChars& extras, std::string& out,
                      std::string& problem) {
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, utf8.data() + i, utf8.size() - i);
    if (c.broken) {
      problem = "is not UTF-8 text";
      return false;
    }
    Code code = c.unicode < 0x80 ? static_cast<Code>(c.unicode) : Cp932OfUnicode(c.unicode);
    if (code == 0 && c.unicode != 0) code = extras.Add(c.unicode);
    if (code == 0 && c.unicode != 0) {
      char message[96];
      std::snprintf(message, sizeof message,
                    "'%.*s' (U+%04X): too many characters that Shift_JIS lacks",
                    static_cast<int>(c.length), utf8.data() + i, static_cast<unsigned>(c.unicode));
      problem = message;
      return false;
    }
    if (IsDoubleCode(code)) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
    i += c.length;
  }
  return true;
}

std::vector<char32_t> ExtraCharsIn(const std::string& pattern, const ExtraChars& extras) {
  std::vector<char32_t> found;
  if (extras.empty()) return found;
  for (const char* p = pattern.c_str(); *p != '\0'; p += CharLength(p)) {
    const char32_t u = extras.UnicodeOf(DecodeText(p).code);
    if (u != 0) found.push_back(u);
  }
  return found;
}

std::string FoldUtf8(std::string_view text, int fold_flags) {
  const FoldTable& table = FoldTable::For(fold_flags);
  std::string folded;
  for (std::size_t at = 0; at < text.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, text.data() + at, text.size() - at);
    const Code code = c.broken ? 0 : Cp932OfUnicode(c.unicode);
    const char32_t u = code != 0 ? UnicodeOfCp932(table[code]) : 0;
    if (u != 0) {
      AppendUtf8Of(u, folded);
    } else {
      folded.append(text.data() + at, c.length);
    }
    at += c.length;
  }
  return folded;
}

}  // namespace kensaku
