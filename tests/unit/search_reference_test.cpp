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
          r.output += Prefix(number) + lines[n] + "\n";
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
            case 0: entry += "."; break;
            case 1: entry += "#" + pieces[k]; break;
            case 2:
              if (k + 1 < to) entry += "#" + pieces[++k];
              break;
            case 3: entry += pieces[k] + "*"; break;
            default: entry += pieces[k]; break;
          }
        }
        if (gen.Int(0, 4) == 0) entry += "&" + gen.Pick(testing_gen::SubjectPieces());
      } else {
        entry += gen.Text(testing_gen::PatternPieces(), 3) + gen.Text(testing_gen::SubjectPieces(), 3);
      }
      list += entry + "\r\n";
    }
    WriteFile(path, file);

    // The entries as the library splits and stores them.
    const ListText split(list.c_str());
    ASSERT_TRUE(split.ok());
    std::vector<std::string> entries;
    for (const char* e : split.entries()) {
      if (e == nullptr) break;
      entries.emplace_back(e);
    }
    const RefResult expected = Reference(kind, lines, entries);

    InputFile in(path.c_str());
    std::string buffer(1 << 20, '\0');
    Output out(buffer.data(), buffer.size());
    ScanState state;
    HitWriter writer(out);
    const std::int32_t count = Search(CompiledList(kind, split.entries()), in, writer, state);
    const std::string got(buffer.data(), out.size());
    ASSERT_EQ(got, expected.output) << "round " << round << " kind " << static_cast<int>(kind)
                                    << " list " << Shown(list) << " file " << Shown(file);
    ASSERT_EQ(count, expected.count) << "round " << round << " list " << Shown(list);
  }
  SetFoldFlags(0);
  SetOutputMode(0);
  SetLineMode(0);
}

}  // namespace
}  // namespace kensaku
