// One Shift_JIS character as a value, the byte classes that decide where a character begins and
// ends, and the character-aware string primitives that the rest of the library walks text with.
//
// A trail byte may look like ASCII: in the katakana "so" (0x83 0x5C) the second byte is the code
// of the backslash, and in 0x82 0x63 it is the letter 'c'. So texts are always walked character
// by character from a known start, never searched byte by byte.
#ifndef KENSAKU_SRC_MBCHAR_MBCHAR_H_
#define KENSAKU_SRC_MBCHAR_MBCHAR_H_

#include <cstdint>
#include <istream>
#include <vector>

namespace kensaku {

using Code = std::uint16_t;

inline constexpr Code kNoneCode = 0xFFFF;  // nothing could be read; the end of an array
inline constexpr Code kNullCode = 0;       // the end of a string; an ignored array element

namespace detail {
inline constexpr unsigned char kLead = 1;
inline constexpr unsigned char kTrail = 2;

struct ByteClassTable {
  unsigned char cls[256];
  constexpr ByteClassTable() : cls() {
    for (int b = 0; b < 256; ++b) {
      unsigned char c = 0;
      if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) c |= kLead;
      if ((b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC)) c |= kTrail;
      cls[b] = c;
    }
  }
};
inline constexpr ByteClassTable kByteClasses;
}  // namespace detail

// Code page 932 byte classes; only the low 8 bits of the argument are used.
constexpr bool IsLeadByte(unsigned b) { return detail::kByteClasses.cls[b & 0xFF] & detail::kLead; }
constexpr bool IsTrailByte(unsigned b) {
  return detail::kByteClasses.cls[b & 0xFF] & detail::kTrail;
}

// A lead byte in the high half and a trail byte in the low half of the low 16 bits.
constexpr bool IsDoubleCode(unsigned c) {
  return IsLeadByte((c >> 8) & 0xFF) && IsTrailByte(c & 0xFF);
}

// Calls f with every double-byte code, in code order, of the lead bytes `lead` keeps: the
// tables a text's codes index are built by this walk, not over all 65,536 values.
template <typename F, typename Lead>
constexpr void ForEachDoubleCode(F&& f, Lead&& lead) {
  for (unsigned l = 0x81; l <= 0xFC; ++l) {
    if (!IsLeadByte(l) || !lead(l)) continue;
    for (unsigned t = 0x40; t <= 0xFC; ++t) {
      if (IsTrailByte(t)) f(static_cast<Code>(l << 8 | t));
    }
  }
}
template <typename F>
constexpr void ForEachDoubleCode(F&& f) {
  ForEachDoubleCode(f, [](unsigned) { return true; });
}

// One character: a single byte 0x00-0xFF, or lead << 8 | trail. A lead byte without a valid trail
// byte is a one-byte character of its own.
struct MbChar {
  Code code = kNoneCode;

  constexpr MbChar() = default;
  constexpr explicit MbChar(Code c) : code(c) {}

  constexpr bool IsDouble() const { return IsDoubleCode(code); }
  constexpr bool IsSingle() const { return code <= 0xFF; }
  // None, null and every one-byte code count one byte.
  constexpr int ByteCount() const { return IsDoubleCode(code) ? 2 : 1; }

  friend constexpr bool operator==(MbChar a, MbChar b) { return a.code == b.code; }
};

// The first character of a string: none for a null pointer, null at the terminator. Reads the
// second byte only after a lead byte, so never past the terminator.
inline MbChar DecodeText(const char* text) {
  if (text == nullptr) return MbChar(kNoneCode);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (IsLeadByte(p[0]) && IsTrailByte(p[1])) return MbChar(static_cast<Code>(p[0] << 8 | p[1]));
  return MbChar(p[0]);
}

// Byte length of the character that starts at a non-terminator position.
inline int CharLength(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  return IsLeadByte(p[0]) && IsTrailByte(p[1]) ? 2 : 1;
}

// The start of the character that holds p, in a text whose characters are read from `from` on
// (p may be its terminator). Found by walking back over lead bytes: any other byte ends a
// character, and the lead bytes after it pair up, each a valid trail byte too.
static_assert([] {
  for (unsigned b = 0; b < 256; ++b) {
    if (IsLeadByte(b) && !IsTrailByte(b)) return false;
  }
  return true;
}());
inline const char* CharStartOf(const char* from, const char* p) {
  const char* q = p;
  while (q > from && IsLeadByte(static_cast<unsigned char>(q[-1]))) --q;
  const bool odd = (p - q) % 2 != 0;
  return odd && IsTrailByte(static_cast<unsigned char>(*p)) ? p - 1 : p;
}

// The characters of a text as the string primitives below count them.
int TextCharCount(const char* text);

// The first n characters of the walk of a text (DecodeText, then its ByteCount), or fewer when
// the text ends first.
std::vector<Code> DecodeChars(const char* text, std::size_t n);

// The characters of a text as the string primitives count them (TextCharCount), decoded: how
// many a character array built from the text holds.
inline std::vector<Code> DecodeCountedChars(const char* text) {
  return DecodeChars(text, static_cast<std::size_t>(TextCharCount(text)));
}

// Reads the next character of a byte stream (the extraction operator for MbChar). A stream with
// any state bit set yields none without reading; the end of input sets only the end-of-file bit.
std::istream& ReadChar(std::istream& in, MbChar& ch);
inline std::istream& operator>>(std::istream& in, MbChar& ch) { return ReadChar(in, ch); }

// The next character of the stream, which is left where it was.
MbChar PeekChar(std::istream& in);

// JIS X 0208 row/cell code of a double-byte code below lead byte 0xF0, else 0.
std::int32_t ToJis(std::uint32_t code);

// Exact lookups. InSet parses the set with the rule of TextFindChar.
bool InSet(MbChar ch, const char* set);
bool SeekChar(MbChar ch, const char** cursor);

// String primitives. Unlike DecodeText they take any non-zero byte after a lead byte with it; a
// lead byte directly before the terminator ends the text for them.
char* TextFindChar(const char* text, unsigned code);
int TextCompare(const char* a, const char* b);
char* TextFindAny(const char* text, const char* set);
char* TextSkipAny(const char* text, const char* set);

// Splits a text in place at runs of delimiters; with a null text, continues where the split that
// set *rest left off. Each split keeps its own rest, so splits may interleave.
char* TextToken(char* text, const char* delimiters, char** rest);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_MBCHAR_H_
