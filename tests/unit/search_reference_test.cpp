// The scan loops against a literal line-by-line re-implementation built on the reference
// matchers, on generated files and lists: outputs and counts must be byte-identical. This pins
// every shortcut of the searcher (compiled entries, lines passed over without an attempt).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "match/pattern_list.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"
#include "search/drivers.h"
#include "search/file_source.h"
#include "search/hit_writer.h"
#include "search/searcher.h"
#include "simd_levels.h"
#include "sjis_gen.h"
#include "temp_dir.h"
#include "test_text.h"

namespace kensaku {
namespace {

struct RefResult {
  std::string output;
  std::int32_t count = 0;
  std::vector<bool> selects;  // per line: some entry hits it, on the line alone
};

std::string Prefix(const ExportSettings& settings, int line) {
  if (settings.line_mode == 0) return "";
  std::string n = std::to_string(line);
  return std::string(n.size() < 5 ? 5 - n.size() : 0, ' ') + n + " ";
}

// Whether some entry hits the line, on the line alone: the rule of line selection.
bool ReferenceSelects(SearchKind kind, const std::string& text,
                      const std::vector<std::string>& entries, int fold_flags) {
  const char* line = text.c_str();  // a NUL inside ends the line for matching
  reference::Matcher m(fold_flags);
  for (const std::string& e : entries) {
    const char* p = e.c_str();
    const char* cursor = line;
    MatchSpan span;
    if (kind == SearchKind::kInc) {
      if (reference::FindInclusion(line, p, fold_flags) != 0) return true;
    } else if (p[0] == '^') {
      if (kind == SearchKind::kMatch && m.At(span, cursor, p + 1).matched) return true;
      if (kind == SearchKind::kMatchs && m.Conjunctive(span, cursor, p + 1).matched &&
          span.start == line) {
        return true;
      }
    } else if (*line != '\0') {
      if (kind == SearchKind::kMatch && m.Scan(span, cursor, p).matched) return true;
      if (kind == SearchKind::kMatchs && m.Conjunctive(span, cursor, p).matched) return true;
    }
  }
  return false;
}

// The per-line tests of the exports, read straight from their description.
RefResult Reference(SearchKind kind, const std::vector<std::string>& lines,
                    const std::vector<std::string>& entries, const ExportSettings& settings) {
  RefResult r;
  MatchSpan span;
  reference::Matcher m(settings.fold_flags);
  const bool whole_lines = settings.output_mode != 0;
  auto hit = [&](int number, const std::string& line) {
    if (whole_lines) {
      r.output += Prefix(settings, number) + line + "\n";
    } else if (span.matched && span.start < span.end) {
      r.output += std::string(span.start, span.end) + "\r\n";
    }
  };
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const char* line = lines[n].c_str();
    const int number = static_cast<int>(n) + 1;
    bool selected = false;
    for (const std::string& e : entries) {
      const char* cursor = line;
      const char* p = e.c_str();
      if (kind == SearchKind::kInc) {
        if (reference::FindInclusion(line, p, settings.fold_flags) != 0) {
          selected = true;
          span.matched = 1;
          // A NUL inside ends the line written.
          r.output += Prefix(settings, number) + line + "\n";
          ++r.count;
          break;
        }
        span.matched = 0;
        continue;
      }
      ++r.count;
      const bool anchored = p[0] == '^';
      if (anchored) {
        if (kind == SearchKind::kMatch) {
          if (m.At(span, cursor, p + 1).matched) {
            selected = true;
            hit(number, line);
          }
        } else if (m.Conjunctive(span, cursor, p + 1).matched && span.start == line) {
          selected = true;
          hit(number, line);
        } else {
          span.matched = 0;
        }
      } else {
        while (*cursor != '\0') {
          if (kind == SearchKind::kMatch) {
            m.Scan(span, cursor, p);
          } else {
            m.Conjunctive(span, cursor, p);
          }
          if (!span.matched) break;
          selected = true;
          hit(number, line);
          if (span.start == span.end || whole_lines) break;
        }
      }
      if (span.matched && whole_lines) break;
    }
    // Every entry makes a fresh attempt on a line that starts with a character, so the loop
    // ends early there only on a hit. On an empty one the record of the line before may end it.
    if (!selected && *line == '\0') {
      selected = ReferenceSelects(kind, lines[n], entries, settings.fold_flags);
    }
    r.selects.push_back(selected);
  }
  return r;
}

// The file at path to search: mapped in odd rounds of a test (with files of any size), read in
// even ones, so that the searcher meets both alike.
struct Opened {
  explicit Opened(const std::string& path) : in(path.c_str()) {
    in.SetEncoding(Encoding::kCp932);
    EXPECT_EQ(in.mapped(), GetFileMapping() == FileMapping::kAlways &&
                               std::filesystem::file_size(path) > 0);
  }
  InputFile in;
};

class MappedInOddRounds {
 public:
  explicit MappedInOddRounds(int round) {
    SetFileMapping(round % 2 != 0 ? FileMapping::kAlways : FileMapping::kNever);
  }
  ~MappedInOddRounds() { SetFileMapping(FileMapping::kMeasured); }
};

// The searcher's output and count for the list over the file at path, under the exports' rules.
RefResult Searched(SearchKind kind, const ListText& split, const std::string& path,
                   const ExportSettings& settings) {
  Opened opened(path);
  InputFile& in = opened.in;
  std::string buffer(1 << 22, '\0');
  Output out(buffer.data(), buffer.size());
  ScanState state;
  const Query query(std::span(split.begin(), split.end()), ExportOptions(kind, settings));
  HitWriter writer(out, query.form());
  RefResult r;
  r.count = SearchList(query, in, writer, state);
  r.output.assign(buffer.data(), out.size());
  return r;
}

std::vector<std::string> EntriesOf(const ListText& split) {
  return std::vector<std::string>(split.begin(), split.end());
}

// The lines a selection reports, as "number:text" (or the text alone when they go unnumbered).
class Lines final : public SearchSink {
 public:
  explicit Lines(bool numbered) : numbered_(numbered) {}
  void Matched(const FoundLine& line) override {
    got += (numbered_ ? std::to_string(line.number) + ":" : "") +
           std::string(line.text, line.length) + "\n";
  }
  void Finish(const SearchEnd& e) override { end = e; }
  std::string got;
  SearchEnd end;

