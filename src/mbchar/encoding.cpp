#include "mbchar/encoding.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "frame/find_byte.h"

namespace kensaku {
namespace {

using Byte = unsigned char;

#include "encoding_tables.inc"

constexpr int kTrailCount = 188;  // 0x40-0x7E, 0x80-0xFC

constexpr int TrailIndex(unsigned trail) { return trail < 0x7F ? trail - 0x40 : trail - 0x41; }

// UnicodeOfCp932, inline for the loops here.
constexpr char32_t Cp932Scalar(Code c) {
  if (c < 0x80) return c;
  if (c <= 0xFF) return c >= 0xA1 && c <= 0xDF ? 0xFF61 + (c - 0xA1) : 0;
  if (!IsDoubleCode(c)) return 0;
  const unsigned lead = c >> 8;
  const int trail = TrailIndex(c & 0xFF);
  if (lead >= 0xF0 && lead <= 0xF9) return 0xE000 + (lead - 0xF0) * kTrailCount + trail;
  const int row = kCp932RowOfLead[lead - 0x80];
  return row < 0 ? 0 : kCp932Double[row][trail];
}

// --- Names.

struct Name {
  const char* name;
  Encoding encoding;
};
constexpr Name kNames[] = {
    {"sjis", Encoding::kCp932},          {"cp932", Encoding::kCp932},
    {"shift_jis", Encoding::kCp932},     {"shift-jis", Encoding::kCp932},
    {"ms932", Encoding::kCp932},         {"windows-31j", Encoding::kCp932},
    {"utf-8", Encoding::kUtf8},          {"utf8", Encoding::kUtf8},
    {"euc-jp", Encoding::kEucJp},        {"eucjp", Encoding::kEucJp},
    {"euc_jp", Encoding::kEucJp},        {"utf-16le", Encoding::kUtf16Le},
    {"utf16le", Encoding::kUtf16Le},     {"utf-16be", Encoding::kUtf16Be},
    {"utf16be", Encoding::kUtf16Be},     {"iso-2022-jp", Encoding::kIso2022Jp},
    {"iso2022jp", Encoding::kIso2022Jp}, {"jis", Encoding::kIso2022Jp},
};

bool SameIgnoringCase(std::string_view a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char lower = x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x;
    if (lower != static_cast<unsigned char>(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// UTF-16 and ISO-2022-JP are read as the UTF-8 they turn into.
Encoding ReadAs(Encoding e) { return ReadsAsUtf8(e) ? Encoding::kUtf8 : e; }

bool IsScalar(char32_t u) { return u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF); }

// --- Code page 932 backwards, from the forward table.

// Of the codes that read as one character, the one written for it sorts first: the lowest,
// except that the NEC-selected IBM extensions (0xED, 0xEE) give way to IBM's own (0xFA-0xFC).
constexpr std::uint32_t WriteRank(Code c) {
  const unsigned lead = c >> 8;
  return lead == 0xED || lead == 0xEE ? 0x10000u | c : c;
}

// The JIS forms of the characters that Unicode splits, which code page 932 reads the other way.
constexpr std::pair<char32_t, Code> kJisForms[] = {
    {0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C},
    {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA},
};

// The code written for each scalar below 0x10000, 0 for none: the first of its codes in rank
// order, and the JIS forms. Made by the compiler, so that a run that turns a few characters into
// codes touches a few pages of it rather than building it.
struct WrittenCodes {
  Code code[0x10000];
};
constexpr WrittenCodes MakeWrittenCodes() {
  WrittenCodes w{};
  auto add = [&w](unsigned c) {
    const char32_t u = Cp932Scalar(static_cast<Code>(c));
    if (u != 0 && w.code[u] == 0) w.code[u] = static_cast<Code>(c);
  };
  for (unsigned c = 1; c <= 0xFF; ++c) add(c);
  for (const bool late : {false, true}) {
    ForEachDoubleCode(add, [late](unsigned lead) {
      return (WriteRank(static_cast<Code>(lead << 8)) > 0xFFFF) == late;
    });
  }
  for (const auto& [u, c] : kJisForms) w.code[u] = c;
  return w;
}
constexpr WrittenCodes kWritten = MakeWrittenCodes();

// The leads of the codes whose character is written with another code: NEC's row 13 and the two
// IBM extensions (row 2's twins come first in rank, so are written as themselves).
constexpr unsigned kTwinLeads[] = {0x87, 0xED, 0xEE, 0xFA, 0xFB, 0xFC};

// WrittenCp932 of every code, by the compiler too.
constexpr WrittenCodes MakeWrittenOfCode() {
  WrittenCodes w{};
  for (unsigned c = 0; c < 0x10000; ++c) w.code[c] = static_cast<Code>(c);
  for (const unsigned lead : kTwinLeads) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const auto c = static_cast<Code>(lead << 8 | trail);
      if (!IsTrailByte(trail)) continue;
      if (const Code written = kWritten.code[Cp932Scalar(c)]; written != 0) w.code[c] = written;
    }
  }
  return w;
}
constexpr WrittenCodes kWrittenOfCode = MakeWrittenOfCode();

// Every (scalar, code) read, by scalar, rank.
const std::vector<std::pair<char32_t, Code>>& Cp932Codes() {
  static const std::vector<std::pair<char32_t, Code>> codes = [] {
    std::vector<std::pair<char32_t, Code>> r;
    std::vector<std::pair<char32_t, Code>> more;  // codes not written, after the one that is
    auto add = [&](unsigned c) {
      const char32_t u = Cp932Scalar(static_cast<Code>(c));
      if (u != 0 && kWritten.code[u] != c) more.emplace_back(u, static_cast<Code>(c));
    };
    for (unsigned c = 1; c <= 0xFF; ++c) add(c);
    for (const bool late : {false, true}) {
      ForEachDoubleCode(add, [&](unsigned lead) {
        return (WriteRank(static_cast<Code>(lead << 8)) > 0xFFFF) == late;
      });
    }
    std::stable_sort(more.begin(), more.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    r.emplace_back(0, 0);
    auto next = more.begin();
    for (char32_t u = 1; u <= 0xFFFF; ++u) {
      const Code c = kWritten.code[u];
      if (c == 0 || Cp932Scalar(c) != u) continue;  // none, or a JIS form
      r.emplace_back(u, c);
      for (; next != more.end() && next->first == u; ++next) r.push_back(*next);
    }
    return r;
  }();
  return codes;
}

// --- JIS X 0208 rows through code page 932.

// The code page 932 code of a JIS X 0208 row and cell (1-94), by the usual arithmetic, so that
// row 13 and rows 89-92 read as code page 932's NEC characters and NEC-selected IBM extensions.
// The other user rows (85-88, 93-94) go on to the rows after 94, code page 932's user-defined
// area from 0xF040, where EUC-JP's user-defined characters are usually put (U+E000 on).
Code Cp932OfJis(int row, int cell) {
  if (row >= 85 && (row <= 88 || row >= 93)) row += 10;
  const unsigned lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
  const unsigned trail = row % 2 != 0 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
  return static_cast<Code>(lead << 8 | trail);
}

char32_t UnicodeOfJisX0208(int row, int cell) { return Cp932Scalar(Cp932OfJis(row, cell)); }

// --- Reading character by character.

constexpr TextChar Broken(std::size_t length) { return {length, 0, true}; }
constexpr TextChar Char(std::size_t length, char32_t u) { return {length, u, false}; }

TextChar ReadUtf8(const Byte* p, std::size_t n) {
  const Byte b = p[0];
  if (b < 0x80) return Char(1, b);
  // The well-formed sequences: the length a lead byte starts, and the range of the second byte,
  // narrowed where it would make an overlong form, a surrogate or more than U+10FFFF.
  std::size_t length = 4;
  Byte lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return Broken(1);
  }
  char32_t u = b & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    // A maximal subpart, the bytes that could still begin the character, is broken as one.
    if (i >= n || p[i] < lo || p[i] > hi) return Broken(i);
    u = u << 6 | (p[i] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  return Char(length, u);
}

constexpr bool IsEucByte(Byte b) { return b >= 0xA1 && b <= 0xFE; }

TextChar ReadEucJp(const Byte* p, std::size_t n) {
  const Byte b = p[0];
  if (b < 0x80) return Char(1, b);
  if (IsEucByte(b)) {
    if (n >= 2 && IsEucByte(p[1])) {
      const char32_t u = UnicodeOfJisX0208(b - 0xA0, p[1] - 0xA0);
      if (u != 0) return Char(2, u);
    }
  } else if (b == 0x8E) {
    if (n >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF) return Char(2, 0xFF61 + (p[1] - 0xA1));
  } else if (b == 0x8F) {
    if (n >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
      const char32_t u = UnicodeOfJisX0212(p[1] - 0xA0, p[2] - 0xA0);
      if (u != 0) return Char(3, u);
    }
  }
  return Broken(1);
}

TextChar ReadCp932(const Byte* p, std::size_t n) {
  const Byte b = p[0];
  if (!IsLeadByte(b)) {
    const char32_t u = Cp932Scalar(b);
    return u != 0 || b == 0 ? Char(1, u) : Broken(1);
  }
  if (n >= 2 && IsTrailByte(p[1])) {
    const char32_t u = Cp932Scalar(static_cast<Code>(b << 8 | p[1]));
    if (u != 0) return Char(2, u);
  }
  return Broken(1);
}

// Whether the n bytes at p, which read as broken, are the start of a character cut short: more
// bytes could make a character of them.
bool CutShort(Encoding e, const Byte* p, std::size_t n) {
  switch (e) {
    case Encoding::kCp932:
      return n == 1 && IsLeadByte(p[0]);
    case Encoding::kEucJp:
      if (n == 1) return IsEucByte(p[0]) || p[0] == 0x8E || p[0] == 0x8F;
      return n == 2 && p[0] == 0x8F && IsEucByte(p[1]);
    default:
      return p[0] >= 0xC2 && p[0] <= 0xF4 && ReadUtf8(p, n).length == n;
  }
}

// --- The inverse of the EUC-JP reading.

struct EucJpReverse {
  std::vector<std::pair<char32_t, std::string>> forms;  // every sequence read, by scalar
};

const EucJpReverse& EucJpForms() {
  static const EucJpReverse reverse = [] {
    EucJpReverse r;
    Byte s[3] = {};
    auto add = [&r, &s](std::size_t n) {
      const TextChar c = ReadEucJp(s, n);
      if (!c.broken && c.length == n) {
        r.forms.emplace_back(c.unicode, std::string(reinterpret_cast<char*>(s), n));
      }
    };
    for (int b = 0; b < 0x100; ++b) {
      s[0] = static_cast<Byte>(b);
      add(1);
      for (int b1 = 0; b >= 0x80 && b1 < 0x100; ++b1) {
        s[1] = static_cast<Byte>(b1);
        add(2);
        for (int b2 = 0; b == 0x8F && b2 < 0x100; ++b2) {
          s[2] = static_cast<Byte>(b2);
          add(3);
        }
      }
    }
    std::stable_sort(r.forms.begin(), r.forms.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return r;
  }();
  return reverse;
}

// --- The forms of every code page 932 code.

// A code's place among the codes a text can hold: the 256 bytes, then the double-byte codes.
constexpr std::size_t kCodeSlots = 256 + 60 * kTrailCount;

int SlotOf(Code c) {
  if (c <= 0xFF) return c;
  if (!IsDoubleCode(c)) return -1;
  const unsigned lead = c >> 8;
  const unsigned lead_index = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
  return static_cast<int>(256 + lead_index * kTrailCount + TrailIndex(c & 0xFF));
}

std::string BytesOf(Code c) {
  std::string bytes;
  if (c > 0xFF) bytes.push_back(static_cast<char>(c >> 8));
  bytes.push_back(static_cast<char>(c & 0xFF));
  return bytes;
}

// Every code's forms in one block, a slot's after those of the slots before it: short strings
// in one allocation, where a vector a code made some 33,000 at the start of every run.
struct FormTable {
  std::vector<std::string> forms;
  std::vector<std::uint32_t> start;  // by slot, and the end

  // Built from each (slot, form) that `each` gives to the function it is called with, in two
  // passes, counting and then placing: a list of them all would be most of the memory a search
  // touches at its start, and on some machines each page first touched costs a fault dearer
  // than the pass.
  template <typename Each>
  explicit FormTable(Each each) : start(kCodeSlots + 2, 0) {
    each([&](int slot, auto&&) { ++start[static_cast<std::size_t>(slot) + 2]; });
    for (std::size_t i = 2; i < start.size(); ++i) start[i] += start[i - 1];
    forms.resize(start.back());
    each([&](int slot, auto&& form) {
      forms[start[static_cast<std::size_t>(slot) + 1]++] = std::forward<decltype(form)>(form);
    });
    start.pop_back();
  }
  std::span<const std::string> operator[](int slot) const {
    const auto i = static_cast<std::size_t>(slot);
    return {forms.data() + start[i], start[i + 1] - start[i]};
  }
};

// Code page 932 codes are their own one form: kept a row of slots at a time (the single bytes,
// then each lead byte's), made the first time one of the row is asked for.
class Cp932Forms {
 public:
  std::span<const std::string> operator[](int slot) {
    const std::size_t row =
        slot < 256 ? 0 : 1 + (static_cast<std::size_t>(slot) - 256) / kTrailCount;
    const std::size_t first = row == 0 ? 0 : 256 + (row - 1) * kTrailCount;
    std::call_once(made_[row], [&] {
      const std::size_t n = row == 0 ? 256 : kTrailCount;
      rows_[row] = std::make_unique<std::string[]>(n);
      for (std::size_t i = 0; i < n; ++i) rows_[row][i] = BytesOf(CodeOfSlot(first + i));
    });
    return {&rows_[row][static_cast<std::size_t>(slot) - first], 1};
  }

 private:
  static Code CodeOfSlot(std::size_t slot) {
    if (slot < 256) return static_cast<Code>(slot);
    const std::size_t lead_index = (slot - 256) / kTrailCount;
    const std::size_t trail_index = (slot - 256) % kTrailCount;
    const unsigned lead = lead_index < 31 ? 0x81 + lead_index : 0xE0 + lead_index - 31;
    const unsigned trail = trail_index < 0x3F ? 0x40 + trail_index : 0x41 + trail_index;
    return static_cast<Code>(lead << 8 | trail);
  }

  static constexpr std::size_t kRows = 1 + 60;
  std::once_flag made_[kRows];
  std::unique_ptr<std::string[]> rows_[kRows];
};

FormTable Utf8Forms() {
  return FormTable([](auto&& put) {
    for (char32_t u = 0; u <= 0xFFFF; ++u) {  // code page 932 holds nothing beyond
      const Code c = Cp932OfUnicode(u);
      if ((c == 0 && u != 0) || !IsScalar(u)) continue;
      std::string bytes;
      AppendUtf8Of(u, bytes);
      put(SlotOf(c), std::move(bytes));
    }
  });
}

FormTable EucJpFormsByCode() {
  return FormTable([](auto&& put) {
    for (const auto& [u, bytes] : EucJpForms().forms) {
      const Code c = Cp932OfUnicode(u);
      if (c != 0 || u == 0) put(SlotOf(c), bytes);
    }
  });
}

// --- The stateful encodings, one character (or escape) at a time. Each step takes the bytes
// at p and returns how many it used, or 0 when what they are depends on bytes not yet given (never
// at the end).

constexpr char kBrokenByte = '\xFF';

std::size_t StepUtf16(bool big_endian, bool& started, const Byte* p, std::size_t n, bool at_end,
                      std::string& out) {
  if (n < 2) {
    if (!at_end) return 0;
    out.push_back(kBrokenByte);  // an odd byte at the end
    return 1;
  }
  auto unit = [big_endian](const Byte* q) -> char32_t {
    return big_endian ? q[0] << 8 | q[1] : q[1] << 8 | q[0];
  };
  const char32_t u = unit(p);
  if (!started) {
    started = true;
    if (u == 0xFEFF) return 2;
  }
  if (u >= 0xD800 && u <= 0xDFFF) {
    if (u <= 0xDBFF && n < 4 && !at_end) return 0;
    const char32_t low = u <= 0xDBFF && n >= 4 ? unit(p + 2) : 0;
    if (low >= 0xDC00 && low <= 0xDFFF) {
      AppendUtf8Of(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
      return 4;
    }
    out.push_back(kBrokenByte);  // a lone surrogate: its unit, and what follows is read again
    return 2;
  }
  AppendUtf8Of(u, out);
  return 2;
}

// UTF-16 up to its first surrogate or odd byte, the common case, in one loop; returns the bytes
// taken.
std::size_t Utf16Run(const Byte* p, std::size_t n, bool big_endian, std::string& out) {
  const std::size_t before = out.size();
  out.resize(before + n / 2 * 3);
  char* o = out.data() + before;
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const unsigned u = big_endian ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i];
    if (u < 0x80) {
      *o++ = static_cast<char>(u);
    } else if (u < 0x800) {
      o[0] = static_cast<char>(0xC0 | u >> 6);
      o[1] = static_cast<char>(0x80 | (u & 0x3F));
      o += 2;
    } else if (u - 0xD800 < 0x800) {
      break;
    } else {
      o[0] = static_cast<char>(0xE0 | u >> 12);
      o[1] = static_cast<char>(0x80 | (u >> 6 & 0x3F));
      o[2] = static_cast<char>(0x80 | (u & 0x3F));
      o += 3;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return i;
}

enum Iso2022Set { kAscii, kJisX0208Set, kJisX0212Set, kKanaSet, kUnknownSet };

// The set an escape designates, from its intermediate bytes and final byte.
Iso2022Set DesignatedSet(std::string_view intermediates, Byte final) {
  if (intermediates == "(") {
    if (final == 'B' || final == 'J') return kAscii;
    if (final == 'I') return kKanaSet;
  } else if (intermediates == "$" || intermediates == "$(") {
    if (final == '@' || final == 'B') return kJisX0208Set;
    if (final == 'D' && intermediates == "$(") return kJisX0212Set;
  }
  return kUnknownSet;
}

// An escape is ESC, up to three intermediate bytes (0x20-0x2F) and a final byte (0x30-0x7E). One
// that designates a set changes the mode and writes nothing. Any other well-formed escape is one
// broken character; if it designates a set (it has intermediates), the text after it is in a set
// not read here, and its bytes are broken each until the next escape. ESC that begins no escape
// is broken alone, and the bytes after it are read again.
std::size_t StepEscape(int& mode, const Byte* p, std::size_t n, bool at_end, std::string& out) {
  std::size_t i = 1;
  while (i < n && i <= 3 && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
  if (i == n && !at_end) return 0;
  if (i == n || p[i] < 0x30 || p[i] > 0x7E) {
    out.push_back(kBrokenByte);
    return 1;
  }
  const std::string_view intermediates(reinterpret_cast<const char*>(p) + 1, i - 1);
  const Iso2022Set set = DesignatedSet(intermediates, p[i]);
  if (set == kUnknownSet) out.push_back(kBrokenByte);
  if (set != kUnknownSet || !intermediates.empty()) mode = set;
  return i + 1;
}

// Bytes 0x00-0x20 are ASCII whatever the mode; a byte above 0x7E is broken in any mode, as is an
// unassigned double-byte code (both its bytes, one broken character) or a lone first byte.
std::size_t StepIso2022Jp(int& mode, const Byte* p, std::size_t n, bool at_end, std::string& out) {
  const Byte b = p[0];
  if (b == 0x1B) return StepEscape(mode, p, n, at_end, out);
  if (b <= 0x20 || (b <= 0x7F && mode == kAscii)) {
    out.push_back(static_cast<char>(b));
    return 1;
  }
  if (b < 0x7F && mode == kKanaSet && b <= 0x5F) {
    AppendUtf8Of(0xFF61 + (b - 0x21), out);
    return 1;
  }
  if (b < 0x7F && (mode == kJisX0208Set || mode == kJisX0212Set)) {
    if (n < 2 && !at_end) return 0;
    if (n >= 2 && p[1] > 0x20 && p[1] < 0x7F) {
      const int row = b - 0x20, cell = p[1] - 0x20;
      const char32_t u =
          mode == kJisX0208Set ? UnicodeOfJisX0208(row, cell) : UnicodeOfJisX0212(row, cell);
      if (u != 0) {
        AppendUtf8Of(u, out);
      } else {
        out.push_back(kBrokenByte);
      }
      return 2;
    }
  }
  out.push_back(kBrokenByte);
  return 1;
}

// Code page 932, UTF-8 and EUC-JP, for completeness: a byte-order mark at the start is dropped,
// and every broken character becomes one broken byte.
std::size_t StepText(Encoding e, bool& started, const Byte* p, std::size_t n, bool at_end,
                     std::string& out) {
  if (!started && e == Encoding::kUtf8) {
    static constexpr Byte kMark[] = {0xEF, 0xBB, 0xBF};
    const std::size_t k = std::min<std::size_t>(n, 3);
    if (std::equal(p, p + k, kMark)) {
      if (k < 3 && !at_end) return 0;
      if (k == 3) {
        started = true;
        return 3;
      }
    }
  }
  started = true;
  const TextChar c = ReadTextChar(e, reinterpret_cast<const char*>(p), n);
  if (c.broken && !at_end && CutShort(e, p, n)) return 0;
  if (c.broken) {
    out.push_back(kBrokenByte);
  } else {
    AppendUtf8Of(c.unicode, out);
  }
  return c.length;
}

// How many bytes from p on, of n, are ASCII: eight at a time, for the mostly ASCII files that are
// common (sources, markup).
std::size_t AsciiRun(const Byte* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    if ((w & 0x8080808080808080u) != 0) break;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// 7-bit text with an escape that designates a set of Japanese characters.
bool IsIso2022Jp(const Byte* p, std::size_t n) {
  if (AsciiRun(p, n) != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const Byte* escape = FindByte(p + i, Byte{0x1B}, n - i);
    if (escape == nullptr) break;
    i = static_cast<std::size_t>(escape - p);
    const std::string_view rest(reinterpret_cast<const char*>(p) + i + 1,
                                std::min<std::size_t>(n - i - 1, 3));
    if (rest.starts_with("$B") || rest.starts_with("$@") || rest.starts_with("$(D") ||
        rest.starts_with("(I")) {
      return true;
    }
  }
  return false;
}

// Whether the head is UTF-8: its first kUtf8Decisive characters beyond ASCII well formed (the
// rest of the head too, when it has fewer), but for one that the end of an incomplete head cuts
// short. Neither Shift_JIS nor EUC-JP text gets past its first few characters, and a UTF-8 file
// with a stray byte further on is still read as UTF-8 (the byte a broken character).
constexpr std::size_t kUtf8Decisive = 256;

bool IsUtf8(const Byte* p, std::size_t n, bool complete) {
  std::size_t i = 0;
  for (std::size_t seen = 0; i < n && seen < kUtf8Decisive; ++seen) {
    i += AsciiRun(p + i, n - i);
    if (i == n) break;
    const unsigned b = p[i];
    // Three-byte characters that can be neither overlong nor surrogates (kana and kanji).
    if (b - 0xE1 <= 0xEF - 0xE1 && b != 0xED && n - i >= 3 &&
        ((p[i + 1] ^ 0x80u) | (p[i + 2] ^ 0x80u)) < 0x40) {
      i += 3;
      continue;
    }
    const TextChar c = ReadUtf8(p + i, n - i);
    if (c.broken) return !complete && CutShort(Encoding::kUtf8, p + i, n - i);
    i += c.length;
  }
  return true;
}

// A reading of the head in one encoding, taken up to a place at a time.
struct Reading {
  Encoding encoding;
  std::size_t at = 0, broken = 0, chars = 0;

  void To(const Byte* p, std::size_t to, std::size_t n, bool complete) {
    while (at < to) {
      if (p[at] < 0x80) {
        const std::size_t run = AsciiRun(p + at, to - at);
        at += run;
        chars += run;
        continue;
      }
      const TextChar c =
          encoding == Encoding::kEucJp ? ReadEucJp(p + at, n - at) : ReadCp932(p + at, n - at);
      if (c.broken && !complete && CutShort(encoding, p + at, n - at)) {
        at = n;  // the head's end cut the character: not counted
        return;
      }
      broken += c.broken ? 1 : 0;
      ++chars;
      at += c.length;
    }
  }
};

}  // namespace

void AppendUtf8Of(char32_t u, std::string& out) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | u >> 6));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else if (u < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | u >> 12));
    out.push_back(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | u >> 18));
    out.push_back(static_cast<char>(0x80 | (u >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

const char* EncodingName(Encoding e) {
  switch (e) {
    case Encoding::kCp932:
      return "sjis";
    case Encoding::kUtf8:
      return "utf-8";
    case Encoding::kEucJp:
      return "euc-jp";
    case Encoding::kUtf16Le:
      return "utf-16le";
    case Encoding::kUtf16Be:
      return "utf-16be";
    case Encoding::kIso2022Jp:
      return "iso-2022-jp";
  }
  return "sjis";
}

bool EncodingNamed(std::string_view name, Encoding& e) {
  for (const Name& n : kNames) {
    if (SameIgnoringCase(name, n.name)) {
      e = n.encoding;
      return true;
    }
  }
  return false;
}

char32_t UnicodeOfCp932(Code c) { return Cp932Scalar(c); }

Code Cp932OfUnicode(char32_t u) { return u <= 0xFFFF ? kWritten.code[u] : 0; }

const Code* Cp932OfBmp() { return kWritten.code; }

Code WrittenCp932(Code c) { return kWrittenOfCode.code[c]; }

const Code* WrittenCp932Codes() { return kWrittenOfCode.code; }

const std::vector<std::pair<Code, Code>>& Cp932Twins() {
  static const std::vector<std::pair<Code, Code>> twins = [] {
    std::vector<std::pair<Code, Code>> t;
    for (const unsigned lead : kTwinLeads) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const auto c = static_cast<Code>(lead << 8 | trail);
        if (kWrittenOfCode.code[c] != c) t.emplace_back(c, kWrittenOfCode.code[c]);
      }
    }
    return t;
  }();
  return twins;
}

char32_t UnicodeOfJisX0212(int row, int cell) {
  if (row < 1 || row > 94 || cell < 1 || cell > 94) return 0;
  const int index = kJisX0212RowIndex[row - 1];
  return index < 0 ? 0 : kJisX0212[index][cell - 1];
}

TextChar ReadTextChar(Encoding e, const char* text, std::size_t n) {
  const auto* p = reinterpret_cast<const Byte*>(text);
  switch (ReadAs(e)) {
    case Encoding::kCp932:
      return ReadCp932(p, n);
    case Encoding::kEucJp:
      return ReadEucJp(p, n);
    default:
      return ReadUtf8(p, n);
  }
}

std::span<const std::string> FormsOfCp932(Encoding e, Code c) {
  const int slot = SlotOf(c);
  if (slot < 0) return {};
  if (c < 0x80) {
    // ASCII is itself in every encoding: no need to build the tables for ASCII patterns.
    static const std::vector<std::string> ascii = [] {
      std::vector<std::string> t;
      for (unsigned b = 0; b < 0x80; ++b) t.emplace_back(1, static_cast<char>(b));
      return t;
    }();
    return {&ascii[c], 1};
  }
  switch (ReadAs(e)) {
    case Encoding::kCp932: {
      static Cp932Forms forms;
      return forms[slot];
    }
    case Encoding::kEucJp: {
      static const FormTable table = EucJpFormsByCode();
      return table[slot];
    }
    default: {
      static const FormTable table = Utf8Forms();
      return table[slot];
    }
  }
}

std::vector<std::string> FormsOfUnicode(Encoding e, char32_t u) {
  std::vector<std::string> forms;
  if (!IsScalar(u)) return forms;
  auto by_scalar = [](const auto& a, char32_t v) { return a.first < v; };
  switch (ReadAs(e)) {
    case Encoding::kCp932: {
      const auto& codes = Cp932Codes();
      for (auto it = std::lower_bound(codes.begin(), codes.end(), u, by_scalar);
           it != codes.end() && it->first == u; ++it) {
        forms.push_back(BytesOf(it->second));
      }
      break;
    }
    case Encoding::kEucJp: {
      // Kana, the most asked, without the whole table: JIS X 0208 rows 4 and 5 hold them in
      // Unicode's order.
      if ((u >= 0x3041 && u <= 0x3093) || (u >= 0x30A1 && u <= 0x30F6)) {
        const bool hiragana = u <= 0x3093;
        const char32_t column = u - (hiragana ? 0x3040 : 0x30A0);
        forms.push_back(
            {static_cast<char>(hiragana ? 0xA4 : 0xA5), static_cast<char>(0xA0 + column)});
        break;
      }
      const auto& all = EucJpForms().forms;
      for (auto it = std::lower_bound(all.begin(), all.end(), u, by_scalar);
           it != all.end() && it->first == u; ++it) {
        forms.push_back(it->second);
      }
      break;
    }
    default:
      forms.emplace_back();
      AppendUtf8Of(u, forms.back());
  }
  return forms;
}

void AppendUtf8(Encoding e, const char* text, std::size_t n, std::string& out) {
  if (ReadAs(e) == Encoding::kUtf8) {
    out.append(text, n);
    return;
  }
  for (std::size_t i = 0; i < n;) {
    const TextChar c = ReadTextChar(e, text + i, n - i);
    if (c.broken) {
      out += "\xEF\xBF\xBD";
    } else {
      AppendUtf8Of(c.unicode, out);
    }
    i += c.length;
  }
}

bool CanHold(Encoding e, char32_t u) {
  switch (e) {
    case Encoding::kUtf8:
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      return true;
    case Encoding::kEucJp:
      return !FormsOfUnicode(e, u).empty();
    case Encoding::kCp932:
    case Encoding::kIso2022Jp:
      break;
  }
  return false;
}

void AppendTextAsUtf8(Encoding e, const char* text, std::size_t n, std::string& out) {
  if (ReadsAsUtf8(e)) {
    Utf8Transcoder(e).Convert(text, n, true, out);
  } else {
    AppendUtf8(e, text, n, out);
  }
}

void AppendTextAsValidUtf8(Encoding e, const char* text, std::size_t n, std::string& out) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  if (ReadsAsUtf8(e)) {
    std::string read;
    Utf8Transcoder(e).Convert(text, n, true, read);
    for (const char c : read) {
      if (c == kBrokenByte) {
        out += kReplacement;
      } else {
        out += c;
      }
    }
  } else if (ReadAs(e) == Encoding::kUtf8) {
    for (std::size_t i = 0; i < n;) {
      const TextChar c = ReadTextChar(e, text + i, n - i);
      if (c.broken) {
        out += kReplacement;
      } else {
        out.append(text + i, c.length);
      }
      i += c.length;
    }
  } else {
    AppendUtf8(e, text, n, out);
  }
}

std::size_t FirstBrokenUtf8(const char* text, std::size_t n) {
  for (std::size_t at = 0; at < n;) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, text + at, n - at);
    if (c.broken) return at;
    at += c.length;
  }
  return n;
}

