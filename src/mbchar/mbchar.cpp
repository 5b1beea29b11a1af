#include "mbchar/mbchar.h"

namespace kensaku {
namespace {

using Byte = unsigned char;

// One step of the primitives' segmentation.
enum class Step { kEnd, kLoneLead, kChar };

Step PrimitiveChar(const Byte* q, unsigned& code, int& length) {
  if (q[0] == 0) return Step::kEnd;
  if (IsLeadByte(q[0])) {
    if (q[1] == 0) return Step::kLoneLead;
    code = static_cast<unsigned>(q[0]) << 8 | q[1];
    length = 2;
  } else {
    code = q[0];
    length = 1;
  }
  return Step::kChar;
}

bool InPrimitiveSet(unsigned code, const char* set) {
  const auto* q = reinterpret_cast<const Byte*>(set);
  unsigned c = 0;
  int length = 0;
  while (PrimitiveChar(q, c, length) == Step::kChar) {
    if (c == code) return true;
    q += length;
  }
  return false;
}

}  // namespace

std::istream& ReadChar(std::istream& in, MbChar& ch) {
  ch.code = kNoneCode;
  if (in.rdstate() != std::ios::goodbit) return in;
  std::streambuf* buf = in.rdbuf();
  const int b0 = buf ? buf->sbumpc() : std::char_traits<char>::eof();
  if (b0 == std::char_traits<char>::eof()) {
    in.setstate(std::ios::eofbit);
    return in;
  }
  ch.code = static_cast<Code>(b0);
  if (!IsLeadByte(b0)) return in;
  // A peek that sets no state: a lead byte at the end of input stays a one-byte character.
  const int b1 = buf->sgetc();
  if (b1 != std::char_traits<char>::eof() && IsTrailByte(b1)) {
    ch.code = static_cast<Code>(b0 << 8 | b1);
    buf->sbumpc();
  }
  return in;
}

MbChar PeekChar(std::istream& in) {
  const std::streampos noted = in.tellg();
  MbChar ch;
  ReadChar(in, ch);
  const std::streampos now = in.tellg();
  if (now < noted) {
    in.clear();
    in.seekg(noted);
  } else if (now > noted) {
    in.seekg(noted);
  }
  return ch;
}

std::int32_t ToJis(std::uint32_t code) {
  if (code > 0xFFFF) return 0;
  unsigned h = code >> 8;
  unsigned l = code & 0xFF;
  if (h >= 0xF0 || !IsLeadByte(h) || !IsTrailByte(l)) return 0;
  if (h >= 0xE0) h -= 0x40;
  h = (h - 0x70) * 2;
  if (l < 0x9F) {
    h -= 1;
    l -= 0x1F;
    if (l >= 0x61) l -= 1;
  } else {
    l -= 0x7E;
  }
  return static_cast<std::int32_t>(h << 8 | l);
}

bool InSet(MbChar ch, const char* set) {
  if (ch.code == kNullCode || set == nullptr || *set == '\0') return false;
  return TextFindChar(set, ch.code) != nullptr;
}

bool SeekChar(MbChar ch, const char** cursor) {
  if (ch.code == kNullCode || cursor == nullptr || *cursor == nullptr || **cursor == '\0') {
    return false;
  }
  for (const char* p = *cursor; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (c.code == ch.code) {
      *cursor = p;
      return true;
    }
    p += c.ByteCount();
  }
  return false;
}

char* TextFindChar(const char* text, unsigned code) {
  const auto* q = reinterpret_cast<const Byte*>(text);
  unsigned c = 0;
  int length = 0;
  for (;;) {
    switch (PrimitiveChar(q, c, length)) {
      case Step::kEnd:
        return code == 0 ? const_cast<char*>(reinterpret_cast<const char*>(q)) : nullptr;
      case Step::kLoneLead:
        return code == 0 ? const_cast<char*>(reinterpret_cast<const char*>(q + 1)) : nullptr;
      case Step::kChar:
        if (c == code) return const_cast<char*>(reinterpret_cast<const char*>(q));
        q += length;
        break;
    }
  }
}

int TextCompare(const char* a, const char* b) {
  const auto* p = reinterpret_cast<const Byte*>(a);
  const auto* q = reinterpret_cast<const Byte*>(b);
  for (;;) {
    unsigned ca = 0, cb = 0;
    int la = 0, lb = 0;
    if (PrimitiveChar(p, ca, la) != Step::kChar) ca = 0;
    if (PrimitiveChar(q, cb, lb) != Step::kChar) cb = 0;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
    p += la;
    q += lb;
  }
}

int TextCharCount(const char* text) {
  const auto* q = reinterpret_cast<const Byte*>(text);
  unsigned c = 0;
  int length = 0;
  int count = 0;
  while (PrimitiveChar(q, c, length) == Step::kChar) {
    ++count;
    q += length;
  }
  return count;
}

char* TextFindAny(const char* text, const char* set) {
  const auto* q = reinterpret_cast<const Byte*>(text);
  unsigned c = 0;
  int length = 0;
  while (PrimitiveChar(q, c, length) == Step::kChar) {
    if (InPrimitiveSet(c, set)) return const_cast<char*>(reinterpret_cast<const char*>(q));
    q += length;
  }
  return nullptr;
}

char* TextSkipAny(const char* text, const char* set) {
  const auto* q = reinterpret_cast<const Byte*>(text);
  unsigned c = 0;
  int length = 0;
  for (;;) {
    switch (PrimitiveChar(q, c, length)) {
      case Step::kEnd:
        return nullptr;
      case Step::kLoneLead:
        return const_cast<char*>(reinterpret_cast<const char*>(q));
      case Step::kChar:
        if (!InPrimitiveSet(c, set)) return const_cast<char*>(reinterpret_cast<const char*>(q));
        q += length;
        break;
    }
  }
}

char* TextToken(char* text, const char* delimiters, char** rest) {
  char* start = nullptr;
  if (text != nullptr) {
    start = TextSkipAny(text, delimiters);
  } else if (*rest != nullptr) {
    start = TextSkipAny(*rest, delimiters);
  } else {
    return nullptr;
  }
  if (start == nullptr || *start == '\0') return nullptr;
  if (IsLeadByte(static_cast<Byte>(start[0])) && start[1] == '\0') return nullptr;
  char* end = TextFindAny(start, delimiters);
  if (end == nullptr || *end == '\0') {
    *rest = nullptr;
    return start;
  }
  const bool wide = IsLeadByte(static_cast<Byte>(end[0]));
  end[0] = '\0';
  if (wide) end[1] = '\0';
  *rest = end + (wide ? 2 : 1);
  return start;
}

std::vector<Code> DecodeChars(const char* text, std::size_t n) {
  std::vector<Code> codes;
  codes.reserve(n);
  for (const char* p = text; p != nullptr && *p != '\0' && codes.size() < n;) {
    const MbChar c = DecodeText(p);
    codes.push_back(c.code);
    p += c.ByteCount();
  }
  return codes;
}

}  // namespace kensaku
