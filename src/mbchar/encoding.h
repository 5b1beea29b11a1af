// The Japanese encodings a text may come in, against code page 932, the library's own: which
// Unicode character each code page 932 code is, how UTF-8 and EUC-JP text reads character by
// character, the byte forms a character takes in each, the stateful encodings (UTF-16,
// ISO-2022-JP) turned into UTF-8 as they are read, and which encoding a file's first bytes say it
// is in.
//
// Two characters are the same character in any encoding exactly when their code page 932 forms
// are; where Unicode has two forms of one JIS character (the wave dash U+301C and U+FF5E), both
// are that character.
#ifndef KENSAKU_SRC_MBCHAR_ENCODING_H_
#define KENSAKU_SRC_MBCHAR_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mbchar/mbchar.h"

namespace kensaku {

enum class Encoding : unsigned char { kCp932, kUtf8, kEucJp, kUtf16Le, kUtf16Be, kIso2022Jp };
inline constexpr int kEncodingCount = 6;

// UTF-16 and ISO-2022-JP are searched as the UTF-8 they turn into (Utf8Transcoder); the others
// in their own bytes.
constexpr bool ReadsAsUtf8(Encoding e) {
  return e == Encoding::kUtf16Le || e == Encoding::kUtf16Be || e == Encoding::kIso2022Jp;
}

// "sjis", "utf-8", "euc-jp", "utf-16le", "utf-16be", "iso-2022-jp".
const char* EncodingName(Encoding e);
// The encoding of a name, in any case, with the usual aliases (cp932, shift_jis, utf8, eucjp,
// utf16le, jis, ...); false when it names none.
bool EncodingNamed(std::string_view name, Encoding& e);

// --- Code page 932 and Unicode. A code is a byte or lead << 8 | trail, as Code is elsewhere.

// The Unicode scalar of a code page 932 character; 0 for a code that is none (an unassigned
// double-byte code, a lone lead byte, 0x80, 0xA0, 0xFD-0xFF). NUL is 0 too.
char32_t UnicodeOfCp932(Code c);

// The code page 932 character of a Unicode scalar, or 0 when code page 932 has none. Where code
// page 932 holds a character twice, the code Windows writes for it (U+2252 -> 0x81E0, U+2170 ->
// 0xFA40). Both forms of the JIS characters that Unicode splits give the character: U+301C and
// U+FF5E -> 0x8160, U+2016 and U+2225 -> 0x8161, U+2212 and U+FF0D -> 0x817C, U+00A2 and U+FFE0
// -> 0x8191, U+00A3 and U+FFE1 -> 0x8192, U+00AC and U+FFE2 -> 0x81CA.
Code Cp932OfUnicode(char32_t u);
// The code written for the character c reads as (Cp932OfUnicode(UnicodeOfCp932(c))): c itself
// but for the characters code page 932 holds twice (0x8790 -> 0x81E0, 0xED40 -> 0xFA5C).
Code WrittenCp932(Code c);
// WrittenCp932 of every code, as one table.
const Code* WrittenCp932Codes();
// Every (code, WrittenCp932(code)) that differs, in code order: a few hundred.
const std::vector<std::pair<Code, Code>>& Cp932Twins();
// Cp932OfUnicode of every scalar below 0x10000, as one table, for loops over many characters.
const Code* Cp932OfBmp();

// The Unicode scalar of the JIS X 0212 character at row and cell (1-94 each), or 0.
char32_t UnicodeOfJisX0212(int row, int cell);

// --- Text read character by character: UTF-8 and EUC-JP (the encodings searched line by line in
// their own bytes, as code page 932 is).

// One character read from a text.
struct TextChar {
  std::size_t length = 0;  // bytes it takes, at least 1
  char32_t unicode = 0;    // its scalar; 0 for NUL and for a broken character
  bool broken = false;     // an ill-formed sequence: a character of its own that matches none
};

// The character at text[0] of a UTF-8 or EUC-JP text of n > 0 bytes. In UTF-8 an ill-formed
// sequence is broken one maximal subpart at a time (as U+FFFD replacement counts them); in
// EUC-JP a byte that begins no character is broken alone. EUC-JP reads JIS X 0208 with the NEC
// and IBM rows of code page 932 (13 and 89-92), the user rows (85-94 otherwise), half-width kana
// after 0x8E and JIS X 0212 after 0x8F.
TextChar ReadTextChar(Encoding e, const char* text, std::size_t n);

// Every byte sequence of a UTF-8 or EUC-JP text that reads as a character whose code page 932 form
// is c (for code page 932 itself, c's own bytes); empty when there is none.
std::span<const std::string> FormsOfCp932(Encoding e, Code c);
// Those that read as the Unicode scalar u, which code page 932 lacks; empty where the encoding
// cannot hold it.
std::vector<std::string> FormsOfUnicode(Encoding e, char32_t u);
// Whether a text in the encoding can hold u, a character code page 932 lacks: UTF-8 and UTF-16
// hold every one, EUC-JP those of JIS X 0212, code page 932 and ISO-2022-JP as read here none.
bool CanHold(Encoding e, char32_t u);

// Appends the UTF-8 of one scalar.
void AppendUtf8Of(char32_t u, std::string& out);

// Appends text in code page 932, UTF-8 or EUC-JP as UTF-8: each character code page 932 or
// EUC-JP cannot read becomes U+FFFD; UTF-8 is copied as it is.
void AppendUtf8(Encoding e, const char* text, std::size_t n, std::string& out);
// The same for a whole text in any encoding, the stateful ones turned as Utf8Transcoder does.
void AppendTextAsUtf8(Encoding e, const char* text, std::size_t n, std::string& out);
// As AppendTextAsUtf8, but every broken character becomes U+FFFD, in UTF-8 text too: the result
// is always well-formed, as a caller outside the library expects UTF-8 to be.
void AppendTextAsValidUtf8(Encoding e, const char* text, std::size_t n, std::string& out);

// The first byte of a UTF-8 text that begins no well-formed character, or n.
std::size_t FirstBrokenUtf8(const char* text, std::size_t n);

// --- The stateful encodings, turned into UTF-8 as they are read.

// UTF-16 (either byte order) or ISO-2022-JP to UTF-8, block by block. A character cut by a
// block's end waits for the next. A byte-order mark at the very start is dropped. An ill-formed
// unit (a lone surrogate, a byte no escape allows) becomes the byte 0xFF, which UTF-8 text never
// holds, so that it reads as a broken character. ISO-2022-JP reads ESC ( B and ESC ( J as ASCII,
// ESC $ @ and ESC $ B as JIS X 0208, ESC $ ( D as JIS X 0212 and ESC ( I as half-width kana; a
// line feed is kept in whatever mode.
class Utf8Transcoder {
 public:
  explicit Utf8Transcoder(Encoding e);
  // Appends the UTF-8 of in[0, n) to out; with last, also of what still waits (as broken).
  void Convert(const char* in, std::size_t n, bool last, std::string& out);