Utf8Transcoder::Utf8Transcoder(Encoding e) : encoding_(e), mode_(kAscii) {
  marks_.push_back({0, 0, 0, Width()});
}

unsigned char Utf8Transcoder::Width() const {
  if (encoding_ != Encoding::kIso2022Jp) return 0;
  return mode_ == kJisX0208Set || mode_ == kJisX0212Set ? 2 : 1;
}

namespace {

// The input bytes of UTF-8 output text[0, n) at a width (Utf8Transcoder::Mark). Every line
// reported from UTF-16 text asks for the bytes since the last: sixteen at a time, each count
// kept per byte (a true compare is -1) and summed at most every 255 blocks.
std::uint64_t InputBytes(const char* text, std::size_t n, unsigned char width) {
  std::uint64_t chars = 0, beyond = 0, trail_bytes = 0;
  std::size_t i = 0;
  const __m128i first_lead = _mm_set1_epi8(static_cast<char>(0xC0));  // signed, trails are below
  const __m128i lead4 = _mm_set1_epi8(static_cast<char>(0xF0));
  const __m128i broken = _mm_set1_epi8(kBrokenByte);
  auto sum = [](__m128i counts) {
    const __m128i pairs = _mm_sad_epu8(counts, _mm_setzero_si128());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si32(pairs)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(pairs, pairs)));
  };
  while (i + 16 <= n) {
    __m128i trails = _mm_setzero_si128(), leads4 = _mm_setzero_si128();
    for (int blocks = 0; blocks < 255 && i + 16 <= n; ++blocks, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      trails = _mm_sub_epi8(trails, _mm_cmplt_epi8(v, first_lead));
      leads4 = _mm_sub_epi8(leads4, _mm_andnot_si128(_mm_cmpeq_epi8(v, broken),
                                                     _mm_cmpeq_epi8(_mm_max_epu8(v, lead4), v)));
    }
    trail_bytes += sum(trails);
    beyond += sum(leads4);
  }
  chars = i - trail_bytes;
  for (; i < n; ++i) {
    const auto b = static_cast<Byte>(text[i]);
    chars += (b & 0xC0) != 0x80;
    beyond += b >= 0xF0 && b != static_cast<Byte>(kBrokenByte);
  }
  return width == 0 ? 2 * (chars + beyond) : chars * width;
}

}  // namespace

