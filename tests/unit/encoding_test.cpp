// The encodings against glibc's converters, where the platform has them, and against each other:
// every code page 932 and EUC-JP code, the code written back for each character, UTF-16 and
// ISO-2022-JP turned into UTF-8 in any cut of blocks, and detection.
#include "mbchar/encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define KENSAKU_HAVE_ICONV 1
#endif

namespace kensaku {
namespace {

std::string Utf8Of(char32_t u) {
  const std::vector<std::string> forms = FormsOfUnicode(Encoding::kUtf8, u);
  return forms.empty() ? std::string() : forms[0];
}

std::string Transcoded(Encoding e, const std::string& in, std::size_t block) {
  Utf8Transcoder t(e);
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += block) {
    const std::size_t n = std::min(block, in.size() - i);
    t.Convert(in.data() + i, n, i + n == in.size(), out);
  }
  if (in.empty()) t.Convert("", 0, true, out);
  return out;
}

#ifdef KENSAKU_HAVE_ICONV
// What glibc makes of bytes; false when it refuses them.
bool Iconv(const char* from, const char* to, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src = in;
  out.assign(in.size() * 4 + 16, '\0');
  char* ip = src.data();
  char* op = out.data();
  std::size_t il = src.size(), ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
  iconv_close(cd);
  out.resize(out.size() - ol);
  return ok;
}

TEST(EncodingTest, Cp932ReadsAsGlibcReadsIt) {
  int compared = 0;
  for (unsigned c = 0x8140; c <= 0xFCFC; ++c) {
    if (!IsDoubleCode(static_cast<Code>(c))) continue;
    const std::string bytes{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    std::string utf8;
    const char32_t u = UnicodeOfCp932(static_cast<Code>(c));
    if (Iconv("CP932", "UTF-8", bytes, utf8)) {
      ASSERT_EQ(Utf8Of(u), utf8) << std::hex << c;
      ++compared;
    } else {
      ASSERT_EQ(u, 0u) << std::hex << c;
    }
  }
  EXPECT_GT(compared, 7000);
}

// The code written for each character is the one glibc's converter (like Windows) writes.
TEST(EncodingTest, WrittenCodeIsGlibcs) {
  for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    std::string sjis;
    const Code c = Cp932OfUnicode(u);
    if (!Iconv("UTF-8", "CP932", Utf8Of(u), sjis)) continue;
    const Code expected = sjis.size() == 1 ? static_cast<unsigned char>(sjis[0])
                                           : static_cast<unsigned char>(sjis[0]) << 8 |
                                                 static_cast<unsigned char>(sjis[1]);
    // Glibc also writes best fits (U+00A5 as 0x5C); only codes that read back are the character.
    if (UnicodeOfCp932(expected) != u) continue;
    ASSERT_EQ(c, expected) << std::hex << static_cast<unsigned>(u);
  }
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    const Code code = static_cast<Code>(c);
    const Code written = UnicodeOfCp932(code) != 0 ? Cp932OfUnicode(UnicodeOfCp932(code)) : 0;
    ASSERT_EQ(WrittenCp932(code), written != 0 ? written : code) << std::hex << c;
  }
}

