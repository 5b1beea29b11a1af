// The byte prefilter against the obvious scan: the first place where every set holds its byte,
// for runs of sets found by memchr, by the 16- and 32-wide probes of two sets, by Horspool, and
// for alternatives of different lengths by the list filter's sweep.
#include "match/byte_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "match/list_filter.h"
#include "simd_levels.h"
#include "test_text.h"

namespace kensaku {
namespace {

std::size_t FirstPlace(const ByteSets& sets, const std::string& text) {
  for (std::size_t i = 0; i + sets.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < sets.size() && sets[k][static_cast<unsigned char>(text[i + k])]) ++k;
    if (k == sets.size()) return i;
  }
  return text.size();
}

// The first place of any alternative, and the bytes of the shortest one found there.
std::size_t FirstPlace(const ByteRuns& runs, const std::string& text, std::size_t& length) {
  std::size_t first = text.size();
  length = 0;
  for (const ByteSets& run : runs) {
    const std::size_t k = FirstPlace(run, text);
    if (k < first || (k == first && k < text.size() && run.size() < length)) {
      first = k;
      length = run.size();
    }
  }
  return first;
}

TEST(ByteFinder, FirstPlaceOnGeneratedText) {
  AtEachSimdLevel([] {
    std::mt19937 rng(5150);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // A small alphabet, lead and trail bytes among it, so that sets meet the text often.
    const std::string alphabet = "ab\x82\x83\xA0\x41\x5C\n";
    for (int round = 0; round < 3000; ++round) {
      // Mostly one run; now and then alternatives, as folded characters of two widths give.
      ByteRuns runs(static_cast<std::size_t>(pick(0, 2) == 0 ? pick(2, 5) : 1));
      for (ByteSets& sets : runs) {
        sets.resize(static_cast<std::size_t>(pick(1, 7)));
        for (ByteSet& set : sets) {
          set = ByteSet();
          // Mostly a few bytes (the probe takes sets of up to four), now and then many.
          const int bytes = pick(0, 5) == 0 ? pick(5, 8) : pick(1, 4);
          for (int k = 0; k < bytes; ++k) {
            set.Add(static_cast<unsigned char>(alphabet[static_cast<std::size_t>(pick(0, 7))]));
          }
        }
      }
      const ByteFinder finder(runs);
      // Now and then a long text of near misses (a run with its last byte wrong), where probes
      // that pass too many places give way to the sweep part of the way through.
      const int longest = runs.size() > 1 && pick(0, 3) == 0 ? 3000 : 120;
      std::string text;
      for (int i = pick(0, longest); i > 0; --i) {
        if (longest == 120 || pick(0, 7) == 0) {
          text += alphabet[static_cast<std::size_t>(pick(0, 7))];
          continue;
        }
        const ByteSets& sets =
            runs[static_cast<std::size_t>(pick(0, static_cast<int>(runs.size()) - 1))];
        const bool miss = pick(0, 199) != 0;
        for (std::size_t k = 0; k < sets.size(); ++k) {
          std::string fit;
          for (int b = 0; b < 256; ++b) {
            if (sets[k][b] != (miss && k + 1 == sets.size())) fit += static_cast<char>(b);
          }
          text += fit[static_cast<std::size_t>(pick(0, static_cast<int>(fit.size()) - 1))];
        }
      }
      // Every start and length, so that each place meets the blocks' edges; in a long text the
      // next part now and then starts at the match found, as a search goes on after one.
      for (std::size_t from = 0, step = 1; from <= text.size(); from += step) {
        const std::string part = text.substr(from, static_cast<std::size_t>(pick(0, longest)));
        // In a buffer of its exact size, so that a read past the end is caught.
        const std::unique_ptr<char[]> exact(new char[part.size()]);
        std::copy(part.begin(), part.end(), exact.get());
        std::size_t length = 0, want_length = 0;
        const std::size_t k = finder.Find(exact.get(), part.size(), &length);
        ASSERT_EQ(k, FirstPlace(runs, part, want_length))
            << "round " << round << " text " << Shown(part);
        if (k < part.size()) {
          ASSERT_EQ(length, want_length) << "round " << round << " text " << Shown(part);
          ASSERT_TRUE(
              finder.At(reinterpret_cast<const unsigned char*>(exact.get()) + k, part.size() - k));
        }
        step = static_cast<std::size_t>(pick(1, longest == 120 ? 9 : 700));
        if (longest != 120 && k > 0 && k < part.size() && pick(0, 1) == 0) step = k;
      }
    }
  });
}

// More alternatives than the list filter holds require nothing: a line of the last alone passes
// (a regex of many literals in many forms gives them).
TEST(ByteFinder, MoreAlternativesThanTheSweepHoldsRequireNothing) {
  ByteRuns runs(ListFilter::kMaxEntries + 1, ByteSets(2));
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i][0].Add(static_cast<unsigned>(0x80 + i));
    runs[i][1].Add('x');
  }
  const ByteFinder finder(runs);
  const std::string last{static_cast<char>(0x80 + ListFilter::kMaxEntries), 'x'};
  EXPECT_TRUE(finder.empty());
  EXPECT_TRUE(finder.In(last.data(), last.size()));
  runs.pop_back();
  EXPECT_FALSE(ByteFinder(runs).In(last.data(), last.size()));
}

}  // namespace
}  // namespace kensaku
