// The list-wide prefilter: the cursor that carries each entry's next occurrence from one block of
// a stream to the next must give the same first candidate as a fresh look at every block, and
// what it knows of the lines after it must be what each entry's own finder sees there.
#include "match/compiled_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <variant>

#include "match/pattern_list.h"
#include "match/prefilter.h"
#include "mbchar/mbchar.h"
#include "simd_levels.h"
#include "sjis_gen.h"
#include "test_text.h"

namespace kensaku {
namespace {

// The first line start at or after p.
std::size_t LineStartFrom(const std::string& text, std::size_t p) {
  while (p < text.size() && p > 0 && text[p - 1] != '\n') ++p;
  return p;
}

std::size_t LineEnd(const std::string& text, std::size_t p) {
  const std::size_t lf = text.find('\n', p);
  return lf == std::string::npos ? text.size() : lf;
}

// Whether the finder's bytes occur at a character start of the line, read from its start.
bool AtACharStart(const ByteFinder& finder, const std::string& line) {
  for (std::size_t i = 0; i < line.size();
       i += static_cast<std::size_t>(CharLength(line.c_str() + i))) {
    if (finder.Find(line.data() + i, line.size() - i) == 0) return true;
  }
  return false;
}

// A stream walked as the searcher walks it: windows that start at a line start at or after the
// last place found, grow, shrink at the end or stop short. A place inside a character is no
// candidate.
TEST(PrefilterCursor, AgreesWithAFreshLookAtEveryWindow) {
  AtEachSimdLevel([] {
    testing_gen::Generator gen(977);
    int known_answers = 0;
    for (int round = 0; round < 600; ++round) {
      const int flags = gen.Pick(testing_gen::FlagChoices());
      const SearchKind kind = static_cast<SearchKind>(gen.Int(0, 2));
      std::string list;
      for (int i = gen.Int(1, 60); i > 0; --i) {
        list += gen.Text(testing_gen::SubjectPieces(), 3) + "\r\n";
      }
      std::string text;
      for (int i = gen.Int(0, 400); i > 0; --i) {
        text += gen.Int(0, 6) == 0 ? std::string("\n") : gen.Pick(testing_gen::SubjectPieces());
      }
      const ListText split(list.c_str(), flags);
      ASSERT_TRUE(split.ok());
      const CompiledList compiled(kind, std::span<const char* const>(split.begin(), split.end()),
                                  flags);
      const Prefilter* prefilter = compiled.prefilter();
      if (prefilter == nullptr) continue;
      const std::unique_ptr<Prefilter::Cursor> cursor = prefilter->NewCursor();
      std::size_t at = 0;
      while (at <= text.size()) {
        const std::size_t room = text.size() - at;
        const std::size_t n =
            gen.Int(0, 3) == 0 ? room : std::min<std::size_t>(room, gen.Int(0, 40));
        const std::size_t want = prefilter->FirstCandidate(text.data() + at, n);
        ASSERT_EQ(cursor->FirstCandidate(text.data() + at, n, at), want)
            << "round " << round << " at " << at << " n " << n << " list " << Shown(list)
            << " text " << Shown(text);
        // What the cursor says of a line after `at`: present only where the entry's finder finds
        // its bytes, absent only where they begin no character.
        const std::size_t from =
            LineStartFrom(text, at + static_cast<std::size_t>(gen.Int(0, static_cast<int>(n))));
        const std::size_t to = from + static_cast<std::size_t>(
                                          gen.Int(0, static_cast<int>(LineEnd(text, from) - from)));
        const LineBytes bytes = cursor->InLine(text.data() + from, to - from, from);
        std::visit(
            [&](const auto& entries) {
              for (std::size_t i = 0; i < entries.size(); ++i) {
                const Presence known = bytes.Of(i).presence;
                if (known == Presence::kUnknown) continue;
                ++known_answers;
                const std::string line = text.substr(from, to - from);
                if (known == Presence::kPresent) {
                  ASSERT_TRUE(entries[i].required().In(line.data(), line.size()))
                      << "round " << round << " entry " << i << " [" << from << ", " << to << ")";
                } else {
                  ASSERT_FALSE(AtACharStart(entries[i].required(), line))
                      << "round " << round << " entry " << i << " [" << from << ", " << to << ")";
                }
              }
            },
            compiled.entries());
        if (at == text.size()) break;
        at = LineStartFrom(text, at + (gen.Int(0, 2) == 0   ? std::min(want + 1, room)
                                       : gen.Int(0, 5) == 0 ? 0
                                                            : 1));
      }
    }
    EXPECT_GT(known_answers, 10000);
  });
}

}  // namespace
}  // namespace kensaku
