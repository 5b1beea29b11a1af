// The byte prefilter against the obvious scan: the first place where every set holds its byte,
// for runs of sets found by memchr, by the 16- and 32-wide probes of two sets, by Horspool, and
// for alternatives of different lengths by the list filter's sweep.
#include "match/byte_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

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
          set.fill(false);
          // Mostly a few bytes (the probe takes sets of up to four), now and then many.
          const int bytes = pick(0, 5) == 0 ? pick(5, 8) : pick(1, 4);
          for (int k = 0; k < bytes; ++k) {
            set[static_cast<unsigned char>(alphabet[static_cast<std::size_t>(pick(0, 7))])] = true;
          }
        }
      }
      const ByteFinder finder(runs);
      std::string text;
      for (int i = pick(0, 120); i > 0; --i) text += alphabet[static_cast<std::size_t>(pick(0, 7))];
      // Every start and length, so that each place meets the blocks' edges.
      for (std::size_t from = 0; from <= text.size();
           from += static_cast<std::size_t>(pick(1, 9))) {
        const std::string part = text.substr(from, static_cast<std::size_t>(pick(0, 120)));
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
      }
    }
  });
}

}  // namespace
}  // namespace kensaku
