// Searches of the same text in every encoding against the search of its code page 932 form: the
// same lines selected, and the same characters matched. The code page 932 form holds, for a
// character code page 932 lacks, the code the patterns gave it (or the code of any other such
// character), and for a broken sequence the broken character: what the internal form holds. The
// texts are generated (fixed seeds) with every fold and kind, lists of one to sixty patterns, and
// ill-formed sequences of each encoding among the characters.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef KENSAKU_WITH_REGEX
#include <re2/re2.h>
#endif

#include "match/regex.h"
#include "match/scalar_row.h"
#include "mbchar/encoding.h"
#include "mbchar/internal_text.h"
#include "search/file_source.h"
#include "search/line_matcher.h"
#include "search/searcher.h"
#include "simd_levels.h"
#include "sjis_gen.h"
#include "temp_dir.h"
#include "test_text.h"

namespace kensaku {
namespace {

// A character of a generated text: a scalar, or a broken sequence (0).
using Chars = std::vector<char32_t>;

void PutUtf8(char32_t u, std::string& out) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | u >> 6);
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | u >> 12);
    out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | u >> 18);
    out += static_cast<char>(0x80 | (u >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

void PutUtf16(char32_t u, bool big, std::string& out) {
  auto unit = [&](unsigned v) {
    out += static_cast<char>(big ? v >> 8 : v & 0xFF);
    out += static_cast<char>(big ? v & 0xFF : v >> 8);
  };
  if (u < 0x10000) {
    unit(u);
  } else {
    unit(0xD800 + ((u - 0x10000) >> 10));
    unit(0xDC00 + ((u - 0x10000) & 0x3FF));
  }
}

// A line in an encoding. EUC-JP takes the first form the library knows, and ISO-2022-JP is
// written from it; a broken character is a sequence that encoding cannot read.
std::string Encoded(const Chars& line, Encoding e) {
  std::string out;
  int mode = 0;  // ISO-2022-JP: 0 ASCII, 1 JIS X 0208, 2 JIS X 0212, 3 half-width kana
  auto shift = [&](int to) {
    static const char* const kEscapes[] = {"\x1B(B", "\x1B$B", "\x1B$(D", "\x1B(I"};
    if (mode != to) out += kEscapes[to];
    mode = to;
  };
  for (char32_t u : line) {
    if (u == 0) {
      switch (e) {
        case Encoding::kUtf8:
          out += "\x80";  // a lone continuation byte
          break;
        case Encoding::kEucJp:
          out += "\xFF";  // no byte of EUC-JP
          break;
        case Encoding::kUtf16Le:
          out += std::string("\x00\xD8", 2);  // a high surrogate without its low one
          break;
        case Encoding::kUtf16Be:
          out += std::string("\xD8\x00", 2);
          break;
        case Encoding::kIso2022Jp:
          shift(0);
          out += "\x80";
          break;
        case Encoding::kCp932:
          out += "\xFF";
          break;
      }
      continue;
    }
    switch (e) {
      case Encoding::kUtf8:
        PutUtf8(u, out);
        break;
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be:
        PutUtf16(u, e == Encoding::kUtf16Be, out);
        break;
      case Encoding::kEucJp:
      case Encoding::kIso2022Jp: {
        std::string euc;
        if (u < 0x80) {
          euc = std::string(1, static_cast<char>(u));
        } else {
          const Code c = Cp932OfUnicode(u);
          const auto own = FormsOfCp932(Encoding::kEucJp, c);
          const std::vector<std::string> forms =
              c != 0 ? std::vector<std::string>(own.begin(), own.end())
                     : FormsOfUnicode(Encoding::kEucJp, u);
          EXPECT_FALSE(forms.empty()) << std::hex << static_cast<unsigned>(u);
          if (!forms.empty()) euc = forms.front();
        }
        if (e == Encoding::kEucJp) {
          out += euc;
        } else if (euc.size() == 1) {
          shift(0);
          out += euc;
        } else {
          const std::size_t skip = euc[0] == '\x8E' || euc[0] == '\x8F' ? 1 : 0;
          shift(euc[0] == '\x8E' ? 3 : euc[0] == '\x8F' ? 2 : 1);
          for (std::size_t k = skip; k < euc.size(); ++k) out += static_cast<char>(euc[k] & 0x7F);
        }
        break;
      }
      case Encoding::kCp932:
        break;
    }
  }
  if (e == Encoding::kIso2022Jp) shift(0);
  return out;
}

// The code page 932 form: what the internal form of the line holds.
std::string Cp932Form(const Chars& line, const ExtraChars& extras) {
  std::string out;
  for (char32_t u : line) {
    Code c = u == 0 ? kBrokenChar : u < 0x80 ? static_cast<Code>(u) : Cp932OfUnicode(u);
    if (c == 0) c = extras.CodeOf(u) != 0 ? extras.CodeOf(u) : kOtherChar;
    if (c > 0xFF) out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

// Each selected line's number and its matched parts as characters (index and count), whatever
// the bytes of the encoding the line was read in.
class Found final : public SearchSink {
 public:
  explicit Found(Encoding e) : encoding_(e) {}
  void Matched(const FoundLine& line) override {
    got += std::to_string(line.number) + ":";
    for (const LineSpan& part : line.parts) {
      got.append(" ").append(std::to_string(CharsBefore(line.text, part.start)));
      got.append("+").append(
          std::to_string(CharsBefore(line.text + part.start, part.end - part.start)));
    }
    got += "\n";
  }
  std::string got;

 private:
  std::size_t CharsBefore(const char* text, std::size_t n) const {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < n; ++chars) {
      i += encoding_ == Encoding::kCp932 ? CharLength(text + i)
                                         : ReadTextChar(encoding_, text + i, n - i).length;
    }
    return chars;
  }
  Encoding encoding_;
};

std::string SearchedIn(const EncodingQueries& queries, const std::string& path, Encoding e,
                       bool invert) {
  InputFile in(path.c_str());
  in.SetEncoding(e);
  // Mapped when asked to, unless its bytes are turned into UTF-8 as they come.
  EXPECT_EQ(in.mapped(), GetFileMapping() == FileMapping::kAlways && !in.transcoded());
  // UTF-16 and ISO-2022-JP are read as UTF-8.
  Found sink(in.encoding());
  Selection selection;
  selection.invert = invert;
  selection.parts = !invert;
  Searcher(queries, selection).Search(in, sink);
  return sink.got;
}

std::string SearchedIn(const Query& query, const std::string& path, Encoding e, bool invert) {
  const std::shared_ptr<const Query> one(&query, [](const Query*) {});
  return SearchedIn(EncodingQueries{one, one}, path, e, invert);
}

TEST(EncodingsSearch, EveryEncodingFindsWhatCodePage932Finds) {
  AtEachSimdLevel([] {
    testing_gen::Generator gen(2020);
    TempDir dir;
    // Characters every encoding holds, as pieces of a text: ASCII with the pattern language's
    // characters, kana of both widths (ｶﾞ is two characters, ガ one), full-width letters and
    // digits, kanji, both wave dashes, ①, the spacing mark ゛, and 髙 (whose code page 932 form is
    // an IBM one); ぢ and も mix the UTF-8 bytes of あ and ア (E3 81 A2, E3 82 82 against E3 81 82,
    // E3 82 A2).
    const Chars common = {'a',    'b',    'A',    'x',    ' ',    '1',    '2',    '.',    '*',
                          '#',    '\\',   0x3042, 0x30A2, 0x30AB, 0x30AC, 0x304C, 0xFF76, 0xFF9E,
                          0xFF71, 0xFF21, 0xFF41, 0xFF12, 0x6587, 0x5B57, 0x301C, 0xFF5E, 0x2460,
                          0x9AD9, 0x30FC, 0xFF70, 0x3062, 0x3082, 0x309B};
    // Characters code page 932 lacks: JIS X 0212's 丂 (EUC-JP holds it), an emoji and 𠮷
    // (Unicode encodings only).
    const Chars jis_x0212 = {0x4E02};
    const Chars unicode_only = {0x1F600, 0x20BB7};
    // Every fourth round, kana and marks that join, thick on the ground.
    const Chars joining = {'a', '.', '#', '*', 0xFF76, 0xFF9E, 0x30AB, 0x309B, 0x30AC};
    const bool widest = Simd() == SimdLevel::kAvx2;
    for (int round = 0; round < (widest ? 400 : 30); ++round) {
      const Encoding e = static_cast<Encoding>(gen.Int(1, kEncodingCount - 1));
      Chars pieces = round % 4 == 3 ? joining : common;
      if (e != Encoding::kIso2022Jp)
        pieces.insert(pieces.end(), jis_x0212.begin(), jis_x0212.end());
      if (e == Encoding::kUtf8 || e == Encoding::kUtf16Le || e == Encoding::kUtf16Be) {
        pieces.insert(pieces.end(), unicode_only.begin(), unicode_only.end());
      }
      pieces.push_back(0);  // a broken sequence
      auto text = [&](int max) {
        Chars s;
        for (int i = gen.Int(0, max); i > 0; --i) s.push_back(gen.Pick(pieces));
        return s;
      };
      // Patterns of the pieces, now and then of the pattern language, sets among them; a broken
      // piece would make no UTF-8 pattern, so a dot stands in for it.
      ExtraChars extras;
      std::vector<std::string> patterns;
      const int count = gen.Pick(std::vector<int>{1, 1, 2, 5, 60});
      auto code = [](char32_t u) { return u < 0x80 ? static_cast<Code>(u) : Cp932OfUnicode(u); };
      for (int i = 0; i < count; ++i) {
        std::string utf8;
        for (char32_t u : text(3)) {
          if (u == 0 || u == '\\' || gen.Int(0, 4) != 0) {
            PutUtf8(u == 0 ? '.' : u, utf8);
            continue;
          }
          // A set of one member, or a range of two in order, now and then negated.
          utf8 += gen.Int(0, 3) == 0 ? "[^" : "[";
          const char32_t v = gen.Pick(pieces);
          const bool range = v != 0 && v != '\\' && code(u) != 0 && code(v) != 0;
          PutUtf8(range && code(v) < code(u) ? v : u, utf8);
          if (range) {
            utf8 += '-';
            PutUtf8(code(v) < code(u) ? u : v, utf8);
          }
          utf8 += ']';
        }
        if (utf8.empty()) utf8 = "a";
        std::string internal, problem;
        ASSERT_TRUE(InternalFromUtf8(utf8, extras, internal, problem)) << problem;
        patterns.push_back(internal);
      }
      QueryOptions options;
      options.kind = static_cast<SearchKind>(gen.Int(0, 2));
      // Every fold bit, as read or as it is, now and then.
      const int flags = round * 37 % (kAllFoldBits + 1);
      options.match = MatchOptions(flags);
      options.extras = std::make_shared<const ExtraChars>(extras);
      const Query query(patterns, options);

      std::string cp932, encoded;
      for (int n = gen.Int(1, 40); n > 0; --n) {
        const Chars line = text(24);
        cp932 += Cp932Form(line, extras) + "\n";
        encoded += Encoded(line, e) + Encoded({'\n'}, e);
      }
      WriteFile(dir / "cp932", cp932);
      WriteFile(dir / "encoded", encoded);
      // Files mapped in odd rounds, read in even ones.
      SetFileMapping(round % 2 != 0 ? FileMapping::kAlways : FileMapping::kNever);
      for (bool invert : {false, true}) {
        ASSERT_EQ(SearchedIn(query, dir / "encoded", e, invert),
                  SearchedIn(query, dir / "cp932", Encoding::kCp932, invert))
            << EncodingName(e) << " round " << round << " flags " << flags << " kind "
            << static_cast<int>(options.kind) << " patterns " << patterns.size() << " first "
            << Shown(patterns[0]) << " text " << Shown(cp932);
      }
      SetFileMapping(FileMapping::kMeasured);
    }
  });
}

// A regex's direct program, run over many lines at once, against each line tried alone: over
// Shift_JIS text, where a regex whose matches are ASCII alone takes it too (its hits in trail
// bytes refused by the lines) and another has a program of its own, and over the UTF-8 copy; on
// text thick with trail bytes that are ASCII letters, backslashes or lead bytes (before a space
// and at a line's end), lead bytes alone, ill-formed UTF-8, byte 0xEF and marks after kana, with
// runs of matching lines and lines between them.
TEST(EncodingsSearch, DirectRegexAgreesWithEachLine) {
  testing_gen::Generator gen(2612);
  TempDir dir;
  struct Piece {
    const char* sjis;
    const char* utf8;
  };
  // clang-format off
  const std::vector<Piece> text_pieces = {
      {"a", "a"},           {"b", "b"},
      {"c", "c"},           {"x", "x"},
      {"A", "A"},           {"1", "1"},
      {" ", " "},           {"\\", "\\"},
      {"\x83\x5C", "ソ"},   {"\x83\x61", "ヂ"},
      {"\x83\x62", "ッ"},   {"\x83\x63", "ツ"},  // kana whose trail bytes are a backslash, a, b, c
      {"\x8A\x61", "覚"},   {"\x82\x81", "ａ"},
      {"\x82\x82", "ｂ"},   {"\x82\x60", "Ａ"},
      {"\x82\xA0", "あ"},   {"\xB1", "ｱ"},
      {"\xB6", "ｶ"},        {"\xB6\xDE", "ｶﾞ"},
      {"\xDE", "ﾞ"},        {"\x83\x4A", "カ"},
      {"\x83\x4B", "ガ"},   {"\x81\x4A", "゛"},
      {"\x82\xA6", "え"},   {"\x82\xE9", "る"},
      {"\x83\x81", "メ"},   {"\x8B\xEF", "具"},
      {"\x83\x40", "ァ"},   {"\xCA\xDF", "ﾊﾟ"},
      {"\xDF", "ﾟ"},        {"\x83 ", "\xFF "},
      {"\x83 ", "\xC1\x81 "},        {"\x83 ", "\xE0\x80\x80 "},
      {"\x83 ", "\xED\xA0\x80 "},    {"\x83 ", "\xF4\x90\x80\x80 "},
      {"\xEF\x4B", nullptr}};  // a lead byte alone; 0xEF, Shift_JIS only
  // clang-format on
  const std::vector<std::string> regex_pieces = {"a",
                                                 "b",
                                                 "c",
                                                 "ab*c",
                                                 "(a|c)+",
                                                 "[a-c]{2}",
                                                 "^a",
                                                 "c$",
                                                 "\\\\",
                                                 "x?",
                                                 "1",
                                                 "(?i)a",
                                                 "[[:alpha:]]",
                                                 "\\d",
                                                 "\\bc",
                                                 ".",
                                                 "\x83\x5C",
                                                 "\x82\x81",
                                                 "\xB6",
                                                 "\x83\x4B",
                                                 "[\x83\x40-\x83\x96]",
                                                 "\x82\xE9$",
                                                 "[^a]",
                                                 "\x82\xA6\xDE",
                                                 "\x8B\xEF",
                                                 " ",
                                                 "K",
                                                 "^.",
                                                 "[^\x83\x41]",
                                                 "[\x82\x9F-\x82\xF1]",
                                                 "\\p{Katakana}",
                                                 ".{2}",
                                                 "[*#@^\\]\\-]",
                                                 "\\^",
                                                 "t",
                                                 "[rt]"};
  const int folds[] = {0,
                       FoldToUpper,
                       FoldToHalfWidth,
                       FoldToUpper | FoldToHalfWidth,
                       0x40,
                       FoldKanaToKatakana | FoldToHalfWidth};
  int direct = 0, own = 0, as_pattern = 0;
  for (int round = 0; round < 400; ++round) {
    std::string pattern;
    for (int i = gen.Int(1, 3); i > 0; --i) pattern += gen.Pick(regex_pieces);
    QueryOptions options;
    options.kind = SearchKind::kRegex;
    options.match = MatchOptions(FoldAsRead | folds[gen.Int(0, 5)]);
    const Query query(std::vector<std::string>{pattern}, options);
    // As the callers compile it: a row of single characters is searched in Shift_JIS text in
    // the pattern language, which must select the same lines with the same parts.
    const EncodingQueries queries = CompileForEncodings({pattern}, options);
    as_pattern += queries.sjis != queries.decoded;
    direct += query.direct_finds_cp932();
    own += query.direct_cp932() != nullptr;
    const LineRegex entry(pattern.c_str(), options.match, nullptr);
    std::string sjis, utf8, want;
    // Runs of lines alike now and then, so that matches come in runs.
    std::string line, line_utf8;
    bool sjis_only = false;
    for (int n = 1; n <= gen.Int(1, 40); ++n) {
      if (n == 1 || gen.Int(0, 2) != 0) {
        line.clear();
        line_utf8.clear();
        // Long lines now and then, read a block of 32 bytes at a time.
        for (int k = gen.Int(0, gen.Int(0, 3) == 0 ? 30 : 12); k > 0; --k) {
          const Piece& piece = gen.Pick(text_pieces);
          line += piece.sjis;
          if (piece.utf8 == nullptr) {
            sjis_only = true;
          } else {
            line_utf8 += piece.utf8;
          }
        }
        if (gen.Int(0, 5) == 0) line += '\x83', line_utf8 += '\xFF';
      }
      sjis += line + "\n";
      utf8 += line_utf8 + "\n";
      // The line as read: a kana and a half-width mark after it one character.
      InternalLine internal;
      internal.Decode(Encoding::kCp932, line.c_str(), line.size(), nullptr,
                      ReadingOf(options.match.fold_flags));
      MatchSpan span;
      bool hit = false;
      entry.Test(internal.text(), internal.size(), true, span,
                 [&](const MatchSpan&) { hit = true; });
      if (hit) want += std::to_string(n) + " ";
    }
    WriteFile(dir / "sjis", sjis);
    WriteFile(dir / "utf8", utf8);
    for (const Encoding e : {Encoding::kCp932, Encoding::kUtf8}) {
      if (e == Encoding::kUtf8 && sjis_only) continue;
      std::string got;
      std::istringstream found(
          SearchedIn(query, dir / (e == Encoding::kUtf8 ? "utf8" : "sjis"), e, false));
      for (std::string l; std::getline(found, l);) got += l.substr(0, l.find(':')) + " ";
      ASSERT_EQ(got, want) << EncodingName(e) << " round " << round << " pattern " << Shown(pattern)
                           << " flags " << options.match.fold_flags << " text " << Shown(sjis);
    }
    if (queries.sjis != queries.decoded) {
      ASSERT_EQ(SearchedIn(queries, dir / "sjis", Encoding::kCp932, false),
                SearchedIn(*queries.decoded, dir / "sjis", Encoding::kCp932, false))
          << "round " << round << " pattern " << Shown(pattern) << " flags "
          << options.match.fold_flags << " text " << Shown(sjis);
    }
  }
  // The programs over the bytes took Shift_JIS text in many rounds.
  EXPECT_GT(direct, 50);
  EXPECT_GT(own, 50);
  EXPECT_GT(as_pattern, 50);
}

#ifdef KENSAKU_WITH_REGEX
// A row of single characters found without RE2, against RE2 running the regex's direct program,
// on UTF-8 text with broken sequences of every kind (cut short, overlong, a surrogate, past
// U+10FFFF, a stray continuation byte), from and to anywhere in it: the same first match.
TEST(EncodingsSearch, ScalarRowAgreesWithItsProgram) {
  testing_gen::Generator gen(3099);
  const std::vector<std::string> regex_pieces = {"a",           "1",        ".",
                                                 "\\d",         "\\w",      "\\s",
                                                 "[^a]",        "[a-c]",    "(?i)a",
                                                 "\x83\x41",    "\x82\xA0", "[\x83\x40-\x83\x96]",
                                                 "[^\x83\x41]", "\\p{Han}", "\\p{Katakana}",
                                                 "\xB1",        "\x82\x81", "\x94\x4E",
                                                 "[^\\n]",      "\x81\x5B", "(?:a.){2}",
                                                 "[ab]{3}"};
  // clang-format off
  std::vector<std::string> text_pieces = {
      "a", "b", "A", "1", " ", "\n", "ア", "あ", "イ", "ー", "年", "漢", "ｱ", "ａ", "Ａ", "é",
      "\xF0\x9F\x98\x80", "\xE3\x82", "\x82", "\xC0\x80", "\xC1\x81", "\xE0\x80\x80",
      "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "\xE3", "ア\xCC\x81"};
  // clang-format on
  text_pieces.emplace_back(1, '\0');
  const int folds[] = {0, FoldToUpper, FoldToHalfWidth, 0x40, FoldKanaToKatakana | FoldToHalfWidth};
  int rows = 0;
  for (int round = 0; round < 300; ++round) {
    std::string pattern = gen.Int(0, 5) == 0 ? "^" : "";
    for (int i = gen.Int(1, 4); i > 0; --i) pattern += gen.Pick(regex_pieces);
    const MatchOptions options(FoldAsRead | folds[gen.Int(0, 4)]);
    const Regex regex(pattern.c_str(), options, nullptr);
    const ScalarRow* row = regex.direct_row().get();
    if (row == nullptr) continue;
    ++rows;
    RE2::Options re2_options;
    re2_options.set_longest_match(true);
    re2_options.set_never_capture(true);
    const RE2 program(regex.direct_program(), re2_options);
    ASSERT_TRUE(program.ok()) << Shown(pattern);
    for (int t = 0; t < 40; ++t) {
      std::string text;
      for (int k = gen.Int(0, 30); k > 0; --k) text += gen.Pick(text_pieces);
      const auto from = static_cast<std::size_t>(gen.Int(0, static_cast<int>(text.size())));
      const auto to =
          static_cast<std::size_t>(gen.Int(static_cast<int>(from), static_cast<int>(text.size())));
      re2::StringPiece found;
      const bool want =
          program.Match(re2::StringPiece(text.data(), to), from, to, RE2::UNANCHORED, &found, 1);
      std::size_t start = 0, end = 0;
      ASSERT_EQ(row->Find(text.data(), from, to, &start, &end), want)
          << Shown(pattern) << " text " << Shown(text) << " from " << from << " to " << to;
      if (!want) continue;
      EXPECT_EQ(start, static_cast<std::size_t>(found.data() - text.data())) << Shown(pattern);
      EXPECT_EQ(end, start + found.size()) << Shown(pattern) << " text " << Shown(text);
    }
  }
  EXPECT_GT(rows, 150);
}
#endif

// A mapped file cut short or replaced under the reader: every line handed out is one the file
// held, and a cut ends the reading with an error rather than a bus error or the zeros past the
// new end. Lines cut at 4095 bytes and lines read whole alike.
TEST(EncodingsSearch, MappedFileCutShortOrReplaced) {
  // Large files mapped whatever this machine's faults cost.
  SetFileMapping(FileMapping::kLarge);
  struct Restore {
    ~Restore() { SetFileMapping(FileMapping::kMeasured); }
  } restore;
  TempDir dir;
  const std::string path = dir / "in.txt";
  std::string text;  // 10 MB of lines of 100 bytes: mapped past its first read
  for (int i = 0; i < 100000; ++i) {
    std::string line = "line " + std::to_string(1000000 + i) + " ";
    line.resize(99, 'x');
    text += line + "\n";
  }
  for (const bool whole : {false, true}) {
    for (const bool cut : {true, false}) {
      SCOPED_TRACE(std::string(whole ? "whole lines, " : "cut lines, ") +
                   (cut ? "cut short" : "replaced"));
      WriteFile(path, text);
      InputFile in(path.c_str());
      if (whole) in.ReadWholeLines();
      in.SetEncoding(Encoding::kUtf8);
      ASSERT_TRUE(in.mapped());
      std::string got;
      std::size_t length = 0;
      for (int n = 0; const char* line = in.ReadLine(length); ++n) {
        got.append(line, length) += '\n';
        if (n != 1000) continue;
        if (cut) {
          // Neither on a line's end nor on a page's.
          ASSERT_EQ(truncate(path.c_str(), 2000050), 0);
        } else {
          const std::string other = dir / "other.txt";
          WriteFile(other, std::string(text.size(), 'y'));
          ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
        }
      }
      if (cut) {
        EXPECT_TRUE(in.cut_short());
        EXPECT_NE(in.state() & kStreamBad, 0u);
        EXPECT_GE(got.size(), 1001u * 100);
        EXPECT_LE(got.size(), 2000000u);
        EXPECT_EQ(got, text.substr(0, got.size()));
      } else {
        EXPECT_FALSE(in.cut_short());
        EXPECT_EQ(got, text);
      }
    }
  }
}

// The pass that finds selectors and combining voicing marks, which the byte finders cannot see
// through, and the look for a line that reads as its scalars, against the obvious scans: every
// cut of a text, with more of it readable past the cut.
TEST(EncodingsSearch, FirstPartingAgreesWithAScan) {
  AtEachSimdLevel([] {
    std::mt19937 rng(909);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // The bytes that begin or end a selector or a mark, a letter, a line end and a NUL.
    std::string alphabet =
        "\xE3\x82\x99\x9A\xEF\xB8\xF3\x81"
        "a\n\xBE\x9E\x9B\x9C";
    alphabet += '\0';
    for (int round = 0; round < 2000; ++round) {
      std::string text;
      // Mostly bytes that begin or end a mark, so that near misses are common; every other
      // round plain but for one piece, cut just after it, so that the last places of a text
      // are where a find is.
      const bool plain = round % 2 != 0;
      for (int i = pick(0, 400); i > 0; --i) {
        text += plain ? 'a'
                      : alphabet[static_cast<std::size_t>(
                            pick(0, static_cast<int>(alphabet.size()) - 1))];
      }
      std::size_t n = static_cast<std::size_t>(pick(0, static_cast<int>(text.size())));
      if (plain && !text.empty()) {
        const std::size_t at = static_cast<std::size_t>(pick(0, static_cast<int>(text.size()) - 1));
        text[at] =
            alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        if (at + 1 < text.size()) text[at + 1] = static_cast<char>(pick(0, 1) ? 0xB8 : 0x82);
        n = std::min(text.size(), at + static_cast<std::size_t>(pick(1, 3)));
      }
      const std::unique_ptr<char[]> exact(new char[text.size() + 1]);
      std::copy(text.begin(), text.end(), exact.get());
      const auto* p = reinterpret_cast<const unsigned char*>(exact.get());
      for (const bool marks : {false, true}) {
        std::size_t want = 0;
        for (; want < n; ++want) {
          const bool selector =
              p[want] == 0xF3 || (p[want] == 0xEF && want + 1 < n && p[want + 1] == 0xB8);
          const bool mark = marks && p[want] == 0xE3 && want + 2 < n && p[want + 1] == 0x82 &&
                            (p[want + 2] == 0x99 || p[want + 2] == 0x9A);
          if (selector || mark) break;
        }
        ASSERT_EQ(FirstParting(exact.get(), n, text.size(), marks), want)
            << "round " << round << " marks " << marks << " n " << n << " text " << Shown(text);
        // A NUL, a selector, or a mark (marks: the spacing ones too, and half-width ones).
        bool plain = true;
        for (std::size_t i = 0; i < n && plain; ++i) {
          const unsigned b = p[i], b1 = i + 1 < n ? p[i + 1] : 0, b2 = i + 2 < n ? p[i + 2] : 0;
          plain = !(b == 0 || b == 0xF3 || (b == 0xEF && b1 == 0xB8) ||
                    (b == 0xEF && b1 == 0xBE && (b2 == 0x9E || b2 == 0x9F)) ||
                    (b == 0xE3 && b1 == 0x82 && b2 >= 0x99 && b2 <= (marks ? 0x9C : 0x9A)));
        }
        ASSERT_EQ(PlainUtf8(exact.get(), n, marks), plain)
            << "round " << round << " spacing " << marks << " n " << n << " text " << Shown(text);
      }
    }
  });
}

// The look for a Shift_JIS line that reads as its codes, against a walk through its characters,
// on text made of lead bytes, trails, marks, NULs and 0xEF, of every length.
TEST(EncodingsSearch, PlainCp932AgreesWithAWalk) {
  AtEachSimdLevel([] {
    std::mt19937 rng(913);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string alphabet = "\x81\x83\x9F\xE0\xEF\xFC\x4A\x4B\x40\x7F\xA6\xB6\xDD\xDE\xDF\xFD a";
    alphabet += '\0';
    for (int round = 0; round < 3000; ++round) {
      std::string text;
      // Mostly plain text with a byte or two of the alphabet, or the alphabet throughout.
      const bool few = round % 2 != 0;
      for (int i = pick(0, 90); i > 0; --i) {
        const bool odd = !few || pick(0, 30) == 0;
        if (odd) {
          text +=
              alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        } else {
          text += pick(0, 1) ? "\x82\xA0" : "x";
        }
      }
      // Now and then a long run of 具 (8B EF), whose 0xEF bytes are trails.
      if (round % 10 == 0)
        text.insert(
            0, std::string(pick(0, 1) ? "a" : "") + [&] {
              std::string run;
              for (int k = pick(20, 45); k > 0; --k) run += "\x8B\xEF";
              return run;
            }());
      const auto* p = reinterpret_cast<const unsigned char*>(text.data());
      const std::size_t n = text.size();
      // Where 0xEF first begins a character; the look may say so early, after 64 leads in a row.
      std::size_t lone = n;
      for (std::size_t i = 0; i < n; i += IsLeadByte(p[i]) ? 2 : 1) {
        if (p[i] == 0xEF) {
          lone = i;
          break;
        }
      }
      const std::size_t found = FirstLoneEf(text.data(), n);
      if (found != lone) {
        ASSERT_LT(found, lone) << "round " << round << " text " << Shown(text);
        ASSERT_GE(found, 64u);
        for (std::size_t k = found - 64; k < found; ++k) ASSERT_TRUE(IsLeadByte(p[k]));
      }
      for (const bool spacing : {false, true}) {
        bool want = true;
        for (std::size_t i = 0; i < n && want;) {
          const unsigned b = p[i];
          if (IsLeadByte(b)) {
            const bool pair = i + 1 < n && IsTrailByte(p[i + 1]);
            want = pair && b != 0xEF && !(spacing && b == 0x81 && (p[i + 1] & 0xFE) == 0x4A);
            i += 2;
          } else {
            // A mark after a half-width kana's byte, or after anything under the width fold.
            want = b != 0 && !((b & 0xFE) == 0xDE && i > 0 &&
                               (spacing || (p[i - 1] >= 0xA6 && p[i - 1] <= 0xDD)));
            ++i;
          }
        }
        ASSERT_EQ(PlainCp932(text.data(), n, spacing), want)
            << "round " << round << " spacing " << spacing << " text " << Shown(text);
      }
    }
  });
}

// The quick looks for a voicing mark that may join the kana before it, against a scan of each
// pair of bytes, on text made mostly of the bytes around marks, at each vector width.
TEST(EncodingsSearch, MayJoinAgreesWithAScan) {
  AtEachSimdLevel([] {
    std::mt19937 rng(911);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string alphabet =
        "\xDE\xDF\xDD\xA6\xA5\xE0\xEF\x40\x41\x42\x81\x4A\x4B\x4C"
        "\xE3\x82\x99\x9A\x9C\x9D\xBE\x9E\x9F\x8E\xA1\xAB\xAC\xAD"
        "a";
    for (int round = 0; round < 3000; ++round) {
      std::string text;
      // Long runs of one byte here and there, so that blocks without a candidate are common too.
      for (int i = pick(0, 90); i > 0; --i) {
        const char c =
            alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        text.append(pick(0, 4) == 0 ? static_cast<std::size_t>(pick(1, 20)) : 1, c);
      }
      const auto* p = reinterpret_cast<const unsigned char*>(text.data());
      const std::size_t n = text.size();
      auto any_pair = [&](auto joins) {
        for (std::size_t i = 0; i < n; ++i) {
          if (joins(i == 0 ? -1 : p[i - 1], p[i], i)) return true;
        }
        return false;
      };
      for (const bool spacing : {false, true}) {
        for (const bool decoded : {false, true}) {
          const bool want = any_pair([&](int before, unsigned mark, std::size_t) {
            return ((mark == 0xDE || mark == 0xDF) &&
                    (spacing || (before >= 0xA6 && before <= 0xDD))) ||
                   (decoded && before == 0xEF && (mark == 0x40 || mark == 0x41)) ||
                   (spacing && before == 0x81 && (mark == 0x4A || mark == 0x4B));
          });
          ASSERT_EQ(MayJoin(text.data(), n, spacing, decoded), want)
              << "round " << round << " spacing " << spacing << " decoded " << decoded << " text "
              << Shown(text);
        }
        const bool euc = any_pair([&](int before, unsigned mark, std::size_t) {
          return (before == 0x8E && (mark == 0xDE || mark == 0xDF)) ||
                 (spacing && before == 0xA1 && (mark == 0xAB || mark == 0xAC));
        });
        ASSERT_EQ(MayJoinEncoded(Encoding::kEucJp, text.data(), n, spacing), euc)
            << "round " << round << " spacing " << spacing << " text " << Shown(text);
        const bool utf8 = any_pair([&](int, unsigned mark, std::size_t i) {
          return i >= 2 && ((p[i - 2] == 0xE3 && p[i - 1] == 0x82 && mark >= 0x99 &&
                             mark <= (spacing ? 0x9C : 0x9A)) ||
                            (p[i - 2] == 0xEF && p[i - 1] == 0xBE && mark >= 0x9E && mark <= 0x9F));
        });
        ASSERT_EQ(MayJoinEncoded(Encoding::kUtf8, text.data(), n, spacing), utf8)
            << "round " << round << " spacing " << spacing << " text " << Shown(text);
      }
    }
  });
}

}  // namespace
}  // namespace kensaku