  // Where the output came from in the input, counted over every call: each character of the
  // output after a mark takes `width` bytes of input (UTF-16, width 0: two per unit, so four for
  // a character beyond U+FFFF), until the next mark. A mark is made wherever that rule would
  // fail: a byte-order mark or an escape that writes nothing, a change of set, a byte that a
  // set of two-byte characters reads alone.
  struct Mark {
    std::uint64_t out = 0, source = 0;
    std::uint64_t before = 0;  // the input offset before what wrote nothing there (escapes)
    unsigned char width = 0;
  };
  // The input offset of output offset `at`, a character boundary at or after the oldest mark
  // kept: where the character's own bytes begin, or with `line_start` where escapes or a
  // byte-order mark right before it begin. `text` holds the output from offset `base` up to `at`
  // at least, base at or before the mark before `at`.
  std::uint64_t SourceOffset(std::uint64_t at, const char* text, std::uint64_t base,
                             bool line_start = false) const;
  // Output before `at` is no longer asked about; its source offset is kept as a mark.
  void Forget(std::uint64_t at, std::uint64_t source);

 private:
  unsigned char Width() const;
  void Note(std::uint64_t out, std::uint64_t before, unsigned char width);

  Encoding encoding_;
  bool started_ = false;
  std::string pending_;  // the bytes of a character not yet whole
  int mode_ = 0;         // ISO-2022-JP: the set the escapes chose
  std::uint64_t produced_ = 0;  // output bytes before the call under way
  std::uint64_t consumed_ = 0;  // input bytes read into characters
  std::vector<Mark> marks_;     // in order, the oldest first
  // The last offset SourceOffset gave, output and input, within the marks' rule.
  mutable std::uint64_t last_out_ = 0, last_source_ = 0;
};

// --- Detection.

// The length of the byte-order mark that begins a text in the encoding (UTF-8, UTF-16), else 0.
std::size_t ByteOrderMarkLength(Encoding e, const char* text, std::size_t n);

// The encoding a file's first n bytes say it is in (complete: they are the whole file). In order:
// a byte-order mark (UTF-8, UTF-16LE, UTF-16BE); ISO-2022-JP escapes in 7-bit text; valid UTF-8
// (its first 256 characters beyond ASCII are; a character cut by the end of an incomplete head
// counts as valid); then EUC-JP or code page 932, whichever reads with fewer broken characters
// (the two read side by side until one has 16 more), and on a tie the one that reads fewer
// characters (EUC-JP kana read as code page 932 are twice as many half-width kana); code page 932
// when nothing decides.
Encoding DetectEncoding(const char* head, std::size_t n, bool complete);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_ENCODING_H_
