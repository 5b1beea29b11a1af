// The scan loops against a literal line-by-line re-implementation built on the reference
// matchers, on generated files and lists: outputs and counts must be byte-identical. This pins
// every shortcut of the searcher (compiled entries, lines passed over without an attempt).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/settings.h"
#include "match/pattern_list.h"
#include "mbchar/fold.h"
#include "reference_matcher.h"
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
};

std::string Prefix(int line) {
  if (GetLineMode() == 0) return "";
  std::string n = std::to_string(line);
  return std::string(n.size() < 5 ? 5 - n.size() : 0, ' ') + n + " ";
}

// The per-line tests, read straight from their description.
RefResult Reference(SearchKind kind, const std::vector<std::string>& lines,
                    const std::vector<std::string>& entries) {
  RefResult r;
  MatchSpan span;
  reference::Matcher m;
  auto hit = [&](int number, const std::string& line) {
    if (GetOutputMode() != 0) {
      r.output += Prefix(number) + line + "\n";
    } else if (span.matched && span.start < span.end) {
      r.output += std::string(span.start, span.end) + "\r\n";
    }
  };
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const char* line = lines[n].c_str();
    const int number = static_cast<int>(n) + 1;
    for (const std::string& e : entries) {
      const char* cursor = line;
      const char* p = e.c_str();
      if (kind == SearchKind::kInc) {
        if (reference::FindInclusion(line, p) != 0) {
          span.matched = 1;
          r.output += Prefix(number) + line + "\n";  // a NUL inside ends the line written
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
          if (m.At(span, cursor, p + 1).matched) hit(number, line);
        } else if (m.Conjunctive(span, cursor, p + 1).matched && span.start == line) {
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
          hit(number, line);
          if (span.start == span.end || GetOutputMode() != 0) break;
        }
      }
      if (span.matched && GetOutputMode() != 0) break;
    }
  }
  return r;
}

// The searcher's output and count for the list over the file at path.
RefResult Searched(SearchKind kind, const ListText& split, const std::string& path,
                   SearchNeeds needs = {}) {
  InputFile in(path.c_str());
  std::string buffer(1 << 22, '\0');
  Output out(buffer.data(), buffer.size());
  ScanState state;
  HitWriter writer(out);
  RefResult r;
  r.count = Search(CompiledList(kind, split.entries()), in, writer, state, needs);
  r.output.assign(buffer.data(), out.size());
  return r;
}

// A search that counts nothing writes the same, whichever entry it lets decide a line.
void ExpectSameUncounted(SearchKind kind, const ListText& split, const std::string& path,
                         const RefResult& expected, const std::string& context) {
  // Line numbers are written only when the line mode asks for them.
  const RefResult got = Searched(kind, split, path, SearchNeeds{false, GetLineMode() != 0});
  ASSERT_EQ(got.output, expected.output) << "uncounted, " << context;
  if (kind == SearchKind::kInc) {
    ASSERT_EQ(got.count, expected.count) << "uncounted, " << context;
  }
}

std::vector<std::string> EntriesOf(const ListText& split) {
  std::vector<std::string> entries;
  for (const char* e : split.entries()) {
    if (e == nullptr) break;
    entries.emplace_back(e);
  }
  return entries;
}

TEST(SearchAgainstReference, GeneratedFilesAndLists) {
  testing_gen::Generator gen(4242);
  TempDir dir;
  const std::string path = dir / "in.txt";
  for (int round = 0; round < 4000; ++round) {
    SetFoldFlags(gen.Pick(testing_gen::FlagChoices()));
    SetOutputMode(gen.Int(0, 1));
    SetLineMode(gen.Int(0, 1));
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
    const ListText split(list.c_str());
    ASSERT_TRUE(split.ok());
    const RefResult expected = Reference(kind, lines, EntriesOf(split));
    const RefResult got = Searched(kind, split, path);
    const std::int32_t count = got.count;
    ASSERT_EQ(got.output, expected.output)
        << "round " << round << " kind " << static_cast<int>(kind) << " list " << Shown(list)
        << " file " << Shown(file);
    ASSERT_EQ(count, expected.count) << "round " << round << " list " << Shown(list);
    ExpectSameUncounted(kind, split, path, expected,
                        "round " + std::to_string(round) + " list " + Shown(list));
  }
  SetFoldFlags(0);
  SetOutputMode(0);
  SetLineMode(0);
}

// Lists of up to 60 entries over files of several read blocks, where most lines hold none of the
// entries' bytes: the passes over hopeless lines, and what the prefilter carries from one block
// to the next, meet every kind of list and fold.
TEST(SearchAgainstReference, LongListsOverManyBlocks) {
  AtEachSimdLevel([] {
    testing_gen::Generator gen(6060);
    TempDir dir;
    const std::string path = dir / "in.txt";
    // Filler without the rare pieces below, so that the entries built from them are rare.
    const std::vector<std::string> filler = {"a",        "b",        " ",        "x", "\x82\xA0",
                                             "\x83\x41", "\x81\x5B", "\x83\x5C", "1"};
    const std::vector<std::string> rare = {"Q",        "Z",        "\x8C\x9F", "\x93\xFA",
                                           "\x82\xBD", "\x83\x5E", "\xB6",     "\x82\x79",
                                           "\x82\x9A", "q",        "\x5C",     "\x81\x60"};
    // Fewer rounds on the narrower paths, which share all but their inner loops.
    const int rounds = Simd() == SimdLevel::kAvx2 ? 16 : 5;
    for (int round = 0; round < rounds; ++round) {
      SetFoldFlags(gen.Pick(testing_gen::FlagChoices()));
      SetOutputMode(gen.Int(0, 1));
      SetLineMode(gen.Int(0, 1));
      const SearchKind kind = static_cast<SearchKind>(gen.Int(0, 2));
      std::string list;
      for (int i = gen.Int(20, 60); i > 0; --i) {
        std::string entry = gen.Int(0, 9) == 0 ? "^" : "";
        entry += gen.Pick(rare) + gen.Text(filler, 1) + gen.Pick(rare);
        if (kind != SearchKind::kInc && gen.Int(0, 5) == 0) entry += "." + gen.Pick(rare);
        list += entry + "\r\n";
      }
      // Some files hold an entry every few lines, so that some are cut by the end of a block.
      const bool dense = gen.Int(0, 2) == 0;
      std::string file;
      std::vector<std::string> lines;
      while (file.size() < 300000 + static_cast<std::size_t>(gen.Int(0, 400000))) {
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
      const ListText split(list.c_str());
      ASSERT_TRUE(split.ok());
      const RefResult expected = Reference(kind, lines, EntriesOf(split));
      const RefResult got = Searched(kind, split, path);
      ASSERT_EQ(got.output, expected.output) << "round " << round << " list " << Shown(list);
      ASSERT_EQ(got.count, expected.count) << "round " << round << " list " << Shown(list);
      ExpectSameUncounted(kind, split, path, expected,
                          "round " + std::to_string(round) + " list " + Shown(list));
    }
    SetFoldFlags(0);
    SetOutputMode(0);
    SetLineMode(0);
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
      const ListText split(list);
      ASSERT_TRUE(split.ok());
      const RefResult expected = Reference(kind, lines, EntriesOf(split));
      const RefResult got = Searched(kind, split, path);
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
