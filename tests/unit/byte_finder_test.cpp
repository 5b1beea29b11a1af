// The byte prefilter against the obvious scan: the first place where every set holds its byte,
// for runs of sets found by memchr, by the 16- and 32-wide probes of two sets, and by Horspool.
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

TEST(ByteFinder, FirstPlaceOnGeneratedText) {
  AtEachSimdLevel([] {
    std::mt19937 rng(5150);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // A small alphabet, lead and trail bytes among it, so that sets meet the text often.
    const std::string alphabet = "ab\x82\x83\xA0\x41\x5C\n";
    for (int round = 0; round < 3000; ++round) {
      ByteSets sets(static_cast<std::size_t>(pick(1, 7)));
      for (ByteSet& set : sets) {
        set.fill(false);
        // Mostly a few bytes (the probe takes sets of up to four), now and then many.
        const int bytes = pick(0, 5) == 0 ? pick(5, 8) : pick(1, 4);
        for (int k = 0; k < bytes; ++k) {
          set[static_cast<unsigned char>(alphabet[static_cast<std::size_t>(pick(0, 7))])] = true;
        }
      }
      const ByteFinder finder(sets);
      std::string text;
      for (int i = pick(0, 120); i > 0; --i) text += alphabet[static_cast<std::size_t>(pick(0, 7))];
      // Every start and length, so that each place meets the blocks' edges.
      for (std::size_t from = 0; from <= text.size();
           from += static_cast<std::size_t>(pick(1, 9))) {
        const std::string part = text.substr(from, static_cast<std::size_t>(pick(0, 120)));
        // In a buffer of its exact size, so that a read past the end is caught.
        const std::unique_ptr<char[]> exact(new char[part.size()]);
        std::copy(part.begin(), part.end(), exact.get());
        ASSERT_EQ(finder.Find(exact.get(), part.size()), FirstPlace(sets, part))
            << "round " << round << " text " << Shown(part);
      }
    }
  });
}

}  // namespace
}  // namespace kensaku