void Utf8Transcoder::Note(std::uint64_t out, std::uint64_t before, unsigned char width) {
  if (!marks_.empty() && marks_.back().out == out) {
    before = std::min(before, marks_.back().before);
    marks_.pop_back();
  }
  marks_.push_back({out, consumed_, before, width});
}

std::uint64_t Utf8Transcoder::SourceOffset(std::uint64_t at, const char* text, std::uint64_t base,
                                           bool line_start) const {
  auto mark = std::upper_bound(marks_.begin(), marks_.end(), at,
                               [](std::uint64_t a, const Mark& m) { return a < m.out; });
  if (mark == marks_.begin()) return at;  // before the oldest kept: not asked
  --mark;
  if (mark->out == at) return line_start ? mark->before : mark->source;
  // Offsets are asked for in order, line after line: go on from the last answer when it lies
  // between the mark and `at`, rather than count from the mark each time.
  std::uint64_t from = std::max(mark->out, base), source = mark->source;
  if (last_out_ > from && last_out_ <= at) {
    from = last_out_;
    source = last_source_;
  }
  source += InputBytes(text + (from - base), static_cast<std::size_t>(at - from), mark->width);
  last_out_ = at;
  last_source_ = source;
  return source;
}

void Utf8Transcoder::Forget(std::uint64_t at, std::uint64_t source) {
  auto mark = std::upper_bound(marks_.begin(), marks_.end(), at,
                               [](std::uint64_t a, const Mark& m) { return a < m.out; });
  if (mark == marks_.begin()) return;
  const Mark last = *std::prev(mark);
  marks_.erase(marks_.begin(), mark);
  if (last.out == at) {
    marks_.insert(marks_.begin(), last);
  } else {
    marks_.insert(marks_.begin(), {at, source, source, last.width});
  }
}