 private:
  bool numbered_;
};

// Line selection over the same file selects exactly the lines some entry hits, or with
// inversion exactly the others; each line is one or the other.
void ExpectSelectionLikeReference(SearchKind kind, const ListText& split, const std::string& path,
                                  const std::vector<std::string>& lines,
                                  const std::vector<bool>& selects, int fold_flags, bool numbered,
                                  const std::string& context) {
  QueryOptions options;
  options.kind = kind;
  options.match = MatchOptions(fold_flags);
  const Query query(std::span(split.begin(), split.end()), options);
  for (bool invert : {false, true}) {
    std::string want;
    for (std::size_t n = 0; n < lines.size(); ++n) {
      if (selects[n] == invert) continue;
      want += (numbered ? std::to_string(n + 1) + ":" : "") + lines[n] + "\n";
    }
    Opened opened(path);
    InputFile& in = opened.in;
    Lines sink(numbered);
    Selection selection;
    selection.invert = invert;
    selection.numbered = numbered;
    Search(query, in, sink, selection);
    ASSERT_EQ(sink.got, want) << (invert ? "inverted, " : "selected, ") << context;
    // The end tells what was read and selected, lines passed over whole included.
    EXPECT_EQ(sink.end.bytes_searched, std::filesystem::file_size(path)) << context;
    EXPECT_TRUE(sink.end.last_line_lf) << context;
    EXPECT_EQ(sink.end.selected, std::count(want.begin(), want.end(), '\n')) << context;
    if (numbered) {
      EXPECT_EQ(sink.end.lines, static_cast<std::int64_t>(lines.size())) << context;
    }
  }
  // -w and -x: a line is selected when one of its matched parts is so bounded, told here by
  // walking its characters from the start.
  for (Bound bound : {Bound::kWord, Bound::kLine}) {
    std::string want;
    for (std::size_t n = 0; n < lines.size(); ++n) {
      const std::string& line = lines[n];
      const std::size_t end = TextLength(line.c_str(), line.size());
      std::map<std::size_t, Code> starts;  // each character's start, and its code
      for (std::size_t at = 0; at < end; at += DecodeText(line.c_str() + at).ByteCount()) {
        starts[at] = DecodeText(line.c_str() + at).code;
      }
      auto word = [&](Code c) {
        return (c < 0x80 && std::isalnum(static_cast<int>(c)) != 0) || c == '_' ||
               (c >= 0x824F && c <= 0x8258) || (c >= 0x8260 && c <= 0x8279) ||
               (c >= 0x8281 && c <= 0x829A) || c == 0x8151;
      };
      std::vector<LineSpan> parts;
      if (selects[n]) query.MatchedParts(line.c_str(), line.size(), parts);
      const bool hit = std::any_of(parts.begin(), parts.end(), [&](const LineSpan& p) {
        if (bound == Bound::kLine) return p.start == 0 && p.end == end;
        const auto after = starts.find(p.end);
        const bool before_word = p.start > 0 && word(std::prev(starts.find(p.start))->second);
        return !before_word && (after == starts.end() || !word(after->second));
      });
      if (hit) want += (numbered ? std::to_string(n + 1) + ":" : "") + line + "\n";
    }
    Opened opened(path);
    InputFile& in = opened.in;
    Lines sink(numbered);
    Selection selection;
    selection.bound = bound;
    selection.numbered = numbered;
    Search(query, in, sink, selection);
    ASSERT_EQ(sink.got, want) << (bound == Bound::kWord ? "-w, " : "-x, ") << context;
  }
}

TEST(SearchAgainstReference, GeneratedFilesAndLists) {
  testing_gen::Generator gen(4242);
  TempDir dir;
  const std::string path = dir / "in.txt";
  for (int round = 0; round < 4000; ++round) {
    const MappedInOddRounds mapping(round);
    ExportSettings settings;
    settings.fold_flags = gen.Pick(testing_gen::FlagChoices());
    settings.output_mode = gen.Int(0, 1);
    settings.line_mode = gen.Int(0, 1);
    const SearchKind kind = static_cast<SearchKind>(gen.Int(0, 2));
    std::vector<std::string> lines;
    std::vector<std::vector<std::string>> line_pieces;
    std::string file;
    for (int i = gen.Int(0, 12); i > 0; --i) {
      std::vector<std::string> pieces;
      std::string line;
      for (int k = gen.Int(0, 10); k > 0; --k) {
        const std::string& piece = gen.Pick(testing_gen::SubjectPieces());
        pieces.push_back(piece);
        line += piece;
        // Now and then a NUL, after which no match reaches, though the bytes are there.
        if (gen.Int(0, 60) == 0) line += std::string(1, '\0');
      }
      if (gen.Int(0, 40) == 0) {
        // Now and then a line the reader cuts into pieces of 4095 bytes.
        const std::string unit = line.empty() ? std::string("ab") : line;
        while (line.size() < 4090 + static_cast<std::size_t>(gen.Int(0, 6000))) line += unit;
      }
      file += line + "\n";
      for (; line.size() >= 4095; line.erase(0, 4095)) lines.push_back(line.substr(0, 4095));
      lines.push_back(line);
      line_pieces.push_back(pieces);
    }
    std::string list;
    for (int i = gen.Int(1, 4); i > 0; --i) {
      std::string entry = gen.Int(0, 3) == 0 ? "^" : "";
      if (!line_pieces.empty() && gen.Int(0, 1) == 0) {
        // Most entries worth testing match somewhere: build one from a stretch of a line, with
        // some pieces made wild, skippable or skipped.
        const auto& pieces = gen.Pick(line_pieces);
        const int from = gen.Int(0, static_cast<int>(pieces.size()));
        const int to = gen.Int(from, static_cast<int>(pieces.size()));
        for (int k = from; k < to; ++k) {
          switch (gen.Int(0, 9)) {
            case 0:
              entry += ".";
              break;
            case 1:
              entry += "#" + pieces[k];
              break;
            case 2:
              if (k + 1 < to) entry += "#" + pieces[++k];
              break;
            case 3:
              entry += pieces[k] + "*";
              break;
            default:
              entry += pieces[k];
              break;
          }
        }
        if (gen.Int(0, 4) == 0) entry += "&" + gen.Pick(testing_gen::SubjectPieces());
      } else {
        entry +=
            gen.Text(testing_gen::PatternPieces(), 3) + gen.Text(testing_gen::SubjectPieces(), 3);
      }
      list += entry + "\r\n";
    }
    WriteFile(path, file);

    // The entries as the library splits and stores them.
    const ListText split(list.c_str(), settings.fold_flags);
    ASSERT_TRUE(split.ok());
    const RefResult expected = Reference(kind, lines, EntriesOf(split), settings);
    const RefResult got = Searched(kind, split, path, settings);
    const std::int32_t count = got.count;
    ASSERT_EQ(got.output, expected.output)
        << "round " << round << " kind " << static_cast<int>(kind) << " list " << Shown(list)
        << " file " << Shown(file);
    ASSERT_EQ(count, expected.count) << "round " << round << " list " << Shown(list);
    ExpectSelectionLikeReference(kind, split, path, lines, expected.selects, settings.fold_flags,
                                 settings.line_mode != 0,
                                 "round " + std::to_string(round) + " list " + Shown(list));
  }
}

// One list built from the rare pieces over a file of filler where they turn up now and then:
// entries of one to three rare pieces, bracket sets of them, and wild characters between.
void CheckListOverFile(testing_gen::Generator& gen, const std::string& path,
                       const ExportSettings& settings, SearchKind kind,
                       const std::vector<std::string>& filler, const std::vector<std::string>& rare,
                       int entries, std::size_t size) {
  std::string list;
  for (int i = entries; i > 0; --i) {
    std::string entry = gen.Int(0, 9) == 0 ? "^" : "";
    entry += gen.Pick(rare) + gen.Text(filler, 1) + gen.Pick(rare);
    if (kind != SearchKind::kInc && gen.Int(0, 5) == 0) entry += "." + gen.Pick(rare);
    if (kind == SearchKind::kMatch && gen.Int(0, 7) == 0) {
      entry += "[" + gen.Pick(rare) + gen.Pick(rare) + "]";
    }
    list += entry + "\r\n";
  }
  // Some files hold an entry every few lines, so that some are cut by the end of a block.
  const bool dense = gen.Int(0, 2) == 0;
  std::string file;
  std::vector<std::string> lines;
  while (file.size() < size) {
    std::string line = gen.Text(filler, 30);
    // Now and then a NUL, past which the bytes of an entry are found but match nothing.
    if (gen.Int(0, 40) == 0) line += std::string(1, '\0');
    if (gen.Int(0, dense ? 2 : 60) == 0) line += gen.Pick(rare) + gen.Pick(rare);
    if (gen.Int(0, 200) == 0) line += gen.Text(rare, 8);
    if (gen.Int(0, 3000) == 0) {
      while (line.size() < 4095 + static_cast<std::size_t>(gen.Int(0, 9000)))
        line += gen.Pick(filler);
      line += gen.Pick(rare);
    }
    file += line + "\n";
    for (; line.size() >= 4095; line.erase(0, 4095)) lines.push_back(line.substr(0, 4095));
    lines.push_back(line);
  }
  WriteFile(path, file);
  const ListText split(list.c_str(), settings.fold_flags);
  ASSERT_TRUE(split.ok());
  const RefResult expected = Reference(kind, lines, EntriesOf(split), settings);
  const RefResult got = Searched(kind, split, path, settings);
  const std::string context = "flags " + std::to_string(settings.fold_flags) + " kind " +
                              std::to_string(static_cast<int>(kind)) + " list " + Shown(list);
  ASSERT_EQ(got.output, expected.output) << context;
  ASSERT_EQ(got.count, expected.count) << context;
  ExpectSelectionLikeReference(kind, split, path, lines, expected.selects, settings.fold_flags,
                               settings.line_mode != 0, context);
}

ExportSettings RandomSettings(testing_gen::Generator& gen, int fold_flags) {
  ExportSettings settings;
  settings.fold_flags = fold_flags;
  settings.output_mode = gen.Int(0, 1);
  settings.line_mode = gen.Int(0, 1);
  return settings;
}

// Lists of up to 60 entries over files of several read blocks, where most lines hold none of the
// entries' bytes: the passes over hopeless lines, and what the prefilter carries from one block
// to the next, meet every kind of list and fold.
TEST(SearchAgainstReference, LongListsOverManyBlocks) {
  AtEachSimdLevel([] {
    testing_gen::Generator gen(6060);
    TempDir dir;
    // Filler without the rare pieces below, so that the entries built from them are rare.
    const std::vector<std::string> filler = {"a",        "b",        " ",        "x", "\x82\xA0",
                                             "\x83\x41", "\x81\x5B", "\x83\x5C", "1"};
    const std::vector<std::string> rare = {"Q",        "Z",        "\x8C\x9F", "\x93\xFA",
                                           "\x82\xBD", "\x83\x5E", "\xB6",     "\x82\x79",
                                           "\x82\x9A", "q",        "\x5C",     "\x81\x60"};
    // Fewer rounds on the narrower paths, which share all but their inner loops.
    const int rounds = Simd() == SimdLevel::kAvx2 ? 16 : 5;
    for (int round = 0; round < rounds; ++round) {
      const MappedInOddRounds mapping(round);
      const ExportSettings settings = RandomSettings(gen, gen.Pick(testing_gen::FlagChoices()));
      const SearchKind kind = static_cast<SearchKind>(gen.Int(0, 2));
      CheckListOverFile(gen, dir / "in.txt", settings, kind, filler, rare, gen.Int(20, 60),
                        300000 + static_cast<std::size_t>(gen.Int(0, 400000)));
      if (testing::Test::HasFatalFailure()) return;
    }
  });
}

// Characters whose forms under a fold differ in length (half-width kana with and without their
// sound marks, ASCII and full-width letters and digits) in lists of one entry to sixty, under
// every value of the fold flags: the required bytes take each form, and the prefilter finds them.
TEST(SearchAgainstReference, FormsOfEveryLengthUnderEveryFold) {
  AtEachSimdLevel([] {
    testing_gen::Generator gen(1919);
    TempDir dir;
    const std::vector<std::string> filler = {"x",    " ", "\x82\xA0", "\x83\x41",
                                             "\xB1", "b", "\x81\x40", "1"};
    // clang-format off
    const std::vector<std::string> rare = {
        "\xB6\xDE", "\x83\x4B", "\x82\xAA",  // ga: half-width with its mark, katakana, hiragana
        "\xCC\xA7", "\x83\x74\x83\x40", "\x82\xD3\x82\x9F",  // fa in each width, and in hiragana
        "\xCA\xDF", "\x83\x70",                // pa
        "\xB0", "\x81\x5B",                    // long vowel mark
        "\xB6", "\x83\x4A",                    // ka, which ga's half-width form begins with
        "2", "\x82\x51", "7", "\x82\x56",       // digits
        "Q", "\x82\x70", "q", "\x82\x91",       // letters
        "\x8C\x9F", "\x5C", "\xDE"};
    // clang-format on
    // Every flag value at the widest level; a sample of them on the narrower ones.
    const bool widest = Simd() == SimdLevel::kAvx2;
    for (int flags = 0; flags < 128; flags += widest ? 1 : 9) {
      const ExportSettings settings = RandomSettings(gen, flags);
      const SearchKind kind = static_cast<SearchKind>(gen.Int(0, 2));
      const int entries = gen.Pick(std::vector<int>{1, 1, 2, 5, 30, 60});
      CheckListOverFile(gen, dir / "in.txt", settings, kind, filler, rare, entries,
                        20000 + static_cast<std::size_t>(gen.Int(0, 60000)));
      if (testing::Test::HasFatalFailure()) return;
    }
  });
}

// A lead byte that the reader's cut at 4095 bytes leaves at the end of a piece: its trail byte
// begins the next piece, where it is a character of its own and can be found.
TEST(SearchAgainstReference, TrailBytesThatACutLeavesAlone) {
  TempDir dir;
  const std::string path = dir / "in.txt";
  std::string file;
  std::vector<std::string> lines;
  for (std::size_t lead_run : {1, 2, 3, 4093}) {
    // Lead bytes before the cut, a trail-byte backslash just after it, and the same pair whole;
    // then with one more lead byte after the cut, which pairs with the backslash in the piece
    // though the bytes before the cut would leave it a character of its own.
    for (std::size_t after : {0, 1}) {
      std::string line(4095 - lead_run, 'a');
      line += std::string(lead_run + after, '\x83') + "\\b \x83\\c";
      file += line + "\n";
      lines.push_back(line.substr(0, 4095));
      lines.push_back(line.substr(4095));
    }
  }
  WriteFile(path, file);
  for (const char* list : {"\\", "\\\r\nzz\r\nqq\r\nxx\r\nyy"}) {
    // Conjunctive terms take the backslash as an escape: none of those lines is found.
    for (SearchKind kind : {SearchKind::kInc, SearchKind::kMatchs}) {
      const ExportSettings settings;
      const ListText split(list, settings.fold_flags);
      ASSERT_TRUE(split.ok());
      const RefResult expected = Reference(kind, lines, EntriesOf(split), settings);
      const RefResult got = Searched(kind, split, path, settings);
      EXPECT_EQ(got.output, expected.output) << Shown(list);
      EXPECT_EQ(got.count, expected.count) << Shown(list);
      if (kind == SearchKind::kInc) {
        EXPECT_NE(expected.output, "");
      }
    }
  }
}

}  // namespace
}  // namespace kensaku
