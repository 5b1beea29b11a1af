// The encodings: text made valid in each of them from the fuzz bytes reads back as the characters
// it was made of, whole, through the transcoder in blocks cut anywhere, and character by
// character, each character's source offset where it was written; any bytes turn into the same
// UTF-8 however they are cut; a byte-order mark decides detection, and valid UTF-8 cut short is
// still UTF-8.
// Input: settings (bits 0-2 the encoding, bit 3 a byte-order mark, bit 4 the other EUC-JP
// form), block lengths, NUL, text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "mbchar/encoding.h"

namespace {

using kensaku::Encoding;

// A character of the text: its scalar and, when code page 932 has it, that code.
struct Char {
  char32_t u = 0;
  kensaku::Code code = 0;
};

// The characters the bytes choose: ASCII as itself, a code page 932 code where its two bytes
// are one, half-width kana, and above 0xF0 any scalar from three bytes.
std::vector<Char> CharsOf(const std::string& bytes) {
  std::vector<Char> chars;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned b = p[i];
    if (b < 0x80) {
      chars.push_back({b, static_cast<kensaku::Code>(b)});
      ++i;
    } else if (b >= 0xA1 && b <= 0xDF) {
      chars.push_back({kensaku::UnicodeOfCp932(b), static_cast<kensaku::Code>(b)});
      ++i;
    } else if (b >= 0xF0 && i + 2 < n) {
      char32_t u = ((b & 0x0F) << 16 | p[i + 1] << 8 | p[i + 2]) % 0x110000;
      if (u >= 0xD800 && u <= 0xDFFF) u -= 0x800;
      chars.push_back({u, kensaku::Cp932OfUnicode(u)});
      i += 3;
    } else if (i + 1 < n) {
      const kensaku::Code code = static_cast<kensaku::Code>(b << 8 | p[i + 1]);
      const char32_t u = kensaku::UnicodeOfCp932(code);
      if (u != 0) chars.push_back({u, code});
      i += 2;
    } else {
      ++i;
    }
  }
  return chars;
}