void Utf8Transcoder::Convert(const char* in, std::size_t n, bool last, std::string& out) {
  const std::size_t start = out.size();
  // One character at a time, each checked against the rule of the marks.
  auto step = [this, &out, start](const char* p, std::size_t size, bool at_end) -> std::size_t {
    const auto* q = reinterpret_cast<const Byte*>(p);
    const std::size_t before = out.size();
    const unsigned char width = Width();
    std::size_t used;
    switch (encoding_) {
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be:
        used = StepUtf16(encoding_ == Encoding::kUtf16Be, started_, q, size, at_end, out);
        break;
      case Encoding::kIso2022Jp:
        used = StepIso2022Jp(mode_, q, size, at_end, out);
        break;
      default:
        used = StepText(encoding_, started_, q, size, at_end, out);
        break;
    }
    const std::uint64_t expected = InputBytes(out.data() + before, out.size() - before, width);
    consumed_ += used;
    if (used > 0 && (Width() != width || expected != used)) {
      // What wrote nothing began where the step did; a character read otherwise ends here.
      Note(produced_ + (out.size() - start), out.size() == before ? consumed_ - used : consumed_,
           Width());
    }
    return used;
  };
  std::size_t i = 0;
  // A character the last block cut: it takes bytes of this one until it is whole. No step needs
  // more than five bytes, so this stays short.
  while (!pending_.empty()) {
    const std::size_t used = step(pending_.data(), pending_.size(), last && i == n);
    if (used > 0) {
      pending_.erase(0, used);
    } else if (i < n) {
      pending_.push_back(in[i++]);
    } else {
      produced_ += out.size() - start;
      return;
    }
  }
  const bool utf16 = encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be;
  while (i < n) {
    if (utf16 && started_) {
      const std::size_t run = Utf16Run(reinterpret_cast<const Byte*>(in) + i, n - i,
                                       encoding_ == Encoding::kUtf16Be, out);
      i += run;
      consumed_ += run;
      if (i == n) break;
    }
    const std::size_t used = step(in + i, n - i, last);
    if (used == 0) {
      pending_.assign(in + i, n - i);
      break;
    }
    i += used;
  }
  produced_ += out.size() - start;
}