// EUC-JP as glibc's EUC-JP-MS reads it: the NEC rows and IBM extensions of code page 932, JIS X
// 0212 after 0x8F. Glibc leaves some codes unread that code page 932 reads; those are skipped.
TEST(EncodingTest, EucJpReadsAsGlibcReadsIt) {
  int compared = 0;
  for (unsigned b0 = 0x8E; b0 <= 0xFE; ++b0) {
    for (unsigned b1 = 0xA1; b1 <= 0xFE; ++b1) {
      for (unsigned b2 = b0 == 0x8F ? 0xA1 : 0; b2 <= (b0 == 0x8F ? 0xFEu : 0u); ++b2) {
        std::string bytes{static_cast<char>(b0), static_cast<char>(b1)};
        if (b0 == 0x8F) bytes += static_cast<char>(b2);
        std::string utf8;
        if (!Iconv("EUC-JP-MS", "UTF-8", bytes, utf8)) continue;
        const TextChar c = ReadTextChar(Encoding::kEucJp, bytes.data(), bytes.size());
        // Rows 85-94: glibc reads user-defined characters, Windows (and this) reads rows 89-92
        // as code page 932's NEC-selected IBM extensions.
        if (c.broken || (b0 != 0x8F && b0 >= 0xF5)) continue;
        ASSERT_EQ(c.length, bytes.size());
        // Glibc reads the split JIS characters the JIS way; both forms are one character here.
        ASSERT_EQ(Cp932OfUnicode(c.unicode),
                  Cp932OfUnicode(ReadTextChar(Encoding::kUtf8, utf8.data(), utf8.size()).unicode))
            << std::hex << b0 << ' ' << b1 << ' ' << b2;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 13000);
}
#endif

// The forms of a character read back as it, in each encoding, and a character read from text
// is among the forms of its code.
TEST(EncodingTest, FormsReadBackAsTheirCharacter) {
  for (Encoding e : {Encoding::kCp932, Encoding::kUtf8, Encoding::kEucJp}) {
    int with_forms = 0;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
      // Code page 932's own forms are every code's bytes, characters or not.
      if (UnicodeOfCp932(static_cast<Code>(c)) == 0) continue;
      for (const std::string& form : FormsOfCp932(e, static_cast<Code>(c))) {
        const TextChar t = ReadTextChar(e, form.data(), form.size());
        ASSERT_FALSE(t.broken) << EncodingName(e) << std::hex << ' ' << c;
        ASSERT_EQ(t.length, form.size());
        // The same character: a code held twice reads as the one written for it.
        ASSERT_EQ(Cp932OfUnicode(t.unicode), Cp932OfUnicode(UnicodeOfCp932(static_cast<Code>(c))))
            << std::hex << c;
        ++with_forms;
      }
    }
    EXPECT_GT(with_forms, 7000) << EncodingName(e);
  }
  // The wave dash in either form is one character; emoji are UTF-8's only.
  EXPECT_EQ(FormsOfCp932(Encoding::kUtf8, 0x8160).size(), 2u);
  EXPECT_EQ(Cp932OfUnicode(0x301C), Cp932OfUnicode(0xFF5E));
  // Every EUC-JP pair is among the forms of what it reads as (kana are found without the table).
  for (unsigned b0 = 0xA1; b0 <= 0xFE; ++b0) {
    for (unsigned b1 = 0xA1; b1 <= 0xFE; ++b1) {
      const std::string pair{static_cast<char>(b0), static_cast<char>(b1)};
      const TextChar t = ReadTextChar(Encoding::kEucJp, pair.data(), pair.size());
      if (t.broken) continue;
      const std::vector<std::string> forms = FormsOfUnicode(Encoding::kEucJp, t.unicode);
      ASSERT_NE(std::find(forms.begin(), forms.end(), pair), forms.end()) << std::hex << b0 << b1;
    }
  }
  EXPECT_TRUE(FormsOfUnicode(Encoding::kEucJp, 0x1F600).empty());
  EXPECT_EQ(FormsOfUnicode(Encoding::kEucJp, 0x4E02).size(), 1u);  // JIS X 0212
}

// UTF-8 breaks ill-formed text one maximal subpart at a time.
TEST(EncodingTest, BrokenUtf8Lengths) {
  const struct {
    const char* text;
    std::vector<std::size_t> lengths;  // of each character read; broken ones marked by a 100+
  } kRows[] = {
      {"\x80", {101}},
      {"\xE3\x81", {102}},
      {"\xE3\x81\x82", {3}},
      {"\xF0\x9F\x98\x80", {4}},
      {"\xC0\xAF", {101, 101}},           // overlong: no lead byte
      {"\xED\xA0\x80", {101, 101, 101}},  // a surrogate
      {"\xF4\x90\x80\x80", {101, 101, 101, 101}},
      {"\xE3\x41", {101, 1}},
      {"\xF0\x9F\x98", {103}},
  };
  for (const auto& row : kRows) {
    const std::string text = row.text;
    std::vector<std::size_t> got;
    for (std::size_t i = 0; i < text.size();) {
      const TextChar c = ReadTextChar(Encoding::kUtf8, text.data() + i, text.size() - i);
      got.push_back(c.length + (c.broken ? 100 : 0));
      i += c.length;
    }
    EXPECT_EQ(got, row.lengths) << text;
  }
}

// UTF-16 and ISO-2022-JP give the same UTF-8 whatever blocks they come in, and the UTF-8 glibc
// gives for well-formed text.
TEST(EncodingTest, TranscodingIgnoresBlocks) {
  std::mt19937 rng(20);
  const std::vector<char32_t> chars = {'a',    ' ',    '\n',   0x3042,  0x30AC, 0xFF76,
                                       0xFF9E, 0x4E9C, 0x4E02, 0x1F600, 0x2460, 0xFF5E};
  for (int round = 0; round < 200; ++round) {
    std::vector<char32_t> text(rng() % 40);
    for (char32_t& u : text) u = chars[rng() % chars.size()];
    std::string utf8;
    for (char32_t u : text) utf8 += Utf8Of(u);
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char32_t u : text) {
      const char32_t v = u - 0x10000;
      const std::vector<char32_t> units =
          u < 0x10000 ? std::vector<char32_t>{u}
                      : std::vector<char32_t>{0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF)};
      for (char32_t w : units) {
        le += {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
        be += {static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)};
      }
    }
    for (std::size_t block : {1, 2, 3, 5, 4096}) {
      ASSERT_EQ(Transcoded(Encoding::kUtf16Le, le, block), utf8);
      ASSERT_EQ(Transcoded(Encoding::kUtf16Be, be, block), utf8);
    }
#ifdef KENSAKU_HAVE_ICONV
    // ISO-2022-JP holds no emoji and, as glibc writes it, no half-width kana nor circled digits.
    std::string jis_text;
    for (char32_t u : text) {
      if (u < 0x10000 && u != 0xFF76 && u != 0xFF9E && u != 0x2460 && u != 0xFF5E) {
        jis_text += Utf8Of(u);
      }
    }
    std::string iso;
    ASSERT_TRUE(Iconv("UTF-8", "ISO-2022-JP-2", jis_text, iso));
    for (std::size_t block : {1, 2, 3, 4096}) {
      ASSERT_EQ(Transcoded(Encoding::kIso2022Jp, iso, block), jis_text);
    }
#endif
  }
  // Broken units become the byte no UTF-8 holds, and a cut character at the end is broken.
  EXPECT_EQ(Transcoded(Encoding::kUtf16Le,
                       std::string("\x00\xD8"
                                   "a\x00",
                                   4),
                       1),
            "\xFF"
            "a");
  EXPECT_EQ(Transcoded(Encoding::kUtf16Le, std::string("a\x00\x42", 3), 2), "a\xFF");
  EXPECT_EQ(Transcoded(Encoding::kUtf16Le,
                       std::string("a\x00\x00\xDC"
                                   "b\x00",
                                   6),
                       6),
            "a\xFF"
            "b");
  EXPECT_EQ(Transcoded(Encoding::kIso2022Jp, "\x1B$B\x30\x21\n\x80\x1B(Bz", 1),
            "\xE4\xBA\x9C\n\xFFz");
  EXPECT_EQ(Transcoded(Encoding::kIso2022Jp, "\x1B(Z?", 1), "\xFF\xFF");
}