void AppendUtf16(bool big_endian, char32_t u, std::string& out) {
  auto unit = [&](unsigned v) {
    const char hi = static_cast<char>(v >> 8), lo = static_cast<char>(v & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  if (u >= 0x10000) {
    unit(0xD800 + ((u - 0x10000) >> 10));
    unit(0xDC00 + ((u - 0x10000) & 0x3FF));
  } else {
    unit(u);
  }
}

// The text in the encoding, each character's bytes as the encoding writes it, or false when the
// encoding cannot hold it. The written character's scalar goes to u (EUC-JP may read a code
// page 932 code as the other form of its character).
class Writer {
 public:
  Writer(Encoding e, bool other_form) : e_(e), other_form_(other_form) {}

  bool Add(const Char& c, std::string& out, char32_t& u) {
    u = c.u;
    switch (e_) {
      case Encoding::kCp932:
        if (c.code == 0) return false;
        u = kensaku::UnicodeOfCp932(c.code);  // U+00A3 is written as 0x8192, read as U+FFE1
        if (c.code > 0xFF) out += static_cast<char>(c.code >> 8);
        out += static_cast<char>(c.code & 0xFF);
        return true;
      case Encoding::kUtf8:
        kensaku::AppendUtf8Of(c.u, out);
        return true;
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be:
        AppendUtf16(e_ == Encoding::kUtf16Be, c.u, out);
        return true;
      case Encoding::kEucJp:
      case Encoding::kIso2022Jp: {
        std::string form;
        if (!EucForm(c, form, u)) return false;
        if (e_ == Encoding::kEucJp) {
          out += form;
        } else {
          AppendIso2022Jp(form, out);
        }
        return true;
      }
    }
    return false;
  }

  // ISO-2022-JP ends in ASCII, as a writer leaves it.
  void Finish(std::string& out) {
    if (e_ == Encoding::kIso2022Jp) Designate("(B", out);
  }

 private:
  bool EucForm(const Char& c, std::string& form, char32_t& u) {
    if (c.u == 0x1B) return false;  // ESC is not text in ISO-2022-JP
    if (c.code != 0) {
      const std::span<const std::string> forms = kensaku::FormsOfCp932(Encoding::kEucJp, c.code);
      if (forms.empty()) return false;
      form = forms[other_form_ ? forms.size() - 1 : 0];
      const kensaku::TextChar read = kensaku::ReadTextChar(Encoding::kEucJp, form.data(), form.size());
      CHECK(!read.broken && read.length == form.size());
      CHECK(kensaku::Cp932OfUnicode(read.unicode) == kensaku::Cp932OfUnicode(c.u));
      u = read.unicode;
      return true;
    }
    if (!kensaku::CanHold(Encoding::kEucJp, c.u)) return false;
    const std::vector<std::string> forms = kensaku::FormsOfUnicode(Encoding::kEucJp, c.u);
    CHECK(!forms.empty());
    form = forms[0];
    return true;
  }

  // An EUC-JP form as ISO-2022-JP: its set designated, its bytes without the high bit.
  void AppendIso2022Jp(const std::string& form, std::string& out) {
    const auto b = static_cast<unsigned char>(form[0]);
    if (b < 0x80) {
      if (b > 0x20) Designate("(B", out);
      out += form;
    } else if (b == 0x8E) {
      Designate("(I", out);
      out += static_cast<char>(form[1] & 0x7F);
    } else if (b == 0x8F) {
      Designate("$(D", out);
      out += static_cast<char>(form[1] & 0x7F);
      out += static_cast<char>(form[2] & 0x7F);
    } else {
      Designate("$B", out);
      out += static_cast<char>(form[0] & 0x7F);
      out += static_cast<char>(form[1] & 0x7F);
    }
  }

  void Designate(const std::string& set, std::string& out) {
    if (set == set_) return;
    set_ = set;
    out += '\x1B';
    out += set;
  }

  Encoding e_;
  bool other_form_;
  std::string set_ = "(B";
};

// Block lengths drawn from the cut bytes in turn (0 to 15; an empty block is a call too).
class Cuts {
 public:
  explicit Cuts(const std::string& bytes) : bytes_(bytes) {}
  std::size_t Next() {
    if (bytes_.empty()) return 1;
    return static_cast<unsigned char>(bytes_[at_++ % bytes_.size()]) & 0x0F;
  }

 private:
  const std::string& bytes_;
  std::size_t at_ = 0;
};

std::string Transcode(kensaku::Utf8Transcoder& t, const std::string& in, Cuts* cuts) {
  std::string out;
  if (cuts == nullptr) {
    t.Convert(in.data(), in.size(), true, out);
    return out;
  }
  for (std::size_t at = 0; at < in.size();) {
    std::size_t n = std::min(cuts->Next(), in.size() - at);
    if (n == 0) {
      t.Convert(in.data() + at, 0, false, out);
      n = 1;  // and on
    }
    t.Convert(in.data() + at, n, false, out);
    at += n;
  }
  t.Convert(nullptr, 0, true, out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  const auto e = static_cast<Encoding>((in.settings & 7) % kensaku::kEncodingCount);
  const bool mark = (in.settings & 0x08) != 0;
  const std::string& raw = in.texts[1];

  // Any bytes: the same UTF-8 whole and in blocks, each character from the same place, in
  // order.
  {
    Cuts cuts(in.texts[0]);
    kensaku::Utf8Transcoder whole(e), blocks(e);
    const std::string out = Transcode(whole, raw, nullptr);
    CHECK(out == Transcode(blocks, raw, &cuts));
    std::uint64_t last = 0;
    for (std::size_t at = 0; at < out.size(); ++at) {
      if ((out[at] & 0xC0) == 0x80) continue;
      const std::uint64_t source = whole.SourceOffset(at, out.data(), 0);
      CHECK(source == blocks.SourceOffset(at, out.data(), 0));
      CHECK(source >= last && source < raw.size());
      last = source;
    }
  }
  const Encoding detected = kensaku::DetectEncoding(raw.data(), raw.size(), true);
  CHECK(static_cast<int>(detected) < kensaku::kEncodingCount);

  // Valid text of the encoding, with where each character begins in it and in the UTF-8.
  std::string text, expected;
  std::vector<std::uint64_t> sources, outs;
  const bool has_mark = mark && (e == Encoding::kUtf8 || e == Encoding::kUtf16Le ||
                                 e == Encoding::kUtf16Be);
  if (has_mark) {
    char32_t u = 0;
    Writer(e, false).Add({0xFEFF, 0}, text, u);
  }
  Writer writer(e, (in.settings & 0x10) != 0);
  for (const Char& c : CharsOf(raw)) {
    // A U+FEFF first would be taken for a byte-order mark.
    if (c.u == 0xFEFF && text.empty()) continue;
    const std::size_t before = text.size();
    char32_t u = 0;
    if (!writer.Add(c, text, u)) continue;
    // The character's own bytes, past any escape written before them.
    std::size_t own = before;
    if (e == Encoding::kIso2022Jp) {
      while (text[own] == '\x1B') own += text[own + 1] == '$' && text[own + 2] == '(' ? 4 : 3;
    }
    sources.push_back(own);
    outs.push_back(expected.size());
    kensaku::AppendUtf8Of(u, expected);
  }
  writer.Finish(text);

  std::string whole;
  kensaku::AppendTextAsUtf8(e, text.data(), text.size(), whole);
  // UTF-8 is taken as it is, a byte-order mark too.
  CHECK(whole == (e == Encoding::kUtf8 ? text : expected));
  Cuts cuts(in.texts[0]);
  kensaku::Utf8Transcoder t(e);
  CHECK(Transcode(t, text, &cuts) == expected);
  for (std::size_t i = 0; i < outs.size(); ++i) {
    CHECK(t.SourceOffset(outs[i], expected.data(), 0) == sources[i]);
  }
  if (e == Encoding::kCp932 || e == Encoding::kUtf8 || e == Encoding::kEucJp) {
    std::string read;
    const std::size_t from = kensaku::ByteOrderMarkLength(e, text.data(), text.size());
    for (std::size_t at = from; at < text.size();) {
      const kensaku::TextChar c = kensaku::ReadTextChar(e, text.data() + at, text.size() - at);
      CHECK(!c.broken);
      kensaku::AppendUtf8Of(c.unicode, read);
      at += c.length;
    }
    CHECK(read == expected);
  }
  if (has_mark) CHECK(kensaku::DetectEncoding(text.data(), text.size(), false) == e);
  // Valid UTF-8 with a character beyond ASCII and no escape is UTF-8, whole or cut anywhere.
  if (e == Encoding::kUtf8 && !has_mark && expected.find('\x1B') == std::string::npos &&
      kensaku::DetectEncoding(text.data(), text.size(), true) == Encoding::kUtf8) {
    const std::size_t cut = text.size() - Cuts(in.texts[0]).Next() % (text.size() + 1);
    std::size_t first = 0;
    while (first < cut && static_cast<unsigned char>(text[first]) < 0x80) ++first;
    if (first < cut) CHECK(kensaku::DetectEncoding(text.data(), cut, false) == Encoding::kUtf8);
  }
  return 0;
}