std::size_t ByteOrderMarkLength(Encoding e, const char* text, std::size_t n) {
  const std::string_view head(text, n);
  switch (e) {
    case Encoding::kUtf8:
      return head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    case Encoding::kUtf16Le:
      return head.starts_with("\xFF\xFE") ? 2 : 0;
    case Encoding::kUtf16Be:
      return head.starts_with("\xFE\xFF") ? 2 : 0;
    default:
      return 0;
  }
}

Encoding DetectEncoding(const char* head, std::size_t n, bool complete) {
  for (Encoding e : {Encoding::kUtf8, Encoding::kUtf16Le, Encoding::kUtf16Be}) {
    if (ByteOrderMarkLength(e, head, n) > 0) return e;
  }
  const auto* p = reinterpret_cast<const Byte*>(head);
  if (IsIso2022Jp(p, n)) return Encoding::kIso2022Jp;
  if (IsUtf8(p, n, complete)) return Encoding::kUtf8;
  // EUC-JP against code page 932, read side by side until one has kDecisive more broken
  // characters than the other: text of either breaks on nearly every character in the other.
  constexpr std::size_t kStep = 256, kDecisive = 16;
  Reading euc{Encoding::kEucJp}, sjis{Encoding::kCp932};
  for (std::size_t to = 0; to < n;) {
    to = std::min(n, to + kStep);
    euc.To(p, to, n, complete);
    sjis.To(p, to, n, complete);
    if (euc.broken >= sjis.broken + kDecisive || sjis.broken >= euc.broken + kDecisive) break;
  }
  if (euc.broken != sjis.broken) {
    return euc.broken < sjis.broken ? Encoding::kEucJp : Encoding::kCp932;
  }
  return euc.chars < sjis.chars ? Encoding::kEucJp : Encoding::kCp932;
}

}  // namespace kensaku