TEST(EncodingTest, Detection) {
  const struct {
    std::string head;
    bool complete;
    Encoding expected;
  } kRows[] = {
      {"\xFF\xFE"
       "a\x00",
       true, Encoding::kUtf16Le},
      {"\xFE\xFF\x00"
       "a",
       true, Encoding::kUtf16Be},
      {"\xEF\xBB\xBF\x82\xA0", true, Encoding::kUtf8},  // the mark decides
      {"ab \x1B$B\x30\x21\x1B(B", true, Encoding::kIso2022Jp},
      {"plain ASCII", true, Encoding::kUtf8},
      {"\xE3\x83\x95\xE3\x82\xA1", true, Encoding::kUtf8},
      {"\xE3\x83\x95\xE3", false, Encoding::kUtf8},  // cut by the head's end
      {"\xE3\x83\x95\xE3", true, Encoding::kCp932},  // cut by the file's end: not UTF-8
      {"\x83\x74\x83\x40\x83\x43\x83\x8B", true, Encoding::kCp932},
      {"\x87\x40\x87\x8D\xFB\xFC", true, Encoding::kCp932},  // circled 1, (kabu), the IBM taka
      {"\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB", true, Encoding::kEucJp},
      {"\xA4\xA2\x8E\xB6", true, Encoding::kEucJp},  // fewer characters than as code page 932
      {"\xFF\xFF\x80", true, Encoding::kCp932},      // nothing reads it
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(DetectEncoding(row.head.data(), row.head.size(), row.complete), row.expected)
        << row.head;
  }
  Encoding e{};
  EXPECT_TRUE(EncodingNamed("Shift_JIS", e));
  EXPECT_EQ(e, Encoding::kCp932);
  EXPECT_TRUE(EncodingNamed("UTF8", e));
  EXPECT_EQ(e, Encoding::kUtf8);
  EXPECT_FALSE(EncodingNamed("latin1", e));
}

}  // namespace
}  // namespace kensaku
